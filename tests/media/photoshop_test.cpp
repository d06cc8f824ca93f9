#include "media/photoshop_fta_utils.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace kpl {
namespace {

PhotoshopType probe(const std::string& bytes) {
  test::TempDir dir;
  return PhotoshopFTAUtils::isPTSFileBased(dir.write("f.psd", bytes), bytes.size());
}

void putBE(std::string& s, std::size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s[at + i] = char(v >> (8 * (bytes - 1 - i)));
}

std::string header(uint16_t version, uint32_t height, uint32_t width, uint16_t channels = 3, uint16_t depth = 8,
                   uint16_t mode = 3) {
  std::string h = "8BPS" + std::string(22, '\0');
  putBE(h, 4, version, 2);
  putBE(h, 12, channels, 2);
  putBE(h, 14, height, 4);
  putBE(h, 18, width, 4);
  putBE(h, 22, depth, 2);
  putBE(h, 24, mode, 2);
  return h;
}

TEST(PhotoshopProbe, RealFiles) {
  EXPECT_EQ(probe(test::readFile(test::fixturesDir() + "/media/photoshop.psd")), PhotoshopPSD);
  EXPECT_EQ(probe(test::readFile(test::fixturesDir() + "/media/photoshop.psb")), PhotoshopPSB);
}

TEST(PhotoshopProbe, DimensionLimitsOfBothVersions) {
  EXPECT_EQ(probe(header(1, 30000, 30000)), PhotoshopPSD);
  EXPECT_EQ(probe(header(1, 30001, 100)), PhotoshopNone);
  EXPECT_EQ(probe(header(1, 100, 30001)), PhotoshopNone);
  EXPECT_EQ(probe(header(2, 30001, 100)), PhotoshopPSB);
  EXPECT_EQ(probe(header(2, 300000, 300000)), PhotoshopPSB);
  EXPECT_EQ(probe(header(2, 300001, 1)), PhotoshopNone);
  EXPECT_EQ(probe(header(1, 0, 1)), PhotoshopNone);
  EXPECT_EQ(probe(header(3, 1, 1)), PhotoshopNone);
}

TEST(PhotoshopProbe, OtherHeaderFields) {
  EXPECT_EQ(probe(header(1, 8, 8, 56, 32, 9)), PhotoshopPSD);
  EXPECT_EQ(probe(header(1, 8, 8, 57)), PhotoshopNone);
  EXPECT_EQ(probe(header(1, 8, 8, 0)), PhotoshopNone);
  EXPECT_EQ(probe(header(1, 8, 8, 3, 4)), PhotoshopNone);
  for (uint16_t mode : {5, 6, 10}) EXPECT_EQ(probe(header(1, 8, 8, 3, 8, mode)), PhotoshopNone) << mode;
  std::string reserved = header(1, 8, 8);
  reserved[11] = 1;
  EXPECT_EQ(probe(reserved), PhotoshopNone);
  EXPECT_EQ(probe(header(1, 8, 8).substr(0, 25)), PhotoshopNone);
}

TEST(PhotoshopRecords, OtherValuesLeaveTheRecord) {
  std::string id = "x", mime = "y", ext = "z", desc = "w";
  PhotoshopFTAUtils::adjustPTSBasedTypes(PhotoshopType(3), id, mime, ext, desc);
  EXPECT_EQ(id + mime + ext + desc, "xyzw");
}

}  // namespace
}  // namespace kpl
