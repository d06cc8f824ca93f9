#include <gtest/gtest.h>

#include <string>

#include "media/audio_fta_utils.h"
#include "test_support.h"

namespace kpl {
namespace {

// MPEG-1 layer 3, 128 kbit/s, 44.1 kHz, no padding: 417-byte frames.
const std::string kHeader = std::string("\xFF\xFB\x90\x00", 4);
constexpr std::size_t kFrameSize = 417;

std::string frame(const std::string& header = kHeader, std::size_t size = kFrameSize) {
  return header + std::string(size - header.size(), '\0');
}

std::string frames(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += frame();
  return out;
}

bool isMp3(const std::string& bytes) {
  test::TempDir dir;
  return AudioFTAUtils::isMP3FileBased(dir.write("a.mp3", bytes), bytes.size());
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
  EXPECT_EQ(MP3Parser::toSynchsafeInteger(0x01020304u), (1u << 21) | (2u << 14) | (3u << 7) | 4u);
}

TEST(MP3Parser, ElevenFramesMakeAStream) {
  EXPECT_FALSE(isMp3(frames(10)));
  EXPECT_TRUE(isMp3(frames(11)));
  // A free-format frame does not count, and its body is junk after the tenth.
  EXPECT_FALSE(isMp3(frames(10) + frame(std::string("\xFF\xFB\x00\x00", 4))));
  // Junk after a frame may reach 15 bytes past its end (so 16 bytes in
  // all), and only inside the search window: past it the frames must follow
  // each other directly.
  EXPECT_TRUE(isMp3(frames(1) + std::string(16, 'j') + frames(10)));
  EXPECT_FALSE(isMp3(frames(1) + std::string(17, 'j') + frames(10)));
  EXPECT_FALSE(isMp3(frames(5) + std::string(1, 'j') + frames(6)));
  // The first frame must start by offset 1025.
  EXPECT_TRUE(isMp3(std::string(1025, 'j') + frames(11)));
  EXPECT_FALSE(isMp3(std::string(1026, 'j') + frames(11)));
  // The last frame may not run past the end of the file.
  EXPECT_FALSE(isMp3(frames(11).substr(0, 11 * kFrameSize - 1)));
}

TEST(MP3Parser, ID3v2HeaderMustFitTheFile) {
  EXPECT_TRUE(isMp3(id3(0)));
  EXPECT_TRUE(isMp3(id3(5) + "12345"));
  EXPECT_FALSE(isMp3(id3(6) + "12345"));
  EXPECT_FALSE(isMp3(id3(0x0FFFFFFF)));
  // An oversized tag is skipped like junk: frames right after it still count.
  EXPECT_TRUE(isMp3(id3(0x0FFFFFFF) + frames(11)));
}

// Walks the frames of a real file as the scan does, returning where the
// eleventh ends.
uint64_t endOfEleventhFrame(const std::string& bytes) {
  uint64_t pos = 0;
  for (int i = 0; i < 11; ++i) {
    MP3Frame f;
    f.header = loadU32BE(reinterpret_cast<const uint8_t*>(bytes.data() + pos));
    EXPECT_EQ(MP3Parser::validateFrame(f), 0) << "frame " << i;
    pos += f.frameLength;
  }
  return pos;
}

TEST(MP3Parser, MpegTwoPointFiveIsDecodedButNotFollowed) {
  // The scan's first look wants a sync that MPEG-2.5 frames do not have, so
  // such a stream counts only by its tag (the tagged one passes through scan).
  const std::string path = test::fixturesDir() + "/media_audio/mpeg25.mp3";
  MP3Parser parser(path, test::readFile(path).size());
  EXPECT_EQ(parser.getTypeTag(), MP3Parser::kOther);
  MP3Frame f;
  EXPECT_EQ(parser.parseFrame(f), 0);
  EXPECT_EQ(f.sampleRate, 8000u);
  EXPECT_EQ(parser.parse(), MP3Parser::kInvalid);
}

TEST(MP3Parser, TruncationSweep) {
  const std::string bytes = test::readFile(test::fixturesDir() + "/media_audio/mpeg1.mp3");
  const uint64_t needed = endOfEleventhFrame(bytes);
  ASSERT_LE(needed, bytes.size());
  test::TempDir dir;
  for (std::size_t n = 0; n <= bytes.size(); ++n) {
    const std::string path = dir.write("p.mp3", bytes.substr(0, n));
    EXPECT_EQ(AudioFTAUtils::isMP3FileBased(path, n), n >= needed) << n;
  }
}

}  // namespace
}  // namespace kpl
