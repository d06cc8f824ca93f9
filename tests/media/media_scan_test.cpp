// Constructed media, audio and CAD files end to end through the scan export
// (the real fixtures' answers are in the golden corpus).
#include <gtest/gtest.h>

#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::jsonMember;
using test::scanJson;

std::string typeIdOf(const std::string& path) { return jsonMember(scanJson(path), "typeID"); }
std::string word(uint16_t v) { return test::le(v, 2); }

TEST(MediaScan, ConstructedImagesAndSubtitles) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  test::TempDir dir;
  const std::string png = "\x89PNG\r\n\x1a\n";
  const std::string ihdr = std::string("\0\0\0\x0dIHDR", 8) + std::string(17, '\0');
  const std::string idat = std::string("\0\0\0\0IDAT", 8) + std::string(4, '\0');
  const std::string ster = std::string("\0\0\0\x01sTER", 8) + std::string(5, '\0');
  EXPECT_EQ(scanJson(dir.write("s.pns", png + ihdr + ster + idat)),
            R"({"typeID":"PNS","type":"image/png","groupIDs":["G"],"groupID":"G",)"
            R"("description":"PNG Stereo Image","extensions":"pns","encrypted":false})");
  // A PNG signature over a broken chunk structure is not left to libmagic.
  EXPECT_EQ(typeIdOf(dir.write("b.png", png + idat + ihdr)), "data");

  std::string pac(100, ' ');
  pac[0] = 0x01;
  pac[23] = 0x60;
  pac += std::string("\xFF") + std::string(11, '\0') + "\x11" + std::string(1, '\0') + "dummy end of file";
  EXPECT_EQ(typeIdOf(dir.write("a.pac", pac)), "PAC");
  std::string cavena(512, 'x');
  cavena.replace(0, 3, std::string(3, '\0'));
  cavena.replace(144, 2, std::string(2, '\0'));
  cavena.replace(172, 4, std::string("\x08\x90\0\0", 4));
  EXPECT_EQ(typeIdOf(dir.write("a.890", cavena)), "890");
}

TEST(AudioCadScan, ConstructedFilesThroughTheChain) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  test::TempDir dir;
  std::string pst(1024, '\0');
  pst.replace(0, 4, "!BDN");
  pst.replace(8, 4, "SM\x17\x00", 4);
  pst[14] = pst[15] = 1;
  pst[512] = '\x80';
  const std::string load = word(0xFFFF) + word(0x2000) + word(0x2003) + "abcd";
  const std::pair<std::string, std::string> cases[] = {
      {load + word(0x2E0) + word(0x2E1) + std::string("\0\x20", 2), "XEX/EXE|xex,exe|Atari XE Executable"},
      {pst, "PST|pst|Outlook Personal Folders"},
      {"AC1032" + std::string(100, '\0'), "DWG|dwg|AutoCAD 2018 Drawing"},
      {"(DWF V06.01)" + std::string(100, ' '), "DWF|dwf|AutoCAD V06.01 Design Web Format - Theme: single 3D model"},
  };
  for (const auto& [bytes, expected] : cases) {
    const std::string json = scanJson(dir.write("f", bytes));
    EXPECT_EQ(jsonMember(json, "typeID") + "|" + jsonMember(json, "extensions") + "|" +
                  jsonMember(json, "description"),
              expected);
  }
  // Not ours: a load file whose segment runs past the end.
  EXPECT_NE(typeIdOf(dir.write("g", load + word(0x3000) + word(0x30FF))), "XEX/EXE");
}

}  // namespace
}  // namespace kpl
