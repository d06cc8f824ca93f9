// What a file's head and tail say beyond their bytes: the text they read
// as, the start of an XML document, the boxes of an ISO media file, the PE
// header, the entries of a compound file's directory. Each view is worked
// out from the one sample, at most once, and only when a definition asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tridlib {

// The bytes every definition is evaluated against.
struct Sample {
  std::vector<uint8_t> head;  // the first kHeadWindow bytes (fewer for a short file)
  std::vector<uint8_t> tail;  // the last kTailWindow bytes
  uint64_t fileSize = 0;
};

// The head's first kTextWindow characters: ASCII and UTF-8 bytes as they
// are, UTF-16 code units below 0x80 as those characters and the others as
// 0x80.
struct TextView {
  bool isText = false;  // no zero and no control characters but the usual white space
  std::string chars;    // without the byte-order mark
  std::string lower;    // chars with ASCII letters lower-cased
};

// The start of an XML (or HTML) document.
struct XmlProlog {
  bool declaration = false;  // it starts with <?xml ...?>
  bool hasRoot = false;
  std::string root;          // the first element's name, as written
  std::string rootTag;       // the rest of its start tag: the attributes
  std::vector<std::pair<std::string, std::string>> instructions;  // target, data; before the root
};

// An ISO base media file (MP4, QuickTime, 3GPP).
struct IsoMedia {
  bool hasFileType = false;  // an "ftyp" box comes first
  std::string majorBrand;
  std::vector<std::string> brands;    // the compatible brands
  std::vector<std::string> topBoxes;  // types of the top-level boxes that start within the head
};

struct PeImage {
  bool valid = false;
  bool dll = false;
};

// Directory entries of a compound file found in the head and tail.
struct OleDirectory {
  struct Entry {
    std::string name;  // ASCII lower-cased; other characters as 0x80
    uint8_t type = 0;  // 1 storage, 2 stream, 5 root
    uint8_t clsid[16] = {};
  };
  bool valid = false;  // the compound-file signature is there
  std::vector<Entry> entries;
};

class SampleView {
 public:
  explicit SampleView(const Sample& sample) : sample_(sample) {}

  const Sample& sample() const { return sample_; }
  const std::vector<uint8_t>& loweredHead();
  const TextView& text();
  const XmlProlog& xml();
  const IsoMedia& iso();
  const PeImage& pe();
  const OleDirectory& ole();

 private:
  const Sample& sample_;
  std::optional<std::vector<uint8_t>> loweredHead_;
  std::optional<TextView> text_;
  std::optional<XmlProlog> xml_;
  std::optional<IsoMedia> iso_;
  std::optional<PeImage> pe_;
  std::optional<OleDirectory> ole_;
};

// Views worked out directly, for tests.
TextView decodeText(const std::vector<uint8_t>& head);
XmlProlog parseXmlProlog(const std::string& chars);

// Whether a start tag's attributes declare the namespace uri.
bool declaresNamespace(const std::string& rootTag, const std::string& uri);

}  // namespace tridlib
