#include "text/html_tag_reader.h"

#include <cstring>

#include "common/common_utils.h"
#include "common/limits.h"

namespace kpl {

namespace {

bool isAsciiSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isAsciiAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool isNameCharacter(unsigned char c) {
  return isAsciiAlpha(c) || isAsciiDigit(c) || c == '-' || c == ':' || c == '_' || c == '.' || c == '?' ||
         c == '!';
}

}  // namespace

// ---- HTMLTag ----------------------------------------------------------------

bool HTMLTag::isValidCharacter(const char* p) { return static_cast<unsigned char>(*p) < 0x80; }

size_t HTMLTag::searchInBinary(const char* buf, size_t len, const char* pattern, size_t patternLen) {
  if (buf == nullptr || pattern == nullptr || patternLen == 0 || patternLen > len) return npos;
  const size_t lastStart = len - patternLen;
  for (size_t i = 0; i <= lastStart;) {
    const void* hit = std::memchr(buf + i, pattern[0], lastStart - i + 1);
    if (hit == nullptr) return npos;
    i = static_cast<size_t>(static_cast<const char*>(hit) - buf);
    if (std::memcmp(buf + i, pattern, patternLen) == 0) return i;
    ++i;
  }
  return npos;
}

bool HTMLTag::parseFromText(const char* p, bool& isStartTag, bool& isEndTag, bool& inScript, bool /*unused*/) {
  tagStartPos = p;
  if (p == nullptr || p[0] != '<') return false;
  // p[1] is at most the terminating NUL, which fails every test below, so
  // nothing past it is read.
  const auto first = static_cast<unsigned char>(p[1]);
  if (!isValidCharacter(p + 1) || first == '>') return false;
  bool endTag = false;
  const char* name = p + 1;
  if (first == '/') {
    endTag = true;
    name = p + 2;
  } else if (!isAsciiAlpha(first) && first != '?' && first != '!') {
    return false;
  }
  const char* stop = name;
  while (isNameCharacter(static_cast<unsigned char>(*stop))) ++stop;
  // A byte from 0x80 on simply ends the name; any other byte must be one a
  // name can be followed by.
  const auto after = static_cast<unsigned char>(*stop);
  if (after < 0x80) {
    const bool fits = after == '\0' || isAsciiSpace(after) || after == '>' || after == '=' || (after == '/' && !endTag);
    if (!fits) return false;
  }
  std::string parsedName(name, stop);
  // Markup written by script code is not the page's own.
  if (inScript && !endTag && parsedName != "script") return false;
  if (endTag)
    isEndTag = true;
  else
    isStartTag = true;
  tagName = std::move(parsedName);
  tagEndPos = stop;
  return true;
}

// ---- HTMLReader: loading ------------------------------------------------------

bool HTMLReader::readFile(const std::string& path) {
  InputFile file(path);
  return readFile(file);
}

bool HTMLReader::readFile(const InputFile& file) {
  if (!file.isOpen()) return false;
  const uint64_t limit = file.size() < limits::kMaxTagDocumentBytes ? file.size() : limits::kMaxTagDocumentBytes;
  // Look at the first bytes only until the first one that is not
  // whitespace: unless it is "<", the document is refused without being
  // read whole (a large binary file is refused after one small read).
  char lead[limits::kTagDocumentLeadChunk];
  for (uint64_t offset = 0;;) {
    if (offset >= limit) return false;
    const uint64_t left = limit - offset;
    const size_t want = left < sizeof lead ? static_cast<size_t>(left) : sizeof lead;
    const size_t got = file.readAt(offset, lead, want);
    if (got == 0) return false;
    size_t i = 0;
    if (offset == 0 && got >= 3 && std::memcmp(lead, "\xEF\xBB\xBF", 3) == 0) i = 3;
    while (i < got && isAsciiSpace(static_cast<unsigned char>(lead[i]))) ++i;
    if (i < got) {
      if (lead[i] != '<') return false;
      break;
    }
    offset += got;
  }
  std::vector<char> bytes(static_cast<size_t>(limit));
  bytes.resize(file.readAt(0, bytes.data(), bytes.size()));
  return readFromBytes(bytes.data(), bytes.size());
}

bool HTMLReader::readFromString(const std::string& text) {
  return readFromBytes(text.data(), std::strlen(text.c_str()));
}

bool HTMLReader::readFromBytes(const char* data, size_t n) {
  buffer.assign(data, data + (data ? n : 0));
  buffer.push_back('\0');
  bufferSize = buffer.size();
  position = 0;
  listTag.clear();
  listFullTag.clear();
  endSearch_[0] = EndSearch();
  endSearch_[1] = EndSearch();
  return parseDocument();
}

// ---- HTMLReader: the scan --------------------------------------------------------

bool HTMLReader::isHTMLXMLBased() {
  if (buffer.empty() || bufferSize == 0) return false;
  const char* buf = buffer.data();
  // An RTF file is never read as a tag document.
  if (position == 0 && bufferSize >= 5 && std::memcmp(buf, "{\\rtf", 5) == 0) return false;
  if (position == 0 && bufferSize >= 3 && std::memcmp(buf, "\xEF\xBB\xBF", 3) == 0) position = 3;
  const void* lt = std::memchr(buf, '<', bufferSize);
  if (lt == nullptr) return false;
  const auto ltPos = static_cast<uint64_t>(static_cast<const char*>(lt) - buf);
  for (uint64_t i = position; i < ltPos; ++i)
    if (!isAsciiSpace(static_cast<unsigned char>(buf[i]))) return false;
  const uint64_t saved = position;
  position = ltPos;
  HTMLTag scratch;
  bool isStart = false, isEnd = false, inScript = false;
  const bool ok = parseTag(scratch, isStart, isEnd, inScript);
  position = saved;
  return ok;
}

bool HTMLReader::parseComment(std::string& /*comment*/) {
  if (!inBounds(bufferSize, position, 4) || std::memcmp(buffer.data() + position, "<!--", 4) != 0) return false;
  const size_t at = HTMLTag::searchInBinary(buffer.data() + position, bufferSize - position, "-->", 3);
  position = at == npos ? bufferSize : position + at;
  return true;
}

size_t HTMLReader::findTagEnd(size_t from, bool questionMark) {
  EndSearch& last = endSearch_[questionMark ? 1 : 0];
  // A search that started at or before `from` and found its first match at
  // or after `from` (or none at all) is this search's answer too.
  if (last.from != npos && last.from <= from && (last.at == npos || from <= last.at)) return last.at;
  const char* pattern = questionMark ? "?>" : ">";
  const size_t found = HTMLTag::searchInBinary(buffer.data() + from, bufferSize - from, pattern, questionMark ? 2 : 1);
  last = EndSearch();
  last.from = from;
  last.at = found == npos ? npos : from + found;
  return last.at;
}

bool HTMLReader::hasBareHighByte(size_t from, size_t end, bool questionMark) {
  EndSearch& s = endSearch_[questionMark ? 1 : 0];
  const char* buf = buffer.data();
  // A high byte at i lies outside quotes when the count of quotes in
  // [from, i) is even, that is when it has the parity `from` has counted
  // from any earlier base. One pass over [base, end) records the last high
  // byte of each parity; later tags ending at the same ">" only move the
  // parity cursor forward.
  if (s.at != end || s.base == npos || from < s.cursor) {
    s.base = from;
    s.lastHighEnd[0] = s.lastHighEnd[1] = 0;
    int parity = 0;
    for (size_t i = from; i < end; ++i) {
      const auto c = static_cast<unsigned char>(buf[i]);
      if (c >= 0x80) s.lastHighEnd[parity] = i + 1;
      if (c == '"') parity ^= 1;
    }
    s.cursor = from;
    s.cursorParity = 0;
  }
  for (; s.cursor < from; ++s.cursor)
    if (buf[s.cursor] == '"') s.cursorParity ^= 1;
  return s.lastHighEnd[s.cursorParity] > from;
}

bool HTMLReader::parseTag(HTMLTag& tag, bool& isStartTag, bool& isEndTag, bool& inScript) {
  if (position >= bufferSize) return false;
  if (!tag.parseFromText(buffer.data() + position, isStartTag, isEndTag, inScript)) return false;
  const std::string name = tag.getTagName();
  if (CommonUtils::toLowerAscii(name) == "?php") return true;
  const bool questionMark = name == "?";
  const size_t start = static_cast<size_t>(position);
  const size_t end = findTagEnd(start, questionMark);
  if (end == npos) {
    position = bufferSize;
    return false;
  }
  if (hasBareHighByte(start, end, questionMark)) return false;
  tag.setFullTag(std::string(buffer.data() + start + 1, buffer.data() + end));
  tag.setElementLen(end - start);
  position = end;
  return true;
}

bool HTMLReader::parseDocument() {
  if (buffer.empty() || bufferSize == 0) return false;
  resetSeekPointer();
  if (!isHTMLXMLBased()) return false;
  bool inScript = false;
  while (position < bufferSize) {
    if (buffer[position] != '<') {
      ++position;
      continue;
    }
    std::string comment;
    if (parseComment(comment)) {
      ++position;
      continue;
    }
    HTMLTag tag;
    bool isStartTag = false, isEndTag = false;
    if (!parseTag(tag, isStartTag, isEndTag, inScript)) {
      ++position;
      continue;
    }
    const std::string lower = CommonUtils::toLowerAscii(tag.getTagName());
    if (lower == "?php" || lower == "?mso-application") return false;
    bool record = !lower.empty();
    if (lower == "?") {
      if (tag.getElementLen() > 2) return false;
      record = false;
    } else if (lower == "http:" || lower == "https:" || lower == "fpt:" || lower == "file:") {
      record = false;  // an address written in angle brackets
    }
    if (record) {
      listTag.push_back(tag.getTagName());
      listFullTag.push_back(tag.getFullTag());
    }
    if (isStartTag && !inScript && lower == "script")
      inScript = true;
    else if (isEndTag && inScript && lower == "script")
      inScript = false;
    // The position stays on the closing ">", which the next turn skips.
  }
  return true;
}

}  // namespace kpl
