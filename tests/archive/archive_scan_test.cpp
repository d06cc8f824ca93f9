// Archives end to end through the scan export: the ignore marker (chain
// step 1) and the archive step (chain step 5) as the host sees them.
#include <gtest/gtest.h>

#include "archive_builders.h"
#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;

std::string scanJson(const std::string& path) {
  unsigned int status = 0;
  const char* json = nullptr;
  if (::scan(path.c_str(), &status, &json) != 0 || json == nullptr) return "<no result>";
  std::string copy = json;
  freeString(&json);
  return copy;
}

std::string member(const std::string& name, const std::string& value) {
  return "\"" + name + "\":\"" + value + "\"";
}

class ArchiveScan : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(test::ensureEngineStarted(), 0); }
  std::string fixture(const std::string& name) { return scanJson(test::fixturesDir() + "/archive/" + name); }
  test::TempDir dir;
};

TEST_F(ArchiveScan, RealArchivesReachTheirRecords) {
  const std::vector<std::vector<const char*>> cases = {
      // file                 typeID        MIME type                                         extensions
      {"plain.zip",           "ZIP",        "application/zip",                                "zip,zipx"},
      {"jar_lower.jar",       "JAR",        "application/java-archive",                       "jar"},
      {"apk.apk",             "APK",        "application/vnd.android.package-archive",        "apk,xapk"},
      {"xpi_json.xpi",        "XPI",        "application/x-xpinstall",                        "zip,xpi,jar"},
      {"cdr_metadata.cdr",    "CDR",        "application/x-vnd.corel.zcf.draw.document+zip",  "cdr"},
      {"a.7z",                "7Z",         "application/x-7z-compressed",                    "7z"},
      {"ustar.tar",           "TAR",        "application/x-tar",                              "tar"},
      {"v7_dir.tar",          "TAR",        "application/x-tar",                              "tar"},
      {"a.bz2",               "BZ2",        "application/x-bzip2",                            "BZ2"},
      {"noise.Z",             "TAZ",        "application/x-taz",                              "taz,tz"},
      {"fixture.deb",         "DEB",        "application/vnd.debian.binary-package",          "deb,udeb"},
      {"fixture.rpm",         "RPM",        "application/x-rpm",                              "rpm"},
      {"a.cab",               "CAB",        "application/vnd.ms-cab-compressed",              "cab"},
      {"head.udf",            "UDF_ISO",    "application/octet-stream",                       "udf,iso,bin,mdf"},
      {"dynamic.vhd",         "VHD",        "application/octet-stream",                       "vhd"},
      {"sfx_7z_padded.exe",   "EXE_SFX",    "application/vnd.microsoft.portable-executable",  "exe"},
      {"sfx_zip_comment.exe", "EXE_SFX",    "application/vnd.microsoft.portable-executable",  "exe"},
      {"rcdata_cab.exe",      "EXE_SFX",    "application/vnd.microsoft.portable-executable",  "exe"},
  };
  for (const auto& c : cases) {
    const std::string json = fixture(c[0]);
    EXPECT_NE(json.find(member("typeID", c[1])), std::string::npos) << c[0] << ": " << json;
    EXPECT_NE(json.find(member("type", c[2])), std::string::npos) << c[0] << ": " << json;
    EXPECT_NE(json.find(member("extensions", c[3])), std::string::npos) << c[0] << ": " << json;
  }
}

TEST_F(ArchiveScan, PlainExecutableIsLeftToTheLaterSteps) {
  for (const char* name : {"plain.exe", "plain.dll"}) {
    const std::string json = fixture(name);
    EXPECT_EQ(json.find("EXE_SFX"), std::string::npos) << json;
    EXPECT_NE(json.find("\"typeID\""), std::string::npos) << json;
  }
}

TEST_F(ArchiveScan, RarVolumeIsASplitArchive) {
  Bytes rar = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0x00, 0x00, 0x73, 0x01, 0x00, 0x0D, 0, 0, 0, 0, 0, 0, 0};
  rar.resize(64, 0x11);
  const std::string json = scanJson(dir.write("a.part1.rar", rar));
  EXPECT_NE(json.find(member("typeID", "SPLIT_ARC")), std::string::npos) << json;
  EXPECT_NE(json.find(member("type", "application/vnd.rar")), std::string::npos) << json;
}

TEST_F(ArchiveScan, IgnoreMarkerGivesData) {
  Bytes gz = {0x1F, 0x8B, 0x08, 0x00};
  gz.resize(1000, 0x42);
  const std::string plain = scanJson(dir.write("plain.gz", gz));
  EXPECT_NE(plain.find(member("typeID", "GZ")), std::string::npos) << plain;
  test::append(gz, test::bytesOf("!NOT MSG FILE!"));
  const std::string marked = scanJson(dir.write("marked.gz", gz));
  EXPECT_NE(marked.find(member("typeID", "data")), std::string::npos) << marked;
  EXPECT_NE(marked.find(member("type", "application/octet-stream")), std::string::npos) << marked;
}

}  // namespace
}  // namespace kpl
