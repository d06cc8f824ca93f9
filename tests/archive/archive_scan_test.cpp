// Archives end to end through the scan export: the ignore marker (chain
// step 1) and the archive step (chain step 5) as the host sees them.
#include <gtest/gtest.h>

#include "archive_builders.h"
#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;
using test::jsonMember;

class ArchiveScan : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(test::ensureEngineStarted(), 0); }
  std::string fixture(const std::string& name) { return test::scanJson(test::fixturesDir() + "/archive/" + name); }
  std::string built(const Bytes& bytes, const std::string& name = "built.bin") {
    return test::scanJson(dir.write(name, bytes));
  }
  test::TempDir dir;
};

TEST_F(ArchiveScan, RealArchivesReachTheirRecords) {
  // A few records spelled out, so that a wrong table row shows here.
  const std::vector<std::vector<const char*>> records = {
      // file                 typeID        MIME type                                         extensions
      {"apk.apk",             "APK",        "application/vnd.android.package-archive",        "apk,xapk"},
      {"cdr_metadata.cdr",    "CDR",        "application/x-vnd.corel.zcf.draw.document+zip",  "cdr"},
      {"a.bz2",               "BZ2",        "application/x-bzip2",                            "BZ2"},
      {"noise.Z",             "TAZ",        "application/x-taz",                              "taz,tz"},
      {"fixture.deb",         "DEB",        "application/vnd.debian.binary-package",          "deb,udeb"},
      {"head.udf",            "UDF_ISO",    "application/octet-stream",                       "udf,iso,bin,mdf"},
      {"rcdata_cab.exe",      "EXE_SFX",    "application/vnd.microsoft.portable-executable",  "exe"},
  };
  for (const auto& c : records) {
    const std::string json = fixture(c[0]);
    EXPECT_EQ(jsonMember(json, "typeID"), c[1]) << c[0] << ": " << json;
    EXPECT_EQ(jsonMember(json, "type"), c[2]) << c[0] << ": " << json;
    EXPECT_EQ(jsonMember(json, "extensions"), c[3]) << c[0] << ": " << json;
  }
  // Every archive fixture reaches its identifier; the others are left to
  // the later steps (a plain executable or DLL, a tar of type NUL).
  for (const auto& [name, type] : test::archiveFixtures()) {
    const std::string json = fixture(name), id = jsonMember(json, "typeID");
    if (type == ArchiveType::None) {
      EXPECT_FALSE(id.empty() || ArchiveFTAUtils::isArchiveFileType(id)) << name << ": " << json;
    } else {
      EXPECT_EQ(id, kArchiveRecordRows.at(static_cast<std::size_t>(type)).typeId) << name << ": " << json;
    }
  }
}

TEST_F(ArchiveScan, BuiltHeadersAndTheIgnoreMarker) {
  for (const auto& h : test::builtHeaders()) {
    if (h.id == nullptr) continue;
    const std::string json = built(h.bytes, h.type == ArchiveType::RarVolume ? "a.part1.rar" : "built.bin");
    EXPECT_EQ(jsonMember(json, "typeID"), h.id) << h.what << ": " << json;
    if (h.type == ArchiveType::RarVolume) {
      EXPECT_EQ(jsonMember(json, "type"), "application/vnd.rar") << json;
    }
  }

  // The ignore marker turns a gzip stream into plain data.
  Bytes gz = {0x1F, 0x8B, 0x08, 0x00};
  gz.resize(1000, 0x42);
  EXPECT_EQ(jsonMember(built(gz, "plain.gz"), "typeID"), "GZ");
  test::append(gz, test::bytesOf("!NOT MSG FILE!"));
  const std::string marked = built(gz, "marked.gz");
  EXPECT_EQ(jsonMember(marked, "typeID"), "data") << marked;
  EXPECT_EQ(jsonMember(marked, "type"), "application/octet-stream") << marked;
}

}  // namespace
}  // namespace kpl
