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

// The value of "typeID" in a result JSON.
std::string typeIdOf(const std::string& json) {
  const std::string key = "\"typeID\":\"";
  const std::size_t at = json.find(key);
  if (at == std::string::npos) return "";
  const std::size_t from = at + key.size();
  return json.substr(from, json.find('"', from) - from);
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
    EXPECT_NE(json.find(member("typeID", c[1])), std::string::npos) << c[0] << ": " << json;
    EXPECT_NE(json.find(member("type", c[2])), std::string::npos) << c[0] << ": " << json;
    EXPECT_NE(json.find(member("extensions", c[3])), std::string::npos) << c[0] << ": " << json;
  }
  // Every archive fixture reaches its identifier; the others are left to
  // the later steps (a plain executable or DLL, a tar of type NUL).
  for (const auto& [name, type] : test::archiveFixtures()) {
    const std::string json = fixture(name);
    const std::string id = kArchiveRecordRows.at(static_cast<std::size_t>(type)).typeId;
    if (type == ArchiveType::None) {
      EXPECT_FALSE(ArchiveFTAUtils::isArchiveFileType(typeIdOf(json))) << name << ": " << json;
      EXPECT_NE(typeIdOf(json), "");
    } else {
      EXPECT_EQ(typeIdOf(json), id) << name << ": " << json;
    }
  }
}

TEST_F(ArchiveScan, BuiltHeadersReachTheirIdentifiers) {
  // Formats no Debian tool writes, built from their published layouts.
  Bytes boot(1024, 0), mbr(40000, 0), hfs(2048, 0), winzip(29200, 0), vdi(512, 0), dmg = test::bytesOf("BZh91AY&SY");
  test::putText(boot, 448, "BOOTMGR is compressed");
  test::putU16(mbr, 510, 0xAA55);
  Bytes hybrid = mbr;
  test::putText(hybrid, 32769, "CD001");
  test::putText(hfs, 1024, "H+");
  test::putText(winzip, 29152, "WinZip");
  test::putText(vdi, 0, "<<< Oracle VM VirtualBox Disk Image >>>\n");
  dmg.resize(2000, 0x33);
  test::putText(dmg, 2000 - 512, "koly");
  const std::vector<std::pair<Bytes, const char*>> built = {
      {test::rar4(true), "SPLIT_ARC"}, {test::rar5(true), "SPLIT_ARC"}, {test::rar5(false), "RAR"},
      {test::sarArchive("2.01", "RG"), "SAR"}, {test::pimArchive("\2PIM", 100, 64, 0), "PIM"},
      {test::pimArchive("PIM2", 100, 64, 4), "PIM"}, {test::rawCd(2, 2), "BIN/MDF"}, {boot, "IMG"},
      {mbr, "MBR"}, {hybrid, "ISO"}, {hfs, "HFS"}, {winzip, "EXE"}, {vdi, "VDI"}, {dmg, "DMG"},
  };
  for (const auto& [bytes, id] : built) {
    const std::string json = scanJson(dir.write("built.bin", bytes));
    EXPECT_NE(json.find(member("typeID", id)), std::string::npos) << id << ": " << json;
  }
  const std::string volume = scanJson(dir.write("a.part1.rar", test::rar4(true)));
  EXPECT_NE(volume.find(member("type", "application/vnd.rar")), std::string::npos) << volume;
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
