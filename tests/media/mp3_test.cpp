// The MP3, WAV and AMR probes: frame decoding, stream rules and bounds.
#include <gtest/gtest.h>

#include <string>

#include "media/amr_fta_utils.h"
#include "media/audio_fta_utils.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string inTemp(const std::string& bytes) {
  static test::TempDir dir;
  return dir.write("a", bytes);
}
bool isMp3(const std::string& b) { return AudioFTAUtils::isMP3FileBased(inTemp(b), b.size()); }
bool isWav(const std::string& b) { return AudioFTAUtils::isWAVFileBased(inTemp(b), b.size()); }
bool isAmr(const std::string& b) { return AMRFTAUtils::isAMRFileBased(inTemp(b), b.size()); }

// MPEG-1 layer 3, 128 kbit/s, 44.1 kHz, no padding: 417-byte frames.
constexpr std::size_t kFrameSize = 417;
std::string frame(char third = '\x90') {
  return "\xFF\xFB" + std::string(1, third) + std::string(kFrameSize - 3, '\0');
}
std::string frames(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += frame();
  return out;
}

std::string id3(uint32_t size) {
  std::string h("ID3\x04\x00\x00", 6);
  for (int shift : {21, 14, 7, 0}) h.push_back(static_cast<char>((size >> shift) & 0x7F));
  return h;
}

// Result, version, layer and length decoded from a header.
std::string decode(uint32_t header) {
  MP3Frame f;
  f.header = header;
  const int result = MP3Parser::validateFrame(f);
  return std::to_string(result) + " v" + std::to_string(f.version) + " L" + std::to_string(f.layer) + " " +
         std::to_string(f.frameLength);
}

TEST(MP3Frame, LengthFollowsVersionLayerAndRates) {
  EXPECT_EQ(decode(0xFFFB9000), "0 v1 L3 417");  // 144 * 128000 / 44100
  EXPECT_EQ(decode(0xFFFB9200), "0 v1 L3 418");  // padded
  EXPECT_EQ(decode(0xFFFB9002), "1 v1 L3 417");  // reserved emphasis
  EXPECT_EQ(decode(0xFFF38000), "0 v2 L3 208");  // 72 * 64000 / 22050
  EXPECT_EQ(decode(0xFFE31800), "0 v3 L3 72");   // 72 * 8000 / 8000
  EXPECT_EQ(decode(0xFFFF1000), "0 v1 L1 32");   // (12 * 32000 / 44100) * 4
  EXPECT_EQ(decode(0xFFFD1000), "0 v1 L2 104");  // 144 * 32000 / 44100
  EXPECT_EQ(decode(0xFFF51000), "0 v2 L2 52");   // 144 * 8000 / 22050
  EXPECT_EQ(decode(0xFFFB0000).front(), '3');    // free format
  for (uint32_t bad : {0xFFFBF000u, 0xFFFB9C00u, 0xFFEB9000u, 0xFFF99000u, 0xFEFB9000u})
    EXPECT_EQ(decode(bad).front(), '4') << std::hex << bad;
}

TEST(MP3Parser, StreamRulesAndID3Bounds) {
  const std::pair<std::string, bool> cases[] = {
      {frames(10), false},
      {frames(11), true},
      // A free-format frame does not count, and its body is junk after the tenth.
      {frames(10) + frame('\0'), false},
      // Junk after a frame may reach 15 bytes past its end (16 in all), and
      // only inside the search window: past it frames must follow directly.
      {frames(1) + std::string(16, 'j') + frames(10), true},
      {frames(1) + std::string(17, 'j') + frames(10), false},
      {frames(5) + "j" + frames(6), false},
      {frames(11).substr(0, 11 * kFrameSize - 1), false},  // the last frame runs past the end
      {id3(0), true},
      {id3(5) + "12345", true},
      {id3(6) + "12345", false},
      {id3(0x0FFFFFFF), false},
      {id3(0x0FFFFFFF) + frames(11), true},  // an oversized tag is skipped like junk
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(isMp3(cases[i].first), cases[i].second) << i;
}

std::string u32le(uint32_t v) { return test::le(v, 4); }

TEST(WAVParser, RiffFormAndDeclaredSize) {
  const std::string body = "WAVEfmt " + std::string(20, '\0');
  EXPECT_TRUE(isWav("RIFF" + u32le(body.size()) + body));
  EXPECT_TRUE(isWav("RIFF" + u32le(body.size() + 8) + body));   // the size may count the header too
  EXPECT_FALSE(isWav("RIFF" + u32le(body.size() + 9) + body));  // larger than the file
  EXPECT_FALSE(isWav("RIFX" + u32le(body.size()) + body));
  EXPECT_FALSE(isWav("RIFF" + u32le(body.size()) + "AVI " + body.substr(4)));
  EXPECT_FALSE(isWav("RIFF" + u32le(4) + "WAV"));  // no room for the form type
  EXPECT_FALSE(AudioFTAUtils::isWAVFileBased("/nonexistent/a.wav", 100));
}

TEST(AMRFile, MagicLines) {
  EXPECT_TRUE(isAmr("#!AMR\n"));
  EXPECT_FALSE(isAmr("#!AMR"));
  EXPECT_TRUE(isAmr("#!AMR_MC1.0\n" + std::string(1, '\0')));
  EXPECT_FALSE(isAmr("#!AMR_MC1.0\n"));  // nothing after the magic
  EXPECT_FALSE(isAmr("#!AMR-WB\n" + std::string(20, '\x04')));
  EXPECT_FALSE(isAmr("#!amr\n" + std::string(20, '\x04')));
}

}  // namespace
}  // namespace kpl
