// The archive signature table, its corrections, and the record each archive
// type becomes: real archives made by generate.sh, and headers built here
// for formats no Debian tool writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "archive/archive_fta_utils.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "detect/file_type_catalogue.h"
#include "engine/detection_record.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;
using T = ArchiveType;

std::string fixture(const std::string& name) { return test::fixturesDir() + "/archive/" + name; }

class ArchiveSignatures : public ::testing::Test {
 protected:
  void SetUp() override { ArchiveFTAUtils::init(); }
  T detect(const Bytes& bytes) { return ArchiveFTAUtils::isArchive(dir.write("f.bin", bytes), bytes.size()); }
  T detectFixture(const std::string& name) {
    const std::string path = fixture(name);
    return ArchiveFTAUtils::isArchive(path, test::readFile(path).size());
  }
  test::TempDir dir;
};

TEST_F(ArchiveSignatures, TablesAreConsistent) {
  const auto& rows = GetArchiveSignatures();
  ASSERT_EQ(rows.size(), 58u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    // Every token of every row parses: the text has one byte per 2 digits.
    const std::string text = kArchiveSignatureRows[i].hexBytes;
    EXPECT_EQ(rows[i].signature.size(), (text.size() + 1) / 3) << "row " << i + 1;
    EXPECT_NE(rows[i].type, T::None);
  }
  const auto& map = GetArchiveFileTypeMap();
  EXPECT_EQ(map.size(), 34u);
  for (const auto& [id, type] : map) EXPECT_EQ(kArchiveRecordRows.at(static_cast<std::size_t>(type)).typeId, id);
  ASSERT_EQ(kArchiveRecordRows.size(), 45u);
  for (std::size_t v = 0; v < kArchiveRecordRows.size(); ++v) {
    EXPECT_EQ(static_cast<std::size_t>(kArchiveRecordRows[v].type), v);
    EXPECT_NO_THROW(describe(kArchiveRecordRows[v].typeId)) << kArchiveRecordRows[v].typeId;
  }
  ArchiveFTAUtils::init();  // a second init refills, it does not append
  EXPECT_EQ(GetArchiveSignatures().size(), 58u);

  ArchiveSignature parsed("0x50, 0x4B,zz 4b, 0x100", 0, T::Zip);
  EXPECT_EQ(parsed.signature, (Bytes{0x50, 0x4B, 0x4B}));
}

// Each row, alone in a file of zeros, reaches its own type, from a file and
// from memory: no earlier row shadows it.
TEST_F(ArchiveSignatures, EveryRowReachesItsType) {
  for (const ArchiveSignature& row : GetArchiveSignatures()) {
    Bytes bytes(row.offset + row.signature.size() + 64, 0);
    const std::size_t at = row.origin == ArchiveSignature::kFromEnd ? bytes.size() - row.offset : row.offset;
    std::copy(row.signature.begin(), row.signature.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    InputFile f(dir.write("row.bin", bytes));
    EXPECT_EQ(ArchiveFTAUtils::checkArchiveMagicNumber(f, static_cast<long long>(bytes.size())), row.type)
        << "offset " << row.offset;
    const unsigned long size = bytes.size();
    EXPECT_EQ(ArchiveFTAUtils::checkArchiveSignBytes(bytes.data(), size), row.type);
  }
  // The signature must be followed by more bytes: 4 bytes "PK\3\4" alone
  // are no ZIP.
  EXPECT_EQ(detect(Bytes{0x50, 0x4B, 0x03, 0x04}), T::None);
  EXPECT_EQ(detect(Bytes{0x50, 0x4B, 0x03, 0x04, 0}), T::Zip);
}

TEST_F(ArchiveSignatures, RealArchivesReachTheirTypes) {
  for (const auto& [name, type] : test::archiveFixtures()) EXPECT_EQ(detectFixture(name), type) << name;
}

TEST_F(ArchiveSignatures, RarVolumeFlagMakesASplitArchive) {
  EXPECT_EQ(detect(test::rar4(false)), T::Rar);
  EXPECT_EQ(detect(test::rar4(true)), T::RarVolume);
  EXPECT_EQ(detect(test::rar5(false)), T::Rar);
  EXPECT_EQ(detect(test::rar5(true)), T::RarVolume);
  EXPECT_EQ(detect(Bytes{0x52, 0x45, 0x7E, 0x5E, 1, 2, 3}), T::Rar);  // RAR 1.4
}

TEST_F(ArchiveSignatures, DiskImageCorrections) {
  // BOOTMGR in a boot image, and in a lone 512-byte boot sector.
  Bytes boot(1024, 0);
  test::putText(boot, 448, "BOOTMGR is compressed");
  test::putU16(boot, 510, 0xAA55);
  EXPECT_EQ(detect(boot), T::BootImage);
  boot.resize(512);
  EXPECT_EQ(detect(boot), T::None);

  // An MBR needs a file longer than one sector and a valid boot indicator;
  // ISO 9660 descriptors override both.
  Bytes mbr(1024, 0);
  test::putU16(mbr, 510, 0xAA55);
  mbr[446] = 0x80;
  EXPECT_EQ(detect(mbr), T::Mbr);
  mbr[446] = 0x01;
  EXPECT_EQ(detect(mbr), T::None);
  mbr.resize(40000, 0);
  test::putText(mbr, 32769, "CD001");
  EXPECT_EQ(detect(mbr), T::Iso);
  Bytes sector(512, 0);
  test::putU16(sector, 510, 0xAA55);
  EXPECT_EQ(detect(sector), T::None);

  Bytes hfs(2048, 0);
  test::putText(hfs, 1024, "H+");
  EXPECT_EQ(detect(hfs), T::Hfs);

  Bytes vdi(512, 0);
  test::putText(vdi, 0, "<<< Oracle VM VirtualBox Disk Image >>>\n");
  EXPECT_EQ(detect(vdi), T::Vdi);
}

TEST_F(ArchiveSignatures, RawCdImageChecksEverySector) {
  EXPECT_EQ(detect(test::rawCd(3, 2)), T::RawCd);
  EXPECT_EQ(detect(test::rawCd(3, 1)), T::RawCd);
  EXPECT_EQ(detect(test::rawCd(3, 3)), T::None);
  Bytes reservedSet = test::rawCd(3, 1);
  reservedSet[2 * 2352 + 2070] = 1;  // mode 1 keeps 8 reserved bytes zero
  EXPECT_EQ(detect(reservedSet), T::None);
  Bytes badSync = test::rawCd(4, 2);
  badSync[3 * 2352 + 5] = 0;
  EXPECT_EQ(detect(badSync), T::None);
  Bytes uneven = test::rawCd(2, 2);
  uneven.push_back(0);
  EXPECT_EQ(detect(uneven), T::None);
}

TEST_F(ArchiveSignatures, AppleDiskImageBehindCompressedData) {
  for (const std::string& lead : {std::string("BZh91AY&SY"), std::string("x\x9c", 2), std::string("x\xda", 2)}) {
    Bytes dmg = test::bytesOf(lead);
    dmg.resize(2000, 0x33);
    Bytes trailer(512, 0);
    test::putText(trailer, 0, "koly");
    test::append(dmg, trailer);
    EXPECT_EQ(detect(dmg), T::Dmg);
    dmg[dmg.size() - 512] = 'K';
    EXPECT_NE(detect(dmg), T::Dmg);
  }
}

TEST_F(ArchiveSignatures, SapAndPimHeaders) {
  EXPECT_EQ(detect(test::sarArchive("2.01", "RG")), T::Sar);
  EXPECT_EQ(detect(test::sarArchive("2.00", "SV")), T::Sar);
  EXPECT_EQ(detect(test::sarArchive("1.99", "RG")), T::None);
  EXPECT_EQ(detect(test::sarArchive("2.01", "XX")), T::None);

  EXPECT_EQ(detect(test::pimArchive("\2PIM", 100, 64, 0)), T::Pim);
  EXPECT_EQ(detect(test::pimArchive("\2PIM", 10, 64, 0)), T::None);  // A < B
  EXPECT_EQ(detect(test::pimArchive("\2PIM", 100, 64, 3)), T::None);
  Bytes two = test::pimArchive("\2PIM", 100, 64, 0);
  test::append(two, test::pimArchive("\2PIM", 100, 8, 0));
  EXPECT_EQ(detect(two), T::Pim);
  EXPECT_EQ(detect(test::pimArchive("PIM2", 100, 64, 4)), T::Pim);
  EXPECT_EQ(detect(test::pimArchive("PIM2", 100, 64, 0)), T::None);
}

TEST_F(ArchiveSignatures, MarkersOnlyOtherToolsWrite) {
  Bytes winzip(29200, 0);
  test::putText(winzip, 29152, "WinZip");
  EXPECT_EQ(detect(winzip), T::WinZipSfx);
  Bytes lha = test::bytesOf("-lh5-");
  lha.resize(64, 1);
  EXPECT_EQ(detect(lha), T::Lha);
  Bytes pklite(100, 0);
  test::putText(pklite, 30, "PKLITE");
  EXPECT_EQ(detect(pklite), T::PkliteExe);
}

TEST_F(ArchiveSignatures, RecordsAndIdentifierRules) {
  DetectionRecord r;
  ArchiveFTAUtils::adjustArchiveTypes(T::Bzip2, r.typeId, r.mime, r.extensions, r.description);
  EXPECT_EQ(r.typeId, "BZ2");
  EXPECT_EQ(r.extensions, "BZ2");
  EXPECT_EQ(r.description, describe("BZ2"));
  ArchiveFTAUtils::adjustArchiveTypes(T::RarVolume, r.typeId, r.mime, r.extensions, r.description);
  EXPECT_EQ(r.typeId, "SPLIT_ARC");
  EXPECT_EQ(r.mime, "application/vnd.rar");
  ArchiveFTAUtils::adjustArchiveTypes(static_cast<T>(200), r.typeId, r.mime, r.extensions, r.description);
  EXPECT_EQ(r.typeId, "data");

  EXPECT_TRUE(ArchiveFTAUtils::isArchiveFileType("ZIP"));
  EXPECT_TRUE(ArchiveFTAUtils::isArchiveFileType("EXE_SFX"));
  EXPECT_FALSE(ArchiveFTAUtils::isArchiveFileType("zip"));
  EXPECT_FALSE(ArchiveFTAUtils::isArchiveFileType("SPLIT_ARC"));
  for (const char* ext : {"001", "r01", "z02", "a1"})
    EXPECT_TRUE(ArchiveFTAUtils::isSplitExtension(ext)) << ext;
  for (const char* ext : {"", "7z", "tar", "0a", "r01x", "7z.001"}) EXPECT_FALSE(ArchiveFTAUtils::isSplitExtension(ext)) << ext;
}

TEST_F(ArchiveSignatures, IgnoreMarkerNeedsLeadAndTrailer) {
  auto marked = [](Bytes lead, std::size_t size) {
    lead.resize(size - 14, 0);
    test::append(lead, test::bytesOf("!NOT MSG FILE!"));
    return lead;
  };
  auto ignored = [&](const Bytes& b) { return ArchiveFTAUtils::ignoreDetectionFiletype(dir.write("m", b), b.size()); };
  EXPECT_TRUE(ignored(marked({0xD0, 0xCF, 0x11, 0xE0}, 600)));
  EXPECT_TRUE(ignored(marked({0xA1, 0xB1, 0x1A, 0xE1}, 600)));
  EXPECT_TRUE(ignored(marked({0x1F, 0x8B, 0x77, 0x77}, 513)));
  EXPECT_FALSE(ignored(marked({0x1F, 0x8B, 0x08, 0x00}, 512)));  // 512 bytes or less: never
  EXPECT_FALSE(ignored(marked({0x50, 0x4B, 0x03, 0x04}, 600)));
  Bytes almost = marked({0xD0, 0xCF, 0x11, 0xE0}, 600);
  almost.back() = '?';
  EXPECT_FALSE(ignored(almost));
  EXPECT_FALSE(ArchiveFTAUtils::ignoreDetectionFiletype(dir.path() + "/missing", 600));
}

// Every prefix of real archives: no crash, and nothing outside the file's
// own family.
TEST_F(ArchiveSignatures, TruncationSweep) {
  const std::vector<std::pair<const char*, std::set<T>>> cases = {
      {"apk.apk", {T::None, T::Zip, T::Jar, T::Apk}},
      {"sfx_zip_comment.exe", {T::None, T::ExeSfx}},
      {"rcdata_cab.exe", {T::None, T::ExeSfx}},
      {"a.7z", {T::None, T::SevenZip}},
      {"v7_dir.tar", {T::None, T::Tar}},
  };
  for (const auto& [name, allowed] : cases) {
    const std::string bytes = test::readFile(fixture(name));
    const std::string path = dir.write("cut", bytes);
    for (std::size_t n = bytes.size(); n-- > 0;) {
      ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(n)), 0);
      EXPECT_EQ(allowed.count(ArchiveFTAUtils::isArchive(path, n)), 1u) << name << " cut to " << n;
    }
  }
}

}  // namespace
}  // namespace kpl
