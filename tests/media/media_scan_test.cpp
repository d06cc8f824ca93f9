// The media files end to end: through scan and the chain steps, or, for the
// JPEGs the image probe leaves alone, through libmagic and the mapping table.
#include <gtest/gtest.h>

#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string scanJson(const std::string& path) {
  unsigned int status = 0;
  const char* json = nullptr;
  if (::scan(path.c_str(), &status, &json) != 0 || json == nullptr) return "scan failed";
  std::string copy = json;
  freeString(&json);
  return copy;
}

std::string typeIdOf(const std::string& path) {
  std::string json = scanJson(path);
  const std::string key = "\"typeID\":\"";
  std::size_t at = json.find(key);
  if (at == std::string::npos) return json;
  at += key.size();
  return json.substr(at, json.find('"', at) - at);
}

TEST(MediaScan, FixturesGetTheirTypeIds) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  const std::pair<const char*, const char*> expected[] = {
      {"png.png", "PNG"},          {"bmp_core.bmp", "BMP"},          {"bmp_info.bmp", "BMP"},
      {"bmp_v4.bmp", "BMP"},       {"bmp_v5.bmp", "BMP"},            {"emf.emf", "EMF"},
      {"tiff_mm.tif", "TIFF"},     {"tiff_ii.tif", "TIFF"},          {"exif_thumb.jpg", "JPG"},
      {"exif_plain.jpg", "JPG"},   {"jfif.jpg", "JPG"},              {"photoshop.psd", "PSD"},
      {"photoshop.psb", "PSB"},    {"video.wmv", "WMV"},             {"audio.wma", "WMA"},
      {"audio_then_video.wmv", "WMV"}, {"text_stream.asf", "ASF"},
  };
  for (const auto& [name, typeId] : expected)
    EXPECT_EQ(typeIdOf(test::fixturesDir() + "/media/" + name), typeId) << name;
}

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

}  // namespace
}  // namespace kpl
