#include <gtest/gtest.h>

#include "media/amr_fta_utils.h"
#include "media/audio_fta_utils.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string u32le(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

std::string fixture(const char* name) { return test::fixturesDir() + "/media_audio/" + name; }

bool isWav(const std::string& bytes) {
  test::TempDir dir;
  return AudioFTAUtils::isWAVFileBased(dir.write("a.wav", bytes), bytes.size());
}

bool isAmr(const std::string& bytes) {
  test::TempDir dir;
  return AMRFTAUtils::isAMRFileBased(dir.write("a.amr", bytes), bytes.size());
}

TEST(WAVParser, RiffFormAndDeclaredSize) {
  const std::string body = "WAVEfmt " + std::string(20, '\0');
  EXPECT_TRUE(isWav("RIFF" + u32le(body.size()) + body));
  EXPECT_TRUE(isWav("RIFF" + u32le(body.size() + 8) + body));  // the size may count the header too
  EXPECT_FALSE(isWav("RIFF" + u32le(body.size() + 9) + body));  // larger than the file
  EXPECT_FALSE(isWav("RIFX" + u32le(body.size()) + body));
  EXPECT_FALSE(isWav("RIFF" + u32le(body.size()) + "AVI " + body.substr(4)));
  EXPECT_FALSE(isWav("RIFF" + u32le(4) + "WAV"));  // no room for the form type
  EXPECT_FALSE(AudioFTAUtils::isWAVFileBased("/nonexistent/a.wav", 100));
}

TEST(WAVParser, ChunkWalkOfARealFile) {
  // ffmpeg puts a LIST chunk between "fmt " and "data": the chunk walk must
  // land on "data" with the samples running to the end of the file.
  InputFile file(fixture("ffmpeg.wav"));
  uint64_t pos = 12;
  Chunk chunk;
  bool sawList = false;
  for (int i = 0; i < 8 && chunk.read(file, pos) && !chunk.isEquals(DATA_CHUNK); ++i) {
    if (chunk.isEquals(LIST_CHUNK)) {
      FourCC listType;
      ASSERT_TRUE(listType.read(file, pos));
      sawList = true;
    }
    chunk.skip(pos);
  }
  EXPECT_TRUE(sawList);
  ASSERT_TRUE(chunk.isEquals(DATA_CHUNK));
  EXPECT_EQ(pos + chunk.size, file.size());
}

TEST(WAVParser, TruncationSweep) {
  const std::string bytes = test::readFile(fixture("tone.wav"));
  const uint32_t declared = loadU32LE(reinterpret_cast<const uint8_t*>(bytes.data() + 4));
  for (std::size_t n = 0; n <= bytes.size(); ++n)
    EXPECT_EQ(isWav(bytes.substr(0, n)), n >= 12 && n >= declared) << n;
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
