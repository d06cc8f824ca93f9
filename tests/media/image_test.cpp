#include "media/image_fta_utils.h"

#include <gtest/gtest.h>

#include "detect/image_subtitle_records.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string fixture(const std::string& name) { return test::readFile(test::fixturesDir() + "/media/" + name); }

unsigned char probe(const std::string& bytes) {
  test::TempDir dir;
  return ImageFTAUtils::isImage(dir.write("f", bytes), bytes.size());
}

// A PNG chunk with `length` in its header and zero data and CRC bytes; the
// data is left out when the length is not meant to be believed.
std::string chunk(const char* type, uint32_t length, bool withData = true) {
  std::string c = {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
  c += type;
  if (withData) c += std::string(length, '\0');
  return c + std::string(4, '\0');
}
const std::string kPng = "\x89PNG\r\n\x1a\n";

TEST(ImageProbe, RealFilesGetTheirKinds) {
  EXPECT_EQ(probe(fixture("png.png")), ImagePNG);
  for (const char* bmp : {"bmp_core.bmp", "bmp_info.bmp", "bmp_v4.bmp", "bmp_v5.bmp"})
    EXPECT_EQ(probe(fixture(bmp)), ImageBMP) << bmp;
  EXPECT_EQ(probe(fixture("emf.emf")), ImageEMF);
  EXPECT_EQ(probe(fixture("tiff_mm.tif")), ImageTIFF);
  EXPECT_EQ(probe(fixture("tiff_ii.tif")), ImageTIFF);
  EXPECT_EQ(probe(fixture("exif_thumb.jpg")), ImageJPGEXIF);
  // Without a thumbnail the APP1 segment does not end in EOI; plain JFIF has
  // no APP1 first. Both are left to the later stages.
  EXPECT_EQ(probe(fixture("exif_plain.jpg")), ImageNone);
  EXPECT_EQ(probe(fixture("jfif.jpg")), ImageNone);
  EXPECT_EQ(probe(fixture("photoshop.psd")), ImageNone);
}

TEST(ImageProbe, PngChunkWalk) {
  const std::string ihdr = chunk("IHDR", 13), idat = chunk("IDAT", 2);
  EXPECT_EQ(probe(kPng + ihdr + chunk("tEXt", 5) + idat), ImagePNG);
  EXPECT_EQ(probe(kPng + ihdr + chunk("sTER", 1) + idat), ImagePNGStereo);
  EXPECT_EQ(probe(kPng + ihdr + chunk("sTER", 2) + idat), ImagePNGBroken);
  EXPECT_EQ(probe(kPng + chunk("sTER", 1) + ihdr + idat), ImagePNGBroken);  // sTER before IHDR
  EXPECT_EQ(probe(kPng + chunk("IDAT", 2) + ihdr), ImagePNGBroken);         // first chunk not IHDR
  EXPECT_EQ(probe(kPng + ihdr + ihdr + idat), ImagePNGBroken);
  EXPECT_EQ(probe(kPng + ihdr + chunk("tEXt", 0x80000000u, false) + idat), ImagePNGBroken);
  EXPECT_EQ(probe(kPng + ihdr + chunk("tEXt", 5)), ImageNone);  // cut before IDAT
  // A length that jumps past the end ends the walk instead of wrapping.
  EXPECT_EQ(probe(kPng + ihdr + chunk("tEXt", 0x7FFFFFFFu, false) + idat), ImageNone);
  // Empty chunks still move the walk on, and their number is bounded.
  std::string many = kPng + ihdr;
  for (int i = 0; i < 70000; ++i) many += chunk("zzZz", 0);
  EXPECT_EQ(probe(many + idat), ImagePNGBroken);
}

TEST(ImageProbe, HeaderFieldsThatMustNotCount) {
  std::string bmp = fixture("bmp_info.bmp");
  for (uint8_t dibSize : {52, 56, 64}) {  // Adobe V2/V3, OS/2 2.x
    bmp[14] = char(dibSize);
    EXPECT_EQ(probe(bmp), ImageNone) << int(dibSize);
  }
  std::string emf = fixture("emf.emf");
  emf[0] = 2;  // not EMR_HEADER
  EXPECT_EQ(probe(emf), ImageNone);
  std::string jpg = fixture("exif_thumb.jpg");
  jpg[5] = char(jpg[5] + 1);  // the segment now ends one byte after the thumbnail's EOI
  EXPECT_EQ(probe(jpg), ImageNone);
}

TEST(ImageProbe, TruncatedFilesAreNeverMistaken) {
  for (const char* name : {"png.png", "bmp_info.bmp", "emf.emf", "exif_thumb.jpg", "tiff_ii.tif"}) {
    const std::string whole = fixture(name);
    const unsigned char full = probe(whole);
    for (std::size_t n = 0; n < whole.size(); ++n) {
      unsigned char kind = probe(whole.substr(0, n));
      EXPECT_TRUE(kind == ImageNone || kind == full) << name << " cut at " << n;
    }
  }
  EXPECT_EQ(ImageFTAUtils::isImage("/nonexistent/x.png", 100), ImageNone);
}

// The recognised kinds are checked end to end through scan.
TEST(ImageRecords, UnknownKindsGiveData) {
  std::string id, mime, ext, desc;
  for (unsigned char other : {1, 4, 5, 10, 255}) {
    adjustImageTypes(other, id, mime, ext, desc);
    EXPECT_EQ(id + "|" + mime + "|" + ext + "|" + desc, "data|application/octet-stream||data") << int(other);
  }
  adjustSubtitleTypes(3, id, mime, ext, desc);
  EXPECT_EQ(id + "|" + ext, "data|");
}

}  // namespace
}  // namespace kpl
