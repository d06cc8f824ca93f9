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
  if (lowerText.find_first_of("?!") == std::string::npos) return 0;  // every marker has one
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

const std::string kScript = "script";

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

  // Whether [from, end) holds a byte from 0x80 on outside double quotes
  // counted from `from`. Tags refused for such a byte are retried one byte
  // later against the same end, so the answer is kept per end: with P(x)
  // the parity of the quotes between the first start and x, a byte is
  // outside quotes for start p exactly when P(x) == P(p), and one forward
  // cursor per parity finds the first such byte. Every cursor only moves
  // forward over one end's span, which keeps hostile markup (many starts
  // before one distant ">" with quotes and high bytes between) linear.
  bool bareHighByte(uint64_t from, uint64_t end) {
    Walk& w = walk_;
    if (w.end != end || from < w.startCursor) {
      w = Walk();
      w.end = end;
      w.startCursor = w.cursor[0] = w.cursor[1] = from;
    }
    for (; w.startCursor < from; ++w.startCursor) {
      if (at(w.startCursor) == '"') w.startParity ^= 1;
    }
    const int want = w.startParity;
    uint64_t& cursor = w.cursor[want];
    int& parity = w.cursorParity[want];
    bool& found = w.found[want];
    if (cursor < from) {
      cursor = from;
      parity = want;
      found = false;
    }
    // A byte already found stays the answer without reading it again (it
    // usually lies in another block than the tag being retried).
    if (found) return true;
    for (; cursor < end; ++cursor) {
      const int b = at(cursor);
      if (b >= 0x80 && parity == want) return found = true;
      if (b == '"') parity ^= 1;
    }
    return false;
  }

  TextStream& stream_;
  uint64_t size_;
  int64_t gtFrom = -1, gtHit = -1, piFrom = -1, piHit = -1, commentFrom = -1, commentHit = -1;

 private:
  struct Walk {
    uint64_t end = UINT64_MAX;
    uint64_t startCursor = 0;  // quotes counted up to here...
    int startParity = 0;       // ...give this parity
    uint64_t cursor[2] = {0, 0};
    int cursorParity[2] = {0, 0};
    bool found[2] = {false, false};  // the byte at cursor is the answer
  };
  Walk walk_;
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
  tag.lower.clear();
  if (!tag.nameCut()) {
    for (char k : tag.name) tag.lower.push_back(lower(static_cast<unsigned char>(k)));
  }
  const std::string& lowered = tag.lower;
  tag.markers = tag.nameCut() ? longMarkers : markersOf(lowered);
  if (!lowered.empty() && lowered[0] == '?' && lowered == "?php") {
    php = true;
    return TagParse::kOk;
  }

  const bool pi = !tag.nameCut() && tag.name == "?";
  const int64_t end = pi ? doc.find(pos, "?>", 2, doc.piFrom, doc.piHit) : doc.find(pos, ">", 1, doc.gtFrom, doc.gtHit);
  if (end < 0) {
    pos = doc.bufferSize();
    return TagParse::kUnclosed;
  }
  if (doc.bareHighByte(pos, static_cast<uint64_t>(end))) return TagParse::kInvalid;
  tag.fullTagStart = pos + 1;
  tag.fullTagEnd = static_cast<uint64_t>(end);
  pos = static_cast<uint64_t>(end);
  return TagParse::kOk;
}

}  // namespace

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
    const std::string& lowered = tag.lower;
    const bool instruction = !lowered.empty() && lowered[0] == '?';
    if (php || (instruction && lowered == "?mso-application")) return false;
    // Addresses in angle brackets ("<http://...>") are not tags.
    const bool address = !lowered.empty() && lowered.back() == ':' &&
                         (lowered == "http:" || lowered == "https:" || lowered == "fpt:" || lowered == "file:");
    if (instruction && lowered.size() == 1) {
      if (tag.fullTagEnd - (tag.fullTagStart - 1) > 2) return false;
    } else if (tag.nameLength != 0 && !address) {
      sink(tag);
    }
    if (lowered.size() == 6 && lowered == kScript) inScript = !tag.isEndTag;
  }
  return true;
}

}  // namespace kpl
