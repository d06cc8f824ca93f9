// Constructed media, audio and CAD files end to end through the scan export
// (the real fixtures' answers are in the golden corpus).
#include <gtest/gtest.h>

#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string word(uint16_t v) { return test::le(v, 2); }

TEST(MediaScan, ConstructedFilesThroughTheChain) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  test::TempDir dir;
  const std::string png = "\x89PNG\r\n\x1a\n";
  const std::string ihdr = std::string("\0\0\0\x0dIHDR", 8) + std::string(17, '\0');
  const std::string idat = std::string("\0\0\0\0IDAT", 8) + std::string(4, '\0');
  const std::string ster = std::string("\0\0\0\x01sTER", 8) + std::string(5, '\0');
  std::string pac(100, ' '), cavena(512, 'x'), pst(1024, '\0');
  pac[0] = 0x01;
  pac[23] = 0x60;
  pac += std::string("\xFF") + std::string(11, '\0') + "\x11" + std::string(1, '\0') + "dummy end of file";
  cavena.replace(0, 3, std::string(3, '\0')).replace(144, 2, std::string(2, '\0'));
  cavena.replace(172, 4, std::string("\x08\x90\0\0", 4));
  pst.replace(0, 4, "!BDN").replace(8, 4, "SM\x17\x00", 4);
  pst[14] = pst[15] = 1;
  pst[512] = '\x80';
  const std::string load = word(0xFFFF) + word(0x2000) + word(0x2003) + "abcd";
  const std::pair<std::string, std::string> cases[] = {
      {png + ihdr + ster + idat, "PNS|image/png|pns|PNG Stereo Image"},
      // A PNG signature over a broken chunk structure is not left to libmagic.
      {png + idat + ihdr, "data|application/octet-stream||data"},
      {pac, "PAC|application/octet-stream|pac|PAC Subtitle"},
      {cavena, "890|application/octet-stream|890|Cavena 890 Subtitle"},
      {load + word(0x2E0) + word(0x2E1) + std::string("\0\x20", 2), "XEX/EXE|application/x-dosdriver|xex,exe|Atari XE Executable"},
      {pst, "PST|application/vnd.ms-outlook|pst|Outlook Personal Folders"},
      {"AC1032" + std::string(100, '\0'), "DWG|image/vnd.dwg|dwg|AutoCAD 2018 Drawing"},
      {"(DWF V06.01)" + std::string(100, ' '),
       "DWF|image/vnd.dwf|dwf|AutoCAD V06.01 Design Web Format - Theme: single 3D model"},
  };
  for (const auto& [bytes, expected] : cases) {
    const std::string json = test::scanJson(dir.write("f", bytes));
    EXPECT_EQ(test::jsonMember(json, "typeID") + "|" + test::jsonMember(json, "type") + "|" +
                  test::jsonMember(json, "extensions") + "|" +
                  test::jsonMember(json, "description"),
              expected) << json;
  }
  // Not ours: a load file whose segment runs past the end.
  EXPECT_NE(test::jsonMember(test::scanJson(dir.write("g", load + word(0x3000) + word(0x30FF))), "typeID"), "XEX/EXE");
}

}  // namespace
}  // namespace kpl
