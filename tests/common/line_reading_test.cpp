#include <gtest/gtest.h>

#include <sstream>

#include "common/common_utils.h"

namespace kpl {
namespace {

std::vector<std::string> lines(const std::string& text, std::size_t maxLength = std::string::npos) {
  std::istringstream in(text);
  std::vector<std::string> out;
  std::string line;
  while (CommonUtils::safeGetline(in, line, maxLength) && !in.eof()) out.push_back(line);
  if (in.fail() && !in.eof()) out.push_back("<too long: " + line + ">");
  return out;
}

TEST(CommonUtilsLines, EveryLineEndAndTheBound) {
  using V = std::vector<std::string>;
  EXPECT_EQ(lines("a\nb\r\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(lines("a\r\r\nb\n\n"), (V{"a", "", "b", ""}));  // CR then CR LF: two ends
  EXPECT_EQ(lines(""), V{});
  EXPECT_EQ(lines("abc\nabcd\n", 3), (V{"abc", "<too long: abc>"}));
}

TEST(CommonUtilsLines, RemoveSpaceKeepsTabs) {
  std::string text = "  0 \tSECTION  ";
  CommonUtils::removeSpace(text);
  EXPECT_EQ(text, "0\tSECTION");
}

}  // namespace
}  // namespace kpl
