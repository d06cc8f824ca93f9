// Fallback signatures and the byte probes they share with post-classification.
#include "detect/fallback_signatures.h"

#include <gtest/gtest.h>

#include "catalogue/file_type_catalogue.h"
#include "test_support.h"

namespace kpl {
namespace {

class FallbackSignatures : public ::testing::Test {
 protected:
  void SetUp() override {
    initFallBackSignatures();
    initISOVecSignatures();
  }

  // A compound-file signature, zeros up to 512 and then `at512`.
  std::string file(const std::vector<uint8_t>& at512, bool signature) {
    std::string bytes = signature ? std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") : "";
    bytes.resize(512, 0);
    bytes.append(at512.begin(), at512.end()).append(16, '\0');
    return dir_.write("f" + std::to_string(++count_), bytes);
  }

  std::string fallback(const std::string& path) {
    std::string t = "X", m = "X", d = "X", e = "X";
    findMagicSignatureFallback(path, 0, t, m, d, e);
    return t + "|" + m + "|" + d + "|" + e;
  }

  test::TempDir dir_;
  int count_ = 0;
};

TEST_F(FallbackSignatures, PatternTextAndRowOrder) {
  // Malformed and out-of-range tokens are skipped; the rest parse as bytes.
  const FileSignature s("0xFD 0xff,0x1, zz 0x1FF 0x10000 0xxx 0x 7", 3, "T", "m", "d", "e", 0);
  EXPECT_EQ(s.bytes, (std::vector<uint8_t>{0xFD, 0xFF, 0x01, 0xFF, 0x07}));

  const struct {
    std::vector<uint8_t> at512;
    bool signature;
    std::string answer;
  } cases[] = {
      {{0xEC, 0xA5, 0xC1, 0x00}, true, "DOC|application/msword|" + describe("DOC") + "|doc"},
      {{0xFD, 0xFF, 0xFF, 0xFF, 0x02, 0x00}, true, "XLS|application/vnd.ms-excel|" + describe("XLS") + "|xls,xla"},
      {{0xFD, 0xFF, 0xFF, 0xFF, 0x02, 0x05}, true, "PUB|application/vnd.ms-office|" + describe("PUB") + "|pub"},
      {{0xFD, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0x00, 0x00, 0x00}, true,
       "DB|application/CDFV2-unknown|Windows Thumbnail Database|db"},
      {{0xEC, 0xA5, 0xC1, 0x00}, false, "X|X|X|X"},  // no compound-file signature
      {{0x01, 0x02}, true, "X|X|X|X"},
  };
  for (const auto& k : cases) EXPECT_EQ(fallback(file(k.at512, k.signature)), k.answer);
  EXPECT_EQ(fallback(dir_.path() + "/missing"), "X|X|X|X");
}

TEST_F(FallbackSignatures, ByteProbesNeedTheWholePattern) {
  for (std::size_t size : {32773u, 32774u}) {
    std::string bytes(size, '\0');
    bytes.replace(32769, std::min<std::size_t>(5, size - 32769), std::string("CD001").substr(0, size - 32769));
    const InputFile f(dir_.write("iso" + std::to_string(size), bytes));
    const FileSignature& s = isoSignatures.front();
    EXPECT_EQ(checkBytesMatch(f, s.bytes.data(), 5, s.offset), size == 32774u ? 1u : 0u) << size;
  }
  const InputFile f(dir_.write("small", std::string(10, 'a')));
  const std::vector<uint8_t> long51(51, 'a');
  EXPECT_EQ(checkBytesMatch(f, long51.data(), 51, 0), 100u);
  EXPECT_EQ(checkBytesMatch(f, long51.data(), 10, 0), 1u);
  EXPECT_EQ(checkBytesMatch(f, long51.data(), 1, 0xFFFFFFFF), 0u);

  const unsigned char data[] = "aaab</svg>";
  auto u = [](const char* t) { return reinterpret_cast<const unsigned char*>(t); };
  EXPECT_EQ(checkBytesMatchWithoutStaticOffset(data, 10, u("aab"), 3), 1u);  // after a false start
  EXPECT_EQ(checkBytesMatchWithoutStaticOffset(data, 10, u("</svg>"), 6), 1u);
  EXPECT_EQ(checkBytesMatchWithoutStaticOffset(data, 9, u("</svg>"), 6), 0u);
  EXPECT_EQ(checkBytesMatchWithoutStaticOffset(data, 2, data, 3), 0u);
}

}  // namespace
}  // namespace kpl
