#include "config/string_util.h"

#include <charconv>

namespace kpl {

std::string StringUtil::trim(std::string_view text) {
  size_t first = text.find_first_not_of(kTrimmed);
  if (first == std::string_view::npos) return std::string();
  size_t last = text.find_last_not_of(kTrimmed);
  return std::string(text.substr(first, last - first + 1));
}

bool StringUtil::IsNumber(std::string_view text) {
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::optional<int64_t> StringUtil::ParseInt64(std::string_view text) {
  if (!IsNumber(text)) return std::nullopt;
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string> StringUtil::ParseStrToVecWith(std::string_view text, char delimiter) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(delimiter, start);
    if (end == std::string_view::npos) {
      pieces.emplace_back(text.substr(start));
      return pieces;
    }
    pieces.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace kpl
