// The Atari load-file walk and the PST header checks.
#include <gtest/gtest.h>

#include "media/atari_fta_utils.h"
#include "media/pst_fta_utils.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string word(uint16_t v) { return test::le(v, 2); }

// A segment header and its bytes (end - start + 1 of them unless given).
std::string segment(uint16_t start, uint16_t end, long bytes = -1) {
  return word(start) + word(end) + std::string(bytes < 0 ? end - start + 1 : bytes, '\xEA');
}

int atari(const std::string& bytes) {
  test::TempDir dir;
  return AtariFTAUtils::isAtariFileBased(dir.write("a.xex", bytes), bytes.size());
}

TEST(AtariLoadFile, Segments) {
  const std::string marker = word(0xFFFF), first = marker + segment(0x2000, 0x2003);
  const std::string junk = word(0x5000) + word(0x4000);
  std::string four = first;  // five consistent segments after the first are enough
  for (int i = 0; i < 4; ++i) four += segment(0x3000, 0x3003);
  const std::pair<std::string, int> cases[] = {
      {first, 1},                                          // one complete segment
      {marker + segment(0x2000, 0x20FF, 10), 2},           // longer than the file
      {marker + segment(0x2000, 0x1FFF), 2},               // end before start
      {first + segment(0x3000, 0x3063, 10), 2},            // second runs past the end
      {first + segment(0x3000, 0x3001), 1},
      {first + word(0x3000), 2},                           // a segment header cut short
      {word(0xFFFE) + segment(0x2000, 0x2003), 0},
      {marker + word(0x2000), 0},
      // The run or init address ends the walk as a program, whatever
      // follows; so does a second load header.
      {first + segment(0x2E0, 0x2E1) + junk, 1},
      {first + segment(0x2E2, 0x2E3) + junk, 1},
      {first + segment(0x2C0, 0x2DE) + junk, 2},
      {first + marker + junk, 1},
      {four + junk, 2},
      {four + segment(0x3000, 0x3003) + junk, 1},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(atari(cases[i].first), cases[i].second) << i;
}

// A PST header: the shared 24 bytes, then the sentinel and encryption
// method where the layout keeps them.
std::string pst(uint16_t version, uint8_t crypt, std::size_t size, uint8_t sentinel = 0x80) {
  std::string b(size, '\0');
  b.replace(0, 4, "!BDN");
  b.replace(8, 2, "SM");
  b.replace(10, 2, word(version));
  b.replace(12, 2, word(19));
  b[14] = b[15] = 1;
  const std::size_t at = version == 14 || version == 15 ? 460 : 512;
  if (at + 1 < size) {
    b[at] = static_cast<char>(sentinel);
    b[at + 1] = static_cast<char>(crypt);
  }
  return b;
}

bool isPst(const std::string& bytes) {
  test::TempDir dir;
  return PSTFTAUtils::isPSTFileBased(dir.write("a.pst", bytes), bytes.size());
}

TEST(PSTHeader, LayoutsAndEncryptionMethods) {
  for (uint16_t version : {14, 15, 23}) {
    for (uint8_t crypt : {0, 1, 2, 0x10}) EXPECT_TRUE(isPst(pst(version, crypt, 1024))) << version << " " << +crypt;
    EXPECT_FALSE(isPst(pst(version, 3, 1024))) << version;
    EXPECT_FALSE(isPst(pst(version, 0, 1024, 0x81))) << version;
  }
  EXPECT_TRUE(isPst(pst(14, 0, 512)));
  EXPECT_FALSE(isPst(pst(14, 0, 511)));
  EXPECT_TRUE(isPst(pst(23, 0, 564)));
  EXPECT_FALSE(isPst(pst(23, 0, 563)));

  // An ANSI header's fields read at the Unicode positions would be wrong;
  // so would another client or platform.
  for (const auto& [offset, byte] : {std::pair<int, char>{10, 14}, {9, 'X'}, {15, 2}}) {
    std::string b = pst(23, 0, 1024);
    b[offset] = byte;
    EXPECT_FALSE(isPst(b)) << offset;
  }
}

}  // namespace
}  // namespace kpl
