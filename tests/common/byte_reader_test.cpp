#include "common/byte_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "common/common_utils.h"
#include "test_support.h"

namespace kpl {
namespace {

TEST(InputFile, ReadsAreBoundedByTheFile) {
  test::TempDir dir;
  InputFile file(dir.write("f.bin", std::string("0123456789")));
  ASSERT_EQ(file.size(), 10u);
  char buf[8] = {};
  EXPECT_EQ(file.readAt(UINT64_MAX - 2, buf, 8), 0u);  // no wrap-around
  EXPECT_FALSE(file.readExact(8, buf, 4));
  EXPECT_EQ(file.read(3, 1u << 30).size(), 7u);  // never allocates past the file
}

TEST(InputFile, RefusesWhatIsNotARegularFile) {
  test::TempDir dir;
  std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(InputFile(fifo).isOpen());  // and does not block waiting for a writer
  EXPECT_FALSE(InputFile(dir.path()).isOpen());
  EXPECT_FALSE(InputFile(dir.path() + "/missing").isOpen());
  InputFile none;
  char c;
  EXPECT_EQ(none.readAt(0, &c, 1), 0u);
}

TEST(ByteReader, FailureIsStickyAndSubReadersStayInside) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  ByteReader r(bytes, sizeof(bytes));
  EXPECT_EQ(r.u16le(0), 0x0201);
  EXPECT_EQ(r.u32be(2), 0x03040506u);
  EXPECT_EQ(r.u24be(1), 0x020304u);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.u32le(4), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(0), 0x01);  // later reads still work, the flag stays
  EXPECT_FALSE(r.ok());

  ByteReader inner = ByteReader(bytes, sizeof(bytes)).sub(2, 2);
  EXPECT_EQ(inner.u16be(0), 0x0304);
  EXPECT_EQ(inner.u8(2), 0);  // its neighbour is out of reach
  EXPECT_FALSE(inner.ok());
  EXPECT_FALSE(ByteReader(bytes, sizeof(bytes)).sub(5, SIZE_MAX).ok());

  const uint8_t magic[] = {0x05, 0x06};
  ByteReader m(bytes, sizeof(bytes));
  EXPECT_TRUE(m.matches(4, magic, 2));
  EXPECT_FALSE(m.matches(5, magic, 2));
  EXPECT_TRUE(m.ok());  // a failed comparison is not a failed decode
}

TEST(CommonUtils, PathQuotingAndSpaceRemoval) {
  std::string path = "/a b/c  d(1)[2]{3}";
  CommonUtils::replaceSpaceInPath(path);
  EXPECT_EQ(path, "/a\" \"b/c\"  \"d\\(1\\)\\[2\\]\\{3\\}");
  std::string plain = "/plain/path";
  CommonUtils::replaceSpaceInPath(plain);
  EXPECT_EQ(plain, "/plain/path");
  std::string text = "  0 \tSECTION  ";
  CommonUtils::removeSpace(text);
  EXPECT_EQ(text, "0\tSECTION");  // tabs stay
}

TEST(CommonUtils, RunnerKillsAChildPastItsTimeOrOutputLimit) {
  std::vector<char> out;
  RunLimits quick;
  quick.timeout = std::chrono::milliseconds(200);
  RunResult slow = CommonUtils::runProgram({"/bin/sleep", "20"}, out, quick);
  EXPECT_TRUE(slow.started);
  EXPECT_TRUE(slow.timedOut);

  out.clear();
  RunLimits small;
  small.maxOutputBytes = 1000;
  RunResult flood = CommonUtils::runProgram({"/usr/bin/yes"}, out, small);
  EXPECT_TRUE(flood.truncated);
  EXPECT_EQ(out.size(), 1000u);

  out.clear();
  RunResult merged = CommonUtils::runProgram({"/bin/sh", "-c", "echo out; echo err >&2; exit 3"}, out);
  EXPECT_EQ(merged.exitStatus, 3);
  std::string text(out.begin(), out.end());
  EXPECT_NE(text.find("out"), std::string::npos);
  EXPECT_NE(text.find("err"), std::string::npos);

  EXPECT_FALSE(CommonUtils::executeCommandAndGetOutputChar({"/nonexistent/program"}, out));
  EXPECT_EQ(CommonUtils::executeCommandAndGetOutput({}), "");
}

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

}  // namespace
}  // namespace kpl
