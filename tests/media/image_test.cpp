// The image, Photoshop, subtitle and ASF probes on constructed and real files.
#include <gtest/gtest.h>

#include <optional>

#include "media/asf_handler.h"
#include "media/image_fta_utils.h"
#include "media/photoshop_fta_utils.h"
#include "media/subtitle_fta_utils.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string fixture(const std::string& name) { return test::readFile(test::fixturesDir() + "/media/" + name); }
std::string inTemp(const std::string& bytes) {
  static test::TempDir dir;
  return dir.write("f", bytes);
}
unsigned char image(const std::string& b) { return ImageFTAUtils::isImage(inTemp(b), b.size()); }
PhotoshopType psd(const std::string& b) { return PhotoshopFTAUtils::isPTSFileBased(inTemp(b), b.size()); }
unsigned char subtitle(const std::string& b) { return SubtitleFTAUtils::isSubtitle(inTemp(b)); }
MediaContainerFileType asf(const std::string& b) { return ASFHandler::isASFFileBased(inTemp(b)); }

using test::be;
using test::le;

// A PNG chunk with `length` in its header and zero data and CRC bytes; the
// data is left out when the length is not meant to be believed.
std::string chunk(const char* type, uint32_t length, bool withData = true) {
  return be(length, 4) + type + std::string(withData ? length : 0, '\0') + std::string(4, '\0');
}
const std::string kPng = "\x89PNG\r\n\x1a\n";

TEST(ImageProbe, PngChunkWalk) {
  const std::string ihdr = chunk("IHDR", 13), idat = chunk("IDAT", 2);
  EXPECT_EQ(image(kPng + ihdr + chunk("tEXt", 5) + idat), ImagePNG);
  EXPECT_EQ(image(kPng + ihdr + chunk("sTER", 1) + idat), ImagePNGStereo);
  EXPECT_EQ(image(kPng + ihdr + chunk("sTER", 2) + idat), ImagePNGBroken);
  EXPECT_EQ(image(kPng + chunk("sTER", 1) + ihdr + idat), ImagePNGBroken);  // sTER before IHDR
  EXPECT_EQ(image(kPng + chunk("IDAT", 2) + ihdr), ImagePNGBroken);         // first chunk not IHDR
  EXPECT_EQ(image(kPng + ihdr + ihdr + idat), ImagePNGBroken);
  EXPECT_EQ(image(kPng + ihdr + chunk("tEXt", 0x80000000u, false) + idat), ImagePNGBroken);
  EXPECT_EQ(image(kPng + ihdr + chunk("tEXt", 5)), ImageNone);  // cut before IDAT
  // A length that jumps past the end ends the walk instead of wrapping.
  EXPECT_EQ(image(kPng + ihdr + chunk("tEXt", 0x7FFFFFFFu, false) + idat), ImageNone);
}

// (The fixtures the image step leaves to later stages are in the golden corpus.)
TEST(ImageProbe, HeaderFieldsThatMustNotCount) {
  std::string bmp = fixture("bmp_info.bmp");
  for (uint8_t dibSize : {52, 56, 64}) {  // Adobe V2/V3, OS/2 2.x
    bmp[14] = char(dibSize);
    EXPECT_EQ(image(bmp), ImageNone) << int(dibSize);
  }
  std::string emf = fixture("emf.emf");
  emf[0] = 2;  // not EMR_HEADER
  EXPECT_EQ(image(emf), ImageNone);
  std::string jpg = fixture("exif_thumb.jpg");
  jpg[5] = char(jpg[5] + 1);  // the segment now ends one byte after the thumbnail's EOI
  EXPECT_EQ(image(jpg), ImageNone);
  EXPECT_EQ(ImageFTAUtils::isImage("/nonexistent/x.png", 100), ImageNone);
  EXPECT_EQ(SubtitleFTAUtils::isSubtitle("/nonexistent/x.pac"), SubtitleNone);
  EXPECT_EQ(ASFHandler::isASFFileBased("/nonexistent/x.wmv"), MediaContainerFileType::None);
}

std::string psdHeader(uint16_t version, uint32_t height, uint32_t width, uint16_t channels = 3, uint16_t depth = 8,
                      uint16_t mode = 3) {
  return "8BPS" + be(version, 2) + std::string(6, '\0') + be(channels, 2) + be(height, 4) + be(width, 4) +
         be(depth, 2) + be(mode, 2);
}

TEST(PhotoshopProbe, HeaderFieldsAndDimensionLimits) {
  const std::pair<std::string, PhotoshopType> cases[] = {
      {psdHeader(1, 30000, 30000), PhotoshopPSD},   {psdHeader(1, 30001, 100), PhotoshopNone},
      {psdHeader(1, 100, 30001), PhotoshopNone},    {psdHeader(2, 30001, 100), PhotoshopPSB},
      {psdHeader(2, 300000, 300000), PhotoshopPSB}, {psdHeader(2, 300001, 1), PhotoshopNone},
      {psdHeader(1, 0, 1), PhotoshopNone},          {psdHeader(3, 1, 1), PhotoshopNone},
      {psdHeader(1, 8, 8, 56, 32, 9), PhotoshopPSD}, {psdHeader(1, 8, 8, 57), PhotoshopNone},
      {psdHeader(1, 8, 8, 0), PhotoshopNone},       {psdHeader(1, 8, 8, 3, 4), PhotoshopNone},
      {psdHeader(1, 8, 8, 3, 8, 5), PhotoshopNone}, {psdHeader(1, 8, 8, 3, 8, 6), PhotoshopNone},
      {psdHeader(1, 8, 8, 3, 8, 10), PhotoshopNone}, {psdHeader(1, 8, 8).substr(0, 25), PhotoshopNone},
      {psdHeader(1, 8, 8).replace(11, 1, "\x01"), PhotoshopNone},  // reserved byte set
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(psd(cases[i].first), cases[i].second) << i;
}

std::string pac(std::size_t bodySize) {
  std::string f(bodySize, ' ');
  f[0] = 0x01;
  f[23] = 0x60;
  return f + "\xFF" + std::string(11, '\0') + "\x11" + std::string(1, '\0') + "dummy end of file";
}

std::string file890(std::size_t size, char third = '\0') {
  std::string f(size, 'x');
  f[0] = f[1] = f[144] = f[145] = 0;
  f[2] = third;
  return f.replace(172, 4, std::string("\x08\x90\0\0", 4));
}

TEST(SubtitleProbe, PacAndCavena890) {
  std::string shortOfClosing = pac(400), noBackquote = pac(400), wrongMarker = file890(512);
  shortOfClosing.pop_back();  // one byte short of "dummy end of file"
  noBackquote[23] = 'a';
  wrongMarker[173] = char(0x91);
  const std::pair<std::string, unsigned char> cases[] = {
      {pac(35), SubtitlePAC},  // 66 bytes, the smallest accepted
      {pac(34), SubtitleNone},          {pac(400), SubtitlePAC},
      {shortOfClosing, SubtitleNone},   {noBackquote, SubtitleNone},
      {file890(512), Subtitle890},      {file890(1024, 0x20), Subtitle890},
      {file890(1024, 0x10), SubtitleNone},
      {file890(511), SubtitleNone},  // one byte short
      {file890(496), SubtitleNone},  // aligned but under 512
      {file890(520), SubtitleNone},  // not a multiple of 16
      {wrongMarker, SubtitleNone},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(subtitle(cases[i].first), cases[i].second) << i;
}

using Kind = MediaContainerFileType;
const std::string kAsfHeader("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kCodecListGuid("\x40\x52\xD1\x86\x1D\x31\xD0\x11\xA3\xA4\x00\xA0\xC9\x03\x48\xF6", 16);
const std::string kOtherGuid(16, '\x5A');

// An object whose size field is right unless one is given.
std::string object(const std::string& guid, const std::string& body, std::optional<uint64_t> size = {}) {
  return guid + le(size.value_or(24 + body.size()), 8) + body;
}

std::string codecList(std::initializer_list<uint16_t> types, int64_t declared = -1) {
  std::string body = std::string(16, '\0') + le(declared < 0 ? types.size() : uint64_t(declared), 4);
  for (uint16_t t : types) body += le(t, 2) + le(2, 2) + "nnnn" + le(1, 2) + "dd" + le(3, 2) + "iii";
  return object(kCodecListGuid, body);
}

std::string asfFile(const std::string& objects, uint32_t count) {
  return kAsfHeader + le(30 + objects.size(), 8) + le(count, 4) + "\x01\x02" + objects;
}

TEST(AsfContainer, CodecListAndObjectWalk) {
  const std::string props = object(kOtherGuid, "props"), empty = object(kOtherGuid, "", 0);
  std::string damaged = asfFile(props + codecList({1}), 2);
  damaged[30 + props.size() + 3] ^= 0x01;  // codec list GUID
  const std::pair<std::string, Kind> cases[] = {
      {asfFile(props + codecList({2, 1}), 2), Kind::WMV},  // video after audio
      {asfFile(props + codecList({2, 2}), 2), Kind::WMA},
      {asfFile(props + codecList({}) + "pad", 2), Kind::ASF},
      {asfFile(props + codecList({0xFFFF, 2}), 2), Kind::WMA},
      // More entries declared than present: the walk ends at the end of the
      // file with the result found so far.
      {asfFile(codecList({2, 1}, 1000), 1), Kind::WMV},
      {asfFile(codecList({2}, 0xFFFFFFFF), 1), Kind::ASF},
      {damaged, Kind::ASF},
      // Only as many objects as the header declares are looked at.
      {asfFile(props + codecList({1}), 1), Kind::ASF},
      // A zero-size object still counts as its 24-byte header; huge sizes stop the walk.
      {asfFile(empty + codecList({1}), 2), Kind::WMV},
      {asfFile(empty + empty, 0xFFFFFFFF), Kind::ASF},
      {asfFile(object(kOtherGuid, "x", UINT64_MAX - 1) + codecList({1}), 2), Kind::ASF},
      {asfFile(object(kOtherGuid, "x", 1000) + codecList({1}), 2), Kind::ASF},
      {asfFile("", 0), Kind::ASF},  // 30 bytes, the smallest
      {asfFile("", 0).substr(0, 29), Kind::None},
      {fixture("png.png"), Kind::None},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(asf(cases[i].first), cases[i].second) << i;
}

// Constructed files end to end through the scan export (the real fixtures'
// answers are in the golden corpus).
TEST(MediaScan, ConstructedFilesThroughTheChain) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  std::string pst(1024, '\0');
  pst.replace(0, 4, "!BDN").replace(8, 4, "SM\x17\x00", 4);
  pst[14] = pst[15] = 1;
  pst[512] = '\x80';
  const std::string load = le(0xFFFF, 2) + le(0x2000, 2) + le(0x2003, 2) + "abcd";
  const std::pair<std::string, std::string> cases[] = {
      {kPng + chunk("IHDR", 13) + chunk("sTER", 1) + chunk("IDAT", 0), "PNS|image/png|pns|PNG Stereo Image"},
      // A PNG signature over a broken chunk structure is not left to libmagic.
      {kPng + chunk("IDAT", 0) + chunk("IHDR", 13), "data|application/octet-stream||data"},
      {pac(100), "PAC|application/octet-stream|pac|PAC Subtitle"},
      {file890(512), "890|application/octet-stream|890|Cavena 890 Subtitle"},
      {load + le(0x2E0, 2) + le(0x2E1, 2) + le(0x2000, 2), "XEX/EXE|application/x-dosdriver|xex,exe|Atari XE Executable"},
      {pst, "PST|application/vnd.ms-outlook|pst|Outlook Personal Folders"},
      {"AC1032" + std::string(100, '\0'), "DWG|image/vnd.dwg|dwg|AutoCAD 2018 Drawing"},
      {"(DWF V06.01)" + std::string(100, ' '),
       "DWF|image/vnd.dwf|dwf|AutoCAD V06.01 Design Web Format - Theme: single 3D model"},
  };
  for (const auto& [bytes, expected] : cases) {
    const std::string json = test::scanJson(inTemp(bytes));
    EXPECT_EQ(test::jsonMember(json, "typeID") + "|" + test::jsonMember(json, "type") + "|" +
                  test::jsonMember(json, "extensions") + "|" + test::jsonMember(json, "description"),
              expected)
        << json;
  }
  // Not ours: a load file whose segment runs past the end.
  EXPECT_NE(test::jsonMember(test::scanJson(inTemp(load + le(0x3000, 2) + le(0x30FF, 2))), "typeID"), "XEX/EXE");
}

}  // namespace
}  // namespace kpl
