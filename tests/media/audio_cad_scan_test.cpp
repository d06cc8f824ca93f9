// The six chain steps end to end through the scan export.
#include <gtest/gtest.h>

#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string member(const std::string& json, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const std::size_t at = json.find(key);
  if (at == std::string::npos) return "<missing " + name + ">";
  const std::size_t start = at + key.size();
  return json.substr(start, json.find('"', start) - start);
}

struct Answer {
  std::string typeId, mime, description, extensions;
};

Answer scanPath(const std::string& path) {
  unsigned int status = 0;
  const char* json = nullptr;
  Answer a;
  if (scan(path.c_str(), &status, &json) != 0 || json == nullptr) return a;
  const std::string text(json);
  freeString(&json);
  return {member(text, "typeID"), member(text, "type"), member(text, "description"), member(text, "extensions")};
}

std::string word(uint16_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }

TEST(AudioCadScan, RealFilesThroughTheChain) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  const struct {
    const char* file;
    const char* typeId;
    const char* mime;
    const char* description;
  } cases[] = {
      {"media_audio/tone.amr", "AMR", "audio/amr", "Adaptive Multi-Rate Codec (GSM telephony)"},
      {"media_audio/tone.wav", "WAV", "audio/wav", "RIFF/WAVe Standard Audio"},
      {"media_audio/ffmpeg.wav", "WAV", "audio/wav", "RIFF/WAVe Standard Audio"},
      {"media_audio/mpeg1.mp3", "MP3", "audio/mp3", "MP3 Audio"},
      {"media_audio/mpeg2.mp3", "MP3", "audio/mp3", "MP3 Audio"},
      {"media_audio/mpeg1_id3.mp3", "MP3", "audio/mp3", "MP3 Audio"},
      {"media_audio/mpeg25_id3.mp3", "MP3", "audio/mp3", "MP3 Audio"},
      {"media_audio/ffmpeg.mp3", "MP3", "audio/mp3", "MP3 Audio"},
      {"media_cad/r12_ascii.dxf", "DXF", "image/vnd.dxf", "AutoCAD R11-12 Drawing eXchange Format"},
      {"media_cad/r2000_ascii.dxf", "DXF", "image/vnd.dxf", "AutoCAD 2000-2002 Drawing eXchange Format"},
      {"media_cad/r2018_binary.dxf", "DXF", "image/vnd.dxf", "AutoCAD 2018 Drawing eXchange Format"},
      {"media_cad/r12_no_acadver.dxf", "DXF", "image/vnd.dxf", "AutoCAD Drawing eXchange Format"},
      {"media_cad/r12_binary.dxf", "DXF", "image/vnd.dxf", "AutoCAD Drawing eXchange Format"},  // 1-byte codes
  };
  for (const auto& c : cases) {
    const Answer a = scanPath(test::fixturesDir() + "/" + c.file);
    EXPECT_EQ(a.typeId, c.typeId) << c.file;
    EXPECT_EQ(a.mime, c.mime) << c.file;
    EXPECT_EQ(a.description, c.description) << c.file;
  }
}

TEST(AudioCadScan, ConstructedFilesThroughTheChain) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  test::TempDir dir;
  std::string pst(1024, '\0');
  pst.replace(0, 4, "!BDN");
  pst.replace(8, 4, "SM\x17\x00", 4);
  pst[14] = pst[15] = 1;
  pst[512] = '\x80';
  const std::string xex = word(0xFFFF) + word(0x2000) + word(0x2003) + "abcd" + word(0x2E0) + word(0x2E1) + std::string("\0\x20", 2);

  const struct {
    std::string bytes;
    const char* typeId;
    const char* extensions;
    const char* description;
  } cases[] = {
      {xex, "XEX/EXE", "xex,exe", "Atari XE Executable"},
      {pst, "PST", "pst", "Outlook Personal Folders"},
      {"AC1032" + std::string(100, '\0'), "DWG", "dwg", "AutoCAD 2018 Drawing"},
      {"(DWF V06.01)" + std::string(100, ' '), "DWF", "dwf",
       "AutoCAD V06.01 Design Web Format - Theme: single 3D model"},
  };
  for (const auto& c : cases) {
    const Answer a = scanPath(dir.write("f", c.bytes));
    EXPECT_EQ(a.typeId, c.typeId);
    EXPECT_EQ(a.extensions, c.extensions) << c.typeId;
    EXPECT_EQ(a.description, c.description) << c.typeId;
  }
  // Not ours: a DXF without a HEADER section, an MPEG-2.5 stream without a
  // tag (its first look wants a sync the stream does not have) and a load
  // file whose segment runs past the end.
  EXPECT_NE(scanPath(test::fixturesDir() + "/media_cad/entities_only.dxf").typeId, "DXF");
  EXPECT_NE(scanPath(test::fixturesDir() + "/media_audio/mpeg25.mp3").mime, "audio/mp3");
  EXPECT_NE(scanPath(dir.write("g", word(0xFFFF) + word(0x2000) + word(0x2003) + "abcd" + word(0x3000) + word(0x30FF)))
                .typeId,
            "XEX/EXE");
}

}  // namespace
}  // namespace kpl
