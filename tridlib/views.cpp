#include "tridlib/views.h"

#include <algorithm>
#include <cstring>

#include "common/limits.h"
#include "tridlib/definitions.h"

namespace tridlib {
namespace {

uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}
uint64_t be64(const uint8_t* p) { return static_cast<uint64_t>(be32(p)) << 32 | be32(p + 4); }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Characters a text file holds: anything but zero and the control
// characters that only binary data uses.
bool isTextCharacter(unsigned c) {
  if (c >= 0x20) return true;
  return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1B || c == 0x1A;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isNameStart(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool startsWithAt(const std::string& s, std::size_t i, const char* prefix, bool anyCase) {
  const std::size_t n = std::strlen(prefix);
  if (i > s.size() || n > s.size() - i) return false;
  for (std::size_t k = 0; k < n; ++k) {
    char a = s[i + k], b = prefix[k];
    if (anyCase ? lowerAscii(a) != lowerAscii(b) : a != b) return false;
  }
  return true;
}

std::string trimmed(const std::string& s, std::size_t from, std::size_t to) {
  while (from < to && isSpace(s[from])) ++from;
  while (to > from && isSpace(s[to - 1])) --to;
  return s.substr(from, to - from);
}

// Where a start tag that began before `from` ends: its ">" outside quoted
// attribute values, or the end of the text when it is cut short.
std::size_t tagEnd(const std::string& s, std::size_t from) {
  char quote = 0;
  for (std::size_t j = from; j < s.size(); ++j) {
    char c = s[j];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return j;
    }
  }
  return s.size();
}

// The document type declaration's end: its ">" outside the internal subset
// and outside quotes, or npos.
std::size_t doctypeEnd(const std::string& s, std::size_t from) {
  char quote = 0;
  std::size_t depth = 0;
  for (std::size_t j = from; j < s.size(); ++j) {
    char c = s[j];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      if (depth > 0) --depth;
    } else if (c == '>' && depth == 0) {
      return j;
    }
  }
  return std::string::npos;
}

constexpr uint8_t kOleSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kOleEntrySize = 128;
constexpr std::size_t kOleHeaderSize = 512;

// A 128-byte slot that holds a well-formed directory entry: a zero-ended
// name whose length field agrees, a known object type and colour.
bool readOleEntry(const uint8_t* p, OleDirectory::Entry& entry) {
  const unsigned nameBytes = le16(p + 64);
  const uint8_t type = p[66], colour = p[67];
  if (nameBytes < 4 || nameBytes > 64 || nameBytes % 2 != 0) return false;
  if (type != 1 && type != 2 && type != 5) return false;
  if (colour > 1) return false;
  const unsigned units = nameBytes / 2 - 1;
  if (le16(p + units * 2) != 0) return false;
  entry.name.clear();
  for (unsigned k = 0; k < units; ++k) {
    const unsigned u = le16(p + k * 2);
    if (u == 0) return false;
    entry.name.push_back(u < 0x80 ? lowerAscii(static_cast<char>(u)) : static_cast<char>(0x80));
  }
  entry.type = type;
  std::memcpy(entry.clsid, p + 80, sizeof(entry.clsid));
  return true;
}

}  // namespace

TextView decodeText(const std::vector<uint8_t>& head) {
  TextView view;
  const std::size_t n = head.size();
  enum class Encoding { Bytes, Utf16Le, Utf16Be } encoding = Encoding::Bytes;
  std::size_t start = 0;
  if (n >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
    start = 3;
  } else if (n >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
    encoding = Encoding::Utf16Le;
    start = 2;
  } else if (n >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
    encoding = Encoding::Utf16Be;
    start = 2;
  } else if (n >= 2 && head[0] == '<' && head[1] == 0) {
    encoding = Encoding::Utf16Le;
  } else if (n >= 2 && head[0] == 0 && head[1] == '<') {
    encoding = Encoding::Utf16Be;
  }
  const std::size_t count =
      std::min(kTextWindow, encoding == Encoding::Bytes ? n - start : (n - start) / 2);
  auto unit = [&](std::size_t i) -> unsigned {
    switch (encoding) {
      case Encoding::Bytes: return head[start + i];
      case Encoding::Utf16Le: return le16(&head[start + 2 * i]);
      case Encoding::Utf16Be: return static_cast<unsigned>(head[start + 2 * i] << 8 | head[start + 2 * i + 1]);
    }
    return 0;
  };
  // Binary data gives itself away within a few bytes; decide before copying.
  if (count == 0) return view;
  for (std::size_t i = 0; i < count; ++i)
    if (!isTextCharacter(unit(i))) return view;
  view.isText = true;
  view.chars.resize(count);
  view.lower.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    unsigned u = unit(i);
    char c = encoding == Encoding::Bytes || u < 0x80 ? static_cast<char>(u) : static_cast<char>(0x80);
    view.chars[i] = c;
    view.lower[i] = lowerAscii(c);
  }
  return view;
}

XmlProlog parseXmlProlog(const std::string& s) {
  XmlProlog prolog;
  const std::size_t n = s.size();
  std::size_t i = 0;
  for (int item = 0; item < kpl::limits::kTridMaxXmlPrologItems; ++item) {
    while (i < n && isSpace(s[i])) ++i;
    if (i + 1 >= n || s[i] != '<') return prolog;
    if (s[i + 1] == '?') {
      const std::size_t end = s.find("?>", i + 2);
      if (end == std::string::npos) return prolog;
      std::size_t t = i + 2;
      while (t < end && isNameChar(s[t])) ++t;
      std::string target = s.substr(i + 2, t - (i + 2));
      if (item == 0 && target == "xml")
        prolog.declaration = true;
      else
        prolog.instructions.emplace_back(std::move(target), trimmed(s, t, end));
      i = end + 2;
    } else if (startsWithAt(s, i, "<!--", false)) {
      const std::size_t end = s.find("-->", i + 4);
      if (end == std::string::npos) return prolog;
      i = end + 3;
    } else if (startsWithAt(s, i, "<!DOCTYPE", true)) {
      const std::size_t end = doctypeEnd(s, i + 9);
      if (end == std::string::npos) return prolog;
      i = end + 1;
    } else if (isNameStart(s[i + 1])) {
      std::size_t e = i + 1;
      while (e < n && isNameChar(s[e])) ++e;
      prolog.root = s.substr(i + 1, e - (i + 1));
      prolog.rootTag = s.substr(e, tagEnd(s, e) - e);
      prolog.hasRoot = true;
      return prolog;
    } else {
      return prolog;
    }
  }
  return prolog;
}

bool declaresNamespace(const std::string& tag, const std::string& uri) {
  const std::size_t n = tag.size();
  std::size_t i = 0;
  while (i < n) {
    while (i < n && (isSpace(tag[i]) || tag[i] == '/')) ++i;
    std::size_t nameStart = i;
    while (i < n && !isSpace(tag[i]) && tag[i] != '=' && tag[i] != '/') ++i;
    std::string name = tag.substr(nameStart, i - nameStart);
    while (i < n && isSpace(tag[i])) ++i;
    if (i >= n || tag[i] != '=') {
      if (i == nameStart) ++i;  // a stray character: step over it
      continue;
    }
    ++i;
    while (i < n && isSpace(tag[i])) ++i;
    if (i >= n || (tag[i] != '"' && tag[i] != '\'')) continue;
    const char quote = tag[i++];
    const std::size_t valueStart = i;
    while (i < n && tag[i] != quote) ++i;
    const std::string value = tag.substr(valueStart, i - valueStart);
    if (i < n) ++i;
    if ((name == "xmlns" || name.compare(0, 6, "xmlns:") == 0) && value == uri) return true;
  }
  return false;
}

const std::vector<uint8_t>& SampleView::loweredHead() {
  if (!loweredHead_) {
    loweredHead_.emplace(sample_.head);
    for (uint8_t& b : *loweredHead_)
      if (b >= 'A' && b <= 'Z') b = static_cast<uint8_t>(b - 'A' + 'a');
  }
  return *loweredHead_;
}

const TextView& SampleView::text() {
  if (!text_) text_ = decodeText(sample_.head);
  return *text_;
}

const XmlProlog& SampleView::xml() {
  if (!xml_) xml_ = text().isText ? parseXmlProlog(text().chars) : XmlProlog();
  return *xml_;
}

const IsoMedia& SampleView::iso() {
  if (iso_) return *iso_;
  IsoMedia m;
  const std::vector<uint8_t>& h = sample_.head;
  if (h.size() >= 16 && std::memcmp(&h[4], "ftyp", 4) == 0 && be32(&h[0]) >= 16) {
    m.hasFileType = true;
    m.majorBrand.assign(reinterpret_cast<const char*>(&h[8]), 4);
    const std::size_t end = std::min<std::size_t>(be32(&h[0]), h.size());
    for (std::size_t at = 16; at + 4 <= end && m.brands.size() < static_cast<std::size_t>(kpl::limits::kTridMaxIsoBrands); at += 4)
      m.brands.emplace_back(reinterpret_cast<const char*>(&h[at]), 4);
  }
  // Top-level boxes, each found from the previous one's size.
  uint64_t at = 0;
  for (int k = 0; k < kpl::limits::kTridMaxIsoBoxes && at <= h.size() && h.size() - at >= 8; ++k) {
    const uint8_t* p = &h[at];
    bool printable = true;
    for (int c = 4; c < 8; ++c) printable = printable && p[c] >= 0x20 && p[c] < 0x7F;
    if (!printable) break;
    uint64_t size = be32(p);
    if (size == 1) {
      if (h.size() - at < 16) break;
      size = be64(p + 8);
      if (size < 16) break;
    } else if (size != 0 && size < 8) {
      break;
    }
    m.topBoxes.emplace_back(reinterpret_cast<const char*>(p + 4), 4);
    const uint64_t fileSize = std::max<uint64_t>(sample_.fileSize, h.size());
    if (size == 0 || size > fileSize - at) break;  // runs to the end of the file
    at += size;
  }
  iso_ = std::move(m);
  return *iso_;
}

const PeImage& SampleView::pe() {
  if (pe_) return *pe_;
  PeImage image;
  const std::vector<uint8_t>& h = sample_.head;
  if (h.size() >= 64 && h[0] == 'M' && h[1] == 'Z') {
    const uint32_t peOffset = le32(&h[60]);
    // The signature and the 20-byte file header; the flags are its last field.
    if (peOffset <= h.size() && h.size() - peOffset >= 24 && std::memcmp(&h[peOffset], "PE\0\0", 4) == 0) {
      image.valid = true;
      image.dll = (le16(&h[peOffset + 22]) & 0x2000) != 0;
    }
  }
  pe_ = image;
  return *pe_;
}

const OleDirectory& SampleView::ole() {
  if (ole_) return *ole_;
  OleDirectory dir;
  const std::vector<uint8_t>& h = sample_.head;
  const std::vector<uint8_t>& t = sample_.tail;
  if (h.size() >= kOleHeaderSize && std::memcmp(h.data(), kOleSignature, sizeof(kOleSignature)) == 0) {
    dir.valid = true;
    // Directory sectors start on sector boundaries after the header, so
    // every entry sits at a multiple of 128 bytes into the file.
    OleDirectory::Entry entry;
    for (std::size_t at = kOleHeaderSize; h.size() - at >= kOleEntrySize; at += kOleEntrySize)
      if (readOleEntry(&h[at], entry)) dir.entries.push_back(entry);
    if (t.size() > sample_.fileSize) {
      ole_ = std::move(dir);
      return *ole_;
    }
    const uint64_t tailStart = sample_.fileSize - t.size();
    uint64_t first = std::max<uint64_t>(tailStart, h.size());
    first = (first + kOleEntrySize - 1) / kOleEntrySize * kOleEntrySize;
    for (uint64_t at = first; at <= sample_.fileSize && sample_.fileSize - at >= kOleEntrySize; at += kOleEntrySize)
      if (readOleEntry(&t[static_cast<std::size_t>(at - tailStart)], entry)) dir.entries.push_back(entry);
  }
  ole_ = std::move(dir);
  return *ole_;
}

}  // namespace tridlib
