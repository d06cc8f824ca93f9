// Text helpers of the configuration services.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kpl {

class StringUtil {
 public:
  // The characters cleaned from both ends of settings text: spaces, double
  // quotes, tabs, carriage returns and line feeds.
  static constexpr std::string_view kTrimmed = " \"\t\r\n";

  static std::string trim(std::string_view text);
  // An optional "-" followed by at least one decimal digit, nothing else.
  static bool IsNumber(std::string_view text);
  // The whole text as a 64-bit integer; nothing when it is not a number or
  // does not fit.
  static std::optional<int64_t> ParseInt64(std::string_view text);
  // The pieces between delimiters, empty ones included ("a,,b" gives three).
  static std::vector<std::string> ParseStrToVecWith(std::string_view text, char delimiter);
};

}  // namespace kpl
