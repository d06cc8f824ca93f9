#include "media/subtitle_fta_utils.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace kpl {
namespace {

unsigned char probe(const std::string& bytes) {
  test::TempDir dir;
  return SubtitleFTAUtils::isSubtitle(dir.write("f", bytes));
}

const std::string kPacClosing = std::string("\xFF") + std::string(11, '\0') + "\x11" + std::string(1, '\0') +
                                "dummy end of file";

std::string pac(std::size_t bodySize) {
  std::string f(bodySize, ' ');
  f[0] = 0x01;
  f[23] = 0x60;
  return f + kPacClosing;
}

std::string file890(std::size_t size, char third = '\0') {
  std::string f(size, 'x');
  f[0] = f[1] = 0;
  f[2] = third;
  f[144] = f[145] = 0;
  f.replace(172, 4, std::string("\x08\x90\0\0", 4));
  return f;
}

TEST(SubtitleProbe, Pac) {
  ASSERT_EQ(kPacClosing.size(), 31u);
  EXPECT_EQ(probe(pac(35)), SubtitlePAC);  // 66 bytes, the smallest accepted
  EXPECT_EQ(probe(pac(34)), SubtitleNone);
  EXPECT_EQ(probe(pac(400)), SubtitlePAC);
  std::string shortOfClosing = pac(400);
  shortOfClosing.pop_back();  // one byte short of "dummy end of file"
  EXPECT_EQ(probe(shortOfClosing), SubtitleNone);
  std::string noBackquote = pac(400);
  noBackquote[23] = 'a';
  EXPECT_EQ(probe(noBackquote), SubtitleNone);
}

TEST(SubtitleProbe, Cavena890) {
  EXPECT_EQ(probe(file890(512)), Subtitle890);
  EXPECT_EQ(probe(file890(1024, 0x20)), Subtitle890);
  EXPECT_EQ(probe(file890(1024, 0x10)), SubtitleNone);
  EXPECT_EQ(probe(file890(511)), SubtitleNone);  // one byte short
  EXPECT_EQ(probe(file890(496)), SubtitleNone);  // aligned but under 512
  EXPECT_EQ(probe(file890(520)), SubtitleNone);  // not a multiple of 16
  std::string wrongMarker = file890(512);
  wrongMarker[173] = 0x91;
  EXPECT_EQ(probe(wrongMarker), SubtitleNone);
}

TEST(SubtitleProbe, PrefixesAndMissingFiles) {
  for (const std::string& whole : {pac(100), file890(512)})
    for (std::size_t n = 0; n < whole.size(); ++n) EXPECT_EQ(probe(whole.substr(0, n)), SubtitleNone) << n;
  EXPECT_EQ(SubtitleFTAUtils::isSubtitle("/nonexistent/x.pac"), SubtitleNone);
}

}  // namespace
}  // namespace kpl
