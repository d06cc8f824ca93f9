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

TEST_F(ArchiveScan, EveryOtherArchiveReachesItsIdentifier) {
  const std::vector<std::pair<const char*, const char*>> fixtures = {
      {"streamed.zip", "ZIP"},    {"jar_upper.jar", "JAR"},  {"android_only.zip", "ZIP"}, {"xpi_rdf.xpi", "XPI"},
      {"cdr_meta_inf.cdr", "CDR"}, {"cdr_half.zip", "ZIP"},  {"noise.gz", "GZ"},          {"noise.xz", "XZ"},
      {"a.lzma", "LZMA"},         {"a_newc.cpio", "CPIO"},   {"a_odc.cpio", "CPIO"},      {"a_bin.cpio", "CPIO"},
      {"a.arj", "ARJ"},           {"a.arc", "ARC"},          {"a.lzh", "LZH"},            {"a.wim", "WIM"},
      {"head.iso", "ISO"},        {"sfx_7z.exe", "EXE_SFX"}, {"sfx_zip.exe", "EXE_SFX"},  {"sfx_zip_padded.exe", "EXE_SFX"},
  };
  for (const auto& [name, id] : fixtures) {
    const std::string json = fixture(name);
    EXPECT_NE(json.find(member("typeID", id)), std::string::npos) << name << ": " << json;
  }

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
