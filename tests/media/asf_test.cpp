#include "media/asf_handler.h"

#include <gtest/gtest.h>

#include <optional>

#include "test_support.h"

namespace kpl {
namespace {

using Kind = MediaContainerFileType;

const std::string kHeaderGuid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kCodecListGuid("\x40\x52\xD1\x86\x1D\x31\xD0\x11\xA3\xA4\x00\xA0\xC9\x03\x48\xF6", 16);
const std::string kOtherGuid(16, '\x5A');

std::string le(uint64_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
  return s;
}

// An object whose size field is right unless one is given.
std::string object(const std::string& guid, const std::string& body, std::optional<uint64_t> size = {}) {
  return guid + le(size.value_or(24 + body.size()), 8) + body;
}

std::string codecEntry(uint16_t type) {
  return le(type, 2) + le(2, 2) + std::string(4, 'n') + le(1, 2) + "dd" + le(3, 2) + "iii";
}

std::string codecList(std::initializer_list<uint16_t> types, int64_t declared = -1) {
  std::string body = std::string(16, '\0') + le(declared < 0 ? types.size() : uint64_t(declared), 4);
  for (uint16_t t : types) body += codecEntry(t);
  return object(kCodecListGuid, body);
}

std::string asf(const std::string& objects, uint32_t count) {
  return kHeaderGuid + le(30 + objects.size(), 8) + le(count, 4) + "\x01\x02" + objects;
}

Kind probe(const std::string& bytes) {
  test::TempDir dir;
  return ASFHandler::isASFFileBased(dir.write("f.asf", bytes));
}

TEST(AsfContainer, RealFiles) {
  const std::string dir = test::fixturesDir() + "/media/";
  EXPECT_EQ(ASFHandler::isASFFileBased(dir + "video.wmv"), Kind::WMV);
  EXPECT_EQ(ASFHandler::isASFFileBased(dir + "audio.wma"), Kind::WMA);
  EXPECT_EQ(ASFHandler::isASFFileBased(dir + "audio_then_video.wmv"), Kind::WMV);
  EXPECT_EQ(ASFHandler::isASFFileBased(dir + "text_stream.asf"), Kind::ASF);
  EXPECT_EQ(ASFHandler::isASFFileBased(dir + "png.png"), Kind::None);
  EXPECT_EQ(ASFHandler::isASFFileBased("/nonexistent/x.wmv"), Kind::None);
}

TEST(AsfContainer, CodecListDecides) {
  const std::string props = object(kOtherGuid, "props");
  EXPECT_EQ(probe(asf(props + codecList({2, 1}), 2)), Kind::WMV);  // video after audio
  EXPECT_EQ(probe(asf(props + codecList({2, 2}), 2)), Kind::WMA);
  EXPECT_EQ(probe(asf(props + codecList({}) + "pad", 2)), Kind::ASF);
  EXPECT_EQ(probe(asf(props + codecList({0xFFFF, 2}), 2)), Kind::WMA);
  // More entries declared than present: the walk ends at the end of the
  // file with the result found so far.
  EXPECT_EQ(probe(asf(codecList({2, 1}, 1000), 1)), Kind::WMV);
  EXPECT_EQ(probe(asf(codecList({2}, 0xFFFFFFFF), 1)), Kind::ASF);
  std::string damaged = asf(props + codecList({1}), 2);
  damaged[30 + props.size() + 3] ^= 0x01;  // codec list GUID
  EXPECT_EQ(probe(damaged), Kind::ASF);
  // The codec list is only looked for among as many objects as the header
  // declares.
  EXPECT_EQ(probe(asf(props + codecList({1}), 1)), Kind::ASF);
}

TEST(AsfContainer, ObjectWalkAlwaysAdvancesAndStops) {
  // A zero-size object still counts as its 24-byte header.
  EXPECT_EQ(probe(asf(object(kOtherGuid, "", 0) + codecList({1}), 2)), Kind::WMV);
  EXPECT_EQ(probe(asf(object(kOtherGuid, "", 0) + object(kOtherGuid, "", 0), 0xFFFFFFFF)), Kind::ASF);
  EXPECT_EQ(probe(asf(object(kOtherGuid, "x", UINT64_MAX - 1) + codecList({1}), 2)), Kind::ASF);
  EXPECT_EQ(probe(asf(object(kOtherGuid, "x", 1000) + codecList({1}), 2)), Kind::ASF);
}

TEST(AsfContainer, MinimumSizeAndPrefixes) {
  const std::string header = asf("", 0);
  ASSERT_EQ(header.size(), 30u);
  EXPECT_EQ(probe(header), Kind::ASF);
  EXPECT_EQ(probe(header.substr(0, 29)), Kind::None);
  for (const char* name : {"video.wmv", "audio.wma", "audio_then_video.wmv"}) {
    const std::string whole = test::readFile(test::fixturesDir() + "/media/" + name);
    const Kind full = probe(whole);
    for (std::size_t n = 0; n < whole.size(); n += (n < 700 ? 1 : 97)) {
      Kind k = probe(whole.substr(0, n));
      if (n < 30)
        EXPECT_EQ(k, Kind::None) << name << " cut at " << n;
      else
        EXPECT_TRUE(k == Kind::ASF || k == full) << name << " cut at " << n;
    }
  }
}

TEST(AsfRecords, NoneGivesData) {
  std::string id = "WMV", mime, ext = "wmv", desc;
  ASFHandler::adjustASFBasedTypes(Kind::None, id, mime, ext, desc);
  EXPECT_EQ(id + "|" + mime + "|" + ext + "|" + desc, "data|application/octet-stream||data");
}

}  // namespace
}  // namespace kpl
