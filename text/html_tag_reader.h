// A forgiving tag scanner for HTML and XML texts. It loads one document (a
// file, a string or a byte buffer) and collects every tag it recognises, in
// document order, as two parallel lists: the names and the full tag texts
// (everything between "<" and ">"). No tree is built, nesting is not
// checked and entities are not decoded.
//
// A document must begin with a tag (after ASCII whitespace and an optional
// UTF-8 byte-order mark); anything else is refused. Reading a file checks
// that on its first bytes and reads the rest only when it passes, and never
// more than limits::kMaxTagDocumentBytes of it.
//
// Typical use:
//
//   HTMLReader reader;
//   if (reader.readFile(input)) {
//     const auto& names = reader.getListTag();      // "html", "head", "/head", ...
//     const auto& tags = reader.getListFullTag();   // "html lang=\"en\"", ...
//   }
//
// A parse that fails on a processing instruction ("?php", "?mso-application",
// a long "<? ... ?>") still leaves the tags collected up to that point in the
// lists; callers that want them read the lists whatever the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/byte_reader.h"

namespace kpl {

// The head of one tag: its name and, once the reader has found its end, its
// full text and length.
class HTMLTag {
 public:
  HTMLTag() = default;

  // The name as written: without "<", without an end tag's "/" and without
  // attributes; declarations and processing instructions keep their first
  // character ("!DOCTYPE", "?xml").
  std::string getTagName() const { return tagName; }
  // Every byte between "<" and the closing ">" (for the name "?", "?>").
  std::string getFullTag() const { return fullTag; }
  void setFullTag(std::string text) { fullTag = std::move(text); }
  // The "<" of the tag, and the first byte after its name.
  const char* getTagStartPos() const { return tagStartPos; }
  const char* getTagEndPos() const { return tagEndPos; }
  // Distance from "<" to the closing ">" (or to the "?" of "?>").
  unsigned long getElementLen() const { return elementLen; }
  void setElementLen(unsigned long len) { elementLen = len; }

  // Parses the name part of the tag whose "<" is at p. The bytes from p on
  // must end in a NUL byte (the reader's buffer always does). While inScript
  // is set only end tags and start tags named exactly "script" are accepted.
  // The last argument has no effect.
  bool parseFromText(const char* p, bool& isStartTag, bool& isEndTag, bool& inScript, bool unused = false);

  // Whether the byte at p is below 0x80; bytes from 0x80 on never belong to
  // a tag name.
  static bool isValidCharacter(const char* p);
  // Offset of the first occurrence of pattern lying wholly inside the first
  // len bytes of buf, or npos. NUL bytes are ordinary bytes.
  static size_t searchInBinary(const char* buf, size_t len, const char* pattern, size_t patternLen);
  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  std::string tagName;
  std::string fullTag;
  const char* tagStartPos = nullptr;
  const char* tagEndPos = nullptr;
  unsigned long elementLen = 0;
};

class HTMLReader {
 public:
  HTMLReader() = default;
  virtual ~HTMLReader() = default;
  HTMLReader(const HTMLReader&) = delete;
  HTMLReader& operator=(const HTMLReader&) = delete;

  // Reads a file (at most limits::kMaxTagDocumentBytes of it) and parses it.
  // False when the file cannot be opened, does not begin like a tag
  // document, or the parse fails.
  bool readFile(const std::string& path);
  bool readFile(const InputFile& file);
  // Parses text up to its first NUL byte.
  bool readFromString(const std::string& text);
  // Parses n bytes as they are, NUL bytes included.
  bool readFromBytes(const char* data, size_t n);

  void resetSeekPointer() { position = 0; }
  // The entry test: the document begins with a tag.
  bool isHTMLXMLBased();

  const std::vector<std::string>& getListTag() const { return listTag; }
  const std::vector<std::string>& getListFullTag() const { return listFullTag; }

  // The scan, replaceable by a derived reader; the read functions call
  // parseDocument, and parseDocument the other two, through the vtable.
  virtual bool parseDocument();
  // Recognises a comment at the position and moves past its text; the
  // argument is not filled.
  virtual bool parseComment(std::string& comment);
  virtual bool parseTag(HTMLTag& tag, bool& isStartTag, bool& isEndTag, bool& inScript);

 protected:
  uint64_t position = 0;
  uint64_t bufferSize = 0;
  // The document followed by one NUL byte (bufferSize bytes).
  std::vector<char> buffer;
  std::vector<std::string> listTag;
  std::vector<std::string> listFullTag;

 private:
  static constexpr size_t npos = HTMLTag::npos;
  // Where the end of the tag starting at `from` lies (">" or "?>"), or npos.
  // Searches of successive tags reuse the last answer, so that markup with
  // many "<" and a distant ">" is scanned in linear time.
  size_t findTagEnd(size_t from, bool questionMark);
  // Whether the bytes [from, end) hold a byte from 0x80 on outside double
  // quotes, counting quotes from `from`; linear over a whole document too.
  bool hasBareHighByte(size_t from, size_t end, bool questionMark);

  struct EndSearch {
    size_t from = npos;  // where the remembered search started
    size_t at = npos;    // what it found
    // Over the bytes from `base` to `at`: one past the last byte from 0x80
    // on preceded by an even (odd) count of quotes since `base` (0: none),
    // and a cursor that carries the quote parity forward.
    size_t base = npos;
    size_t lastHighEnd[2] = {0, 0};
    size_t cursor = 0;
    int cursorParity = 0;
  };
  EndSearch endSearch_[2];
};

}  // namespace kpl
