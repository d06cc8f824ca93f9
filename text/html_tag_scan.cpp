#include "text/html_tag_scan.h"

#include <cstring>

#include "common/limits.h"

namespace kpl {
namespace {

bool isAsciiSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isAsciiAlpha(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isNameChar(int c) {
  return isAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_' || c == '.' || c == '?' ||
         c == '!';
}
char lower(int c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

uint8_t markersOf(const std::string& lowerText) {
  static const std::pair<const char*, uint8_t> kMarkers[] = {
      {"?xml", ScannedTag::kXmlDeclaration},   {"!document", ScannedTag::kDocumentMarker},
      {"?encoding", ScannedTag::kEncodingMarker}, {"!entity", ScannedTag::kEntityMarker},
      {"!doctype", ScannedTag::kDoctypeMarker},
  };
  uint8_t found = 0;
  for (const auto& [text, bit] : kMarkers) {
    if (lowerText.find(text) != std::string::npos) found |= bit;
  }
  return found;
}

enum class TagParse { kOk, kInvalid, kUnclosed };

// The document as the tag reader sees it: the file followed by one NUL.
class Document {
 public:
  explicit Document(TextStream& stream) : stream_(stream), size_(stream.size()) {}
  uint64_t bufferSize() const { return size_ + 1; }
  int at(uint64_t offset) { return offset < size_ ? stream_.at(offset) : (offset == size_ ? 0 : -1); }
  // First occurrence at or after `from`, or -1. The last answer for each
  // pattern is kept: a scan resuming one byte after a refused tag asks
  // again from inside the span it already searched.
  int64_t find(uint64_t from, const char* pattern, std::size_t len, int64_t& memoFrom, int64_t& memoHit) {
    if (memoHit >= 0 && static_cast<int64_t>(from) >= memoFrom && static_cast<int64_t>(from) <= memoHit) return memoHit;
    if (memoHit < 0 && memoFrom >= 0 && static_cast<int64_t>(from) >= memoFrom) return -1;
    memoFrom = static_cast<int64_t>(from);
    memoHit = stream_.find(from, pattern, len);
    return memoHit;
  }

  TextStream& stream_;
  uint64_t size_;
  int64_t gtFrom = -1, gtHit = -1, piFrom = -1, piHit = -1, commentFrom = -1, commentHit = -1;
};

// One tag at the "<" at `pos`: its name part, then its end and the check
// of the bytes in between. On kOk, `pos` is on the closing ">".
TagParse parseTag(Document& doc, uint64_t& pos, bool inScript, ScannedTag& tag, bool& php) {
  php = false;
  const int c1 = doc.at(pos + 1);
  if (c1 < 0 || c1 >= 0x80 || c1 == '>') return TagParse::kInvalid;
  uint64_t q = pos + 1;
  tag.isEndTag = c1 == '/';
  if (tag.isEndTag) {
    ++q;
  } else if (!isAsciiAlpha(c1) && c1 != '?' && c1 != '!') {
    return TagParse::kInvalid;
  }

  tag.name.clear();
  tag.nameLength = 0;
  std::string recent;  // lower-cased tail of a name too long to keep
  uint8_t longMarkers = 0;
  int c = doc.at(q);
  for (; isNameChar(c); c = doc.at(++q)) {
    if (tag.nameLength < limits::kTagNameKeepBytes) {
      tag.name.push_back(static_cast<char>(c));
    } else {
      if (recent.empty()) {
        for (char k : tag.name) recent.push_back(lower(k));
      }
      recent.push_back(lower(c));
      longMarkers |= markersOf(recent);
      recent.erase(0, recent.size() - 8);  // the longest marker is 9 characters
    }
    ++tag.nameLength;
  }
  if (c < 0x80) {
    const bool endsName = c == 0 || isAsciiSpace(c) || c == '>' || c == '=' || (c == '/' && !tag.isEndTag);
    if (!endsName) return TagParse::kInvalid;
  }
  if (inScript && !tag.isEndTag && (tag.nameCut() || tag.name != "script")) return TagParse::kInvalid;
  const std::string lowered = tag.lowerName();
  tag.markers = tag.nameCut() ? longMarkers : markersOf(lowered);
  if (lowered == "?php") {
    php = true;
    return TagParse::kOk;
  }

  const bool pi = !tag.nameCut() && tag.name == "?";
  const int64_t end = pi ? doc.find(pos, "?>", 2, doc.piFrom, doc.piHit) : doc.find(pos, ">", 1, doc.gtFrom, doc.gtHit);
  if (end < 0) {
    pos = doc.bufferSize();
    return TagParse::kUnclosed;
  }
  bool quoted = false;
  for (uint64_t k = pos; k < static_cast<uint64_t>(end); ++k) {
    const int b = doc.at(k);
    if (b == '"') {
      quoted = !quoted;
    } else if (b >= 0x80 && !quoted) {
      return TagParse::kInvalid;
    }
  }
  tag.fullTagStart = pos + 1;
  tag.fullTagEnd = static_cast<uint64_t>(end);
  pos = static_cast<uint64_t>(end);
  return TagParse::kOk;
}

}  // namespace

std::string ScannedTag::lowerName() const {
  if (nameCut()) return std::string();
  std::string out = name;
  for (char& c : out) c = lower(static_cast<unsigned char>(c));
  return out;
}

bool scanHtmlTags(TextStream& stream, const std::function<void(const ScannedTag&)>& sink) {
  Document doc(stream);
  const uint64_t size = stream.size();

  // The document must begin with a tag: after an optional UTF-8 byte-order
  // mark only whitespace may come before the first "<". Anything else is
  // settled by the first few bytes.
  static const char kRtf[] = "{\\rtf";
  bool rtf = size >= 5;
  for (int i = 0; i < 5 && rtf; ++i) rtf = doc.at(i) == static_cast<unsigned char>(kRtf[i]);
  if (rtf) return false;
  uint64_t start = 0;
  if (size >= 3 && doc.at(0) == 0xEF && doc.at(1) == 0xBB && doc.at(2) == 0xBF) start = 3;
  uint64_t first = start;
  while (first < size && isAsciiSpace(doc.at(first))) ++first;
  if (first >= size || doc.at(first) != '<') return false;
  {
    ScannedTag scratch;
    bool php = false;
    uint64_t probe = first;
    if (parseTag(doc, probe, false, scratch, php) != TagParse::kOk) return false;
  }

  bool inScript = false;
  ScannedTag tag;
  for (uint64_t pos = start; pos < doc.bufferSize();) {
    const int64_t lt = stream.find(pos, "<", 1);
    if (lt < 0) break;
    pos = static_cast<uint64_t>(lt);
    if (doc.at(pos + 1) == '!' && doc.at(pos + 2) == '-' && doc.at(pos + 3) == '-') {
      const int64_t close = doc.find(pos, "-->", 3, doc.commentFrom, doc.commentHit);
      pos = close >= 0 ? static_cast<uint64_t>(close) + 1 : doc.bufferSize() + 1;
      continue;
    }
    bool php = false;
    const TagParse parsed = parseTag(doc, pos, inScript, tag, php);
    if (parsed != TagParse::kOk) {
      ++pos;
      continue;
    }
    const std::string lowered = tag.lowerName();
    if (php || lowered == "?mso-application") return false;
    if (lowered == "?") {
      if (tag.fullTagEnd - (tag.fullTagStart - 1) > 2) return false;
    } else if (tag.nameLength != 0 && lowered != "http:" && lowered != "https:" && lowered != "fpt:" &&
               lowered != "file:") {
      sink(tag);
    }
    if (!tag.isEndTag && !inScript && lowered == "script") inScript = true;
    if (tag.isEndTag && inScript && lowered == "script") inScript = false;
  }
  return true;
}

}  // namespace kpl
