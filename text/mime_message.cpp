#include "text/mime_message.h"

#include <algorithm>
#include <limits>

#include "common/common_utils.h"
#include "common/limits.h"

namespace kpl {
namespace {

constexpr uint64_t kNotFound = std::numeric_limits<uint64_t>::max();

// Case, whitespace and printable tests of the C locale, whatever locale the
// host set.

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isPrint(char c) { return c >= 0x20 && c <= 0x7E; }

}  // namespace

bool MIMEHandler::open(const std::string& path) {
  close();
  owned_ = std::make_unique<InputFile>(path);
  if (!owned_->isOpen()) {
    owned_.reset();
    return false;
  }
  return open(*owned_);
}

bool MIMEHandler::open(const InputFile& file) {
  if (&file != owned_.get()) close();
  stream_ = TextStream(file);
  fileSize = file.size();
  open_ = true;
  return fileSize > 0;
}

void MIMEHandler::close() {
  stream_ = TextStream();
  owned_.reset();
  open_ = false;
  fileSize = 0;
}

bool MIMEHandler::parseMIMEHeader(const std::string& path) { return open(path) && parseHeaderOfOpenFile(); }

bool MIMEHandler::parseMIMEHeader(const InputFile& file) { return open(file) && parseHeaderOfOpenFile(); }

bool MIMEHandler::parseHeaderOfOpenFile() {
  // The first line decides cheaply whether the rest is worth reading: a
  // binary file or a text without a "name:" line stops here.
  std::string first;
  const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(firstLineBytes, fileSize));
  for (std::size_t i = 0; i < n; ++i) {
    const int c = stream_.at(i);
    if (c <= 0 || c == '\n' || c == '\r') break;
    first.push_back(static_cast<char>(c));
  }
  if (first == "!NOT EML FILE!" || !isTextLine(first) || first.find(':') == std::string::npos) return false;

  stream_.seek(0);
  attributes = headerParser(0, headerEnd);
  return !attributes.empty() && headerEnd < fileSize;
}

MIMEHandler::LineParser MIMEHandler::lineParserFunc(uint64_t& position) {
  LineParser out;
  lineOverBudget_ = false;
  if (stream_.eof() || position >= fileSize) return out;
  std::string line;
  bool truncated = false;
  // A line is charged with its line feed, so the budget bounds the bytes
  // read, not just the bytes kept.
  const bool complete = stream_.readLine(line, headerBudget_ > 0 ? headerBudget_ - 1 : 0, truncated);
  if (truncated) {
    lineOverBudget_ = true;
    return out;
  }
  headerBudget_ -= std::min(headerBudget_, line.size() + 1);
  position = complete ? stream_.tell() : kNotFound;
  CR_EliminationFunc(line);

  const std::size_t colon = line.find(':');
  if (colon == std::string::npos || std::any_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(colon), isSpace)) {
    out.value = std::move(line);
    return out;
  }
  out.name = line.substr(0, colon);
  out.value = whiteSpaceEliminator(line.substr(colon + 1), true);
  return out;
}

std::vector<MIMEHandler::Attribute> MIMEHandler::headerParser(uint64_t start, uint64_t& position) {
  std::vector<Attribute> fields;
  Attribute current;
  bool hasCurrent = false;
  stream_.seek(start);
  position = start;
  headerBudget_ = limits::kMimeMaxHeaderBytes;

  auto finish = [&fields](Attribute& field) {
    attributeParserFunc(field);
    fields.push_back(std::move(field));
    field.clear();
  };

  for (int lines = 1; lines < maxReadingLine; ++lines) {
    const uint64_t before = position;
    LineParser line = lineParserFunc(position);
    if (lineOverBudget_) {
      // Past the byte budget the header is judged as at the line limit; the
      // line that did not fit is left unread.
      stream_.seek(before);
      position = before;
      break;
    }
    if (line.name.empty()) {
      if (line.value.empty()) break;  // the empty line that ends the header, or the end of the file
      if (hasCurrent) current.value += line.value;
      continue;
    }
    const bool extension = line.name.find("X-") != std::string::npos || line.name.find("x-") != std::string::npos;
    if (!extension && line.name.size() > maxFieldNameLength) return {};
    if (hasCurrent) finish(current);
    current.name = std::move(line.name);
    current.value = std::move(line.value);
    hasCurrent = true;
    if (!isTextLine(current.name)) return {};
    current.name = CommonUtils::toLowerAscii(std::move(current.name));
  }
  if (hasCurrent) finish(current);

  fields.erase(std::remove_if(fields.begin(), fields.end(),
                              [](const Attribute& f) { return f.value.empty() || isInExcludeList(f.name); }),
               fields.end());
  return fields;
}

std::vector<std::pair<std::size_t, std::size_t>> MIMEHandler::getRestrictRange(const std::string& text) {
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  std::vector<std::size_t> open;
  bool inQuote = false;
  std::size_t quoteStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') {
      open.push_back(i);
    } else if (text[i] == ')' && !open.empty()) {
      ranges.emplace_back(open.back(), i);
      open.pop_back();
    } else if (text[i] == '"') {
      if (inQuote) ranges.emplace_back(quoteStart, i);
      quoteStart = i;
      inQuote = !inQuote;
    }
  }
  return ranges;
}

void MIMEHandler::attributeParserFunc(Attribute& field) {
  const std::string& value = field.value;
  if (value.size() < 2) return;
  // Coverage counts over the protected ranges, so that a value with many
  // parentheses is split in linear time.
  std::vector<int32_t> cover(value.size() + 1, 0);
  for (const auto& [open, close] : getRestrictRange(value)) {
    ++cover[open];
    --cover[close + 1];
  }
  std::vector<std::size_t> cuts;
  int32_t depth = cover[0];
  for (std::size_t i = 1; i < value.size(); ++i) {
    depth += cover[i];
    if (value[i] == ';' && depth == 0) cuts.push_back(i);
  }
  if (cuts.empty()) return;

  std::vector<Parameter> parameters;
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    const std::size_t from = cuts[k] + 1;
    const std::size_t to = k + 1 < cuts.size() ? cuts[k + 1] : value.size();
    Parameter p;
    if (parseParameter(value.substr(from, to - from), p)) parameters.push_back(std::move(p));
  }
  field.value.resize(cuts[0]);
  for (auto& p : parameters) field.parameters.push_back(std::move(p));
}

bool MIMEHandler::parseParameter(std::string text, Parameter& parameter) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  parameter.name = CommonUtils::toLowerAscii(whiteSpaceEliminator(text.substr(0, eq), true));
  parameter.value = whiteSpaceEliminator(text.substr(eq + 1), true);
  return true;
}

bool MIMEHandler::isInExcludeList(const std::string& name) {
  return std::find(l_excludeAttrName.begin(), l_excludeAttrName.end(), name) != l_excludeAttrName.end();
}

bool MIMEHandler::isTextLine(const std::string& text) {
  if (text.empty()) return true;
  std::size_t printable = 0;
  for (char c : text) printable += isPrint(c) ? 1 : 0;
  return static_cast<float>(printable) / static_cast<float>(text.size()) > thresholdText;
}

std::string MIMEHandler::whiteSpaceEliminator(const std::string& text, bool leading) {
  if (leading) {
    const auto first = std::find_if_not(text.begin(), text.end(), isSpace);
    return first == text.end() ? text : std::string(first, text.end());
  }
  const auto last = std::find_if_not(text.rbegin(), text.rend(), isSpace);
  return last == text.rend() ? text : std::string(text.begin(), last.base());
}

void MIMEHandler::CR_EliminationFunc(std::string& text) {
  if (!text.empty() && text.back() == '\r') text.pop_back();
}

void MIMEHandler::fileNameParserFunc(std::string& text) {
  const std::size_t first = text.find('"');
  const std::size_t last = text.rfind('"');
  if (first != std::string::npos && last != first) text = text.substr(first + 1, last - first - 1);
}

bool MIMEHandler::getSectionSeparator(const Attribute& field, std::string& boundary) {
  for (const Parameter& p : field.parameters) {
    if (p.name != "boundary") continue;
    std::string value = p.value;
    fileNameParserFunc(value);
    if (value.empty()) return false;
    boundary = value;
    return true;
  }
  return false;
}

bool MIMEHandler::isCommonHeaderField(const Attribute& field) const {
  return field.name.compare(0, 2, "x-") == 0 || l_commonHeaderFieldName.count(field.name) != 0;
}

bool MIMEHandler::isExistAttribute(Attribute pattern) const {
  pattern.name = CommonUtils::toLowerAscii(pattern.name);
  pattern.value = CommonUtils::toLowerAscii(pattern.value);
  for (const Attribute& field : attributes) {
    if (field.name != pattern.name) continue;
    if (pattern.value.empty() || CommonUtils::toLowerAscii(field.value).find(pattern.value) != std::string::npos)
      return true;
  }
  return false;
}

bool MIMEHandler::isEMLFileType() {
  if (attributes.empty() || !open_) return false;
  std::size_t common = 0;
  std::string boundary;
  for (const Attribute& field : attributes) {
    if (isCommonHeaderField(field)) ++common;
    if (field.name == "content-type" && CommonUtils::toLowerAscii(field.value).find("multipart") != std::string::npos &&
        !getSectionSeparator(field, boundary)) {
      return false;
    }
  }
  if (static_cast<float>(common) / static_cast<float>(attributes.size()) < detectThreshold) return false;
  if (boundary.empty()) return true;

  // A multipart body opens with its first delimiter within a few lines;
  // only as much of each line is kept as could still match it.
  const std::string delimiter = "--" + boundary;
  stream_.seek(headerEnd);
  bool found = false;
  std::string line;
  for (int i = 0; i < boundarySearchLines && !found; ++i) {
    bool truncated = false;
    const bool complete = stream_.readLine(line, delimiter.size() + 1, truncated);
    if (complete && stream_.tell() == fileSize) return false;
    CR_EliminationFunc(line);
    found = !truncated && line == delimiter;
  }
  if (!found) return false;
  // A delimiter that was the unterminated last line leaves nothing to parse.
  if (stream_.eof()) return false;
  return !headerParser(stream_.tell(), headerEnd).empty();
}

bool MIMEHandler::isMHTFileType() const {
  if (isExistAttribute({"content-type", "multipart/related", {}})) return true;
  if (!isExistAttribute({"content-type", "text/html", {}})) return false;
  const bool hasFrom = isExistAttribute({"from", "", {}});
  const bool hasTo = isExistAttribute({"to", "", {}});
  const bool savedBy = isExistAttribute({"from", "\"saved by ", {}});
  return (savedBy && !hasTo) || (!hasFrom && !hasTo);
}

}  // namespace kpl
