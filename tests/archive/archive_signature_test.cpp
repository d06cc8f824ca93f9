// The archive signature table, its corrections, the record each archive
// type becomes and the ignore marker, on headers built here (what scan
// answers for the real archives is in the golden corpus).
#include <gtest/gtest.h>

#include "archive/archive_fta_utils.h"
#include "archive_builders.h"
#include "catalogue/detection_record.h"
#include "catalogue/file_type_catalogue.h"
#include "common/byte_reader.h"
#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

using namespace test;
using T = ArchiveType;

// Headers of formats no Debian tool writes, built from their published
// layouts, with the near misses each check rejects. `id` is the identifier
// the archive step reports for the positives (nullptr for the near misses).
struct BuiltHeader {
  std::string what;
  Bytes bytes;
  ArchiveType type;
  const char* id;
};
std::vector<BuiltHeader> builtHeaders() {
  // RAR 5: CRC, size, type 1 (main), flags 0x0001 (extra area follows),
  // extra area size, archive flags (0x0001 volume, 0x0002 number present).
  auto rar = [](int version, bool volume) {
    Bytes b = version == 4 ? Bytes{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0, 0, 0, 0x73, volume, 0, 0x0D, 0, 0, 0, 0, 0, 0, 0}
                           : Bytes{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00, 0xAA, 0xBB, 0xCC, 0xDD,
                                   0x06, 0x01, 0x01, 0x80, 0x00, static_cast<uint8_t>(volume ? 3 : 0), 0x00};
    return b.resize(b.size() + 20, 0x11), b;
  };
  auto rawCd = [](std::size_t sectors, uint8_t mode) {  // 2352-byte sectors of one mode
    Bytes b(sectors * 2352, 0x5A);
    for (auto at = b.begin(); at != b.end(); at += 2352) {
      std::fill(at, at + 12, 0xFF);
      at[0] = at[11] = 0;
      at[15] = mode;
      std::fill(at + 2068, at + 2076, 0);
    }
    return b;
  };
  // SAP: "CAR ", a version and a first entry type. PIM: magic, two bytes, a
  // name, sizes A and B, B bytes of data, then `extra` more bytes.
  auto sar = [](const std::string& version, const std::string& entry) { return textAt(48, 0, "CAR " + version + entry); };
  auto pim = [](const std::string& magic, uint32_t a, uint32_t b, uint32_t extra) {
    Bytes p = bytesOf(magic + "..name.dat");
    p.push_back(0);
    putU32(p, p.size(), a);
    putU32(p, p.size(), b);
    return p.resize(p.size() + b + extra, 0x44), p;
  };
  Bytes boot = textAt(1024, 448, "BOOTMGR is compressed"), mbr(1024, 0);
  putU16(boot, 510, 0xAA55);
  putU16(mbr, 510, 0xAA55);
  Bytes shortBoot(boot.begin(), boot.begin() + 512), activeMbr = mbr, badMbr = mbr, hybrid = mbr;
  activeMbr[446] = 0x80;
  badMbr[446] = 0x01;
  hybrid.resize(40000, 0);
  putText(hybrid, 32769, "CD001");  // ISO 9660 descriptors override an MBR
  Bytes reservedSet = rawCd(3, 1), badSync = rawCd(4, 2), uneven = rawCd(2, 2), twoPims = pim("\2PIM", 100, 64, 0);
  reservedSet[2 * 2352 + 2070] = 1;  // mode 1 keeps 8 reserved bytes zero
  badSync[3 * 2352 + 5] = 0;
  uneven.push_back(0);
  append(twoPims, pim("\2PIM", 100, 8, 0));
  std::vector<BuiltHeader> h = {
      {"PK34 alone", {0x50, 0x4B, 0x03, 0x04}, T::None, nullptr},  // the signature must be followed by more bytes
      {"PK34+1", {0x50, 0x4B, 0x03, 0x04, 0}, T::Zip, nullptr},
      {"rar4", rar(4, false), T::Rar, nullptr}, {"rar4 volume", rar(4, true), T::RarVolume, "SPLIT_ARC"},
      {"rar5", rar(5, false), T::Rar, "RAR"}, {"rar5 volume", rar(5, true), T::RarVolume, "SPLIT_ARC"},
      {"rar1.4", {0x52, 0x45, 0x7E, 0x5E, 1, 2, 3}, T::Rar, nullptr},
      {"boot", boot, T::BootImage, "IMG"}, {"boot sector alone", shortBoot, T::None, nullptr},
      {"mbr", mbr, T::Mbr, "MBR"}, {"active mbr", activeMbr, T::Mbr, nullptr}, {"bad boot flag", badMbr, T::None, nullptr},
      {"hybrid", hybrid, T::Iso, "ISO"}, {"one sector", Bytes(mbr.begin(), mbr.begin() + 512), T::None, nullptr},
      {"cd mode 2", rawCd(2, 2), T::RawCd, "BIN/MDF"}, {"cd mode 1", rawCd(3, 1), T::RawCd, nullptr},
      {"cd mode 3", rawCd(3, 3), T::None, nullptr}, {"cd reserved set", reservedSet, T::None, nullptr},
      {"cd bad sync", badSync, T::None, nullptr}, {"cd uneven", uneven, T::None, nullptr},
      {"sar", sar("2.01", "RG"), T::Sar, "SAR"}, {"sar 2.00", sar("2.00", "SV"), T::Sar, nullptr},
      {"sar 1.99", sar("1.99", "RG"), T::None, nullptr}, {"sar bad entry", sar("2.01", "XX"), T::None, nullptr},
      {"pim", pim("\2PIM", 100, 64, 0), T::Pim, "PIM"}, {"pim A<B", pim("\2PIM", 10, 64, 0), T::None, nullptr},
      {"pim extra", pim("\2PIM", 100, 64, 3), T::None, nullptr}, {"two pims", twoPims, T::Pim, nullptr},
      {"pim2", pim("PIM2", 100, 64, 4), T::Pim, "PIM"}, {"pim2 no extra", pim("PIM2", 100, 64, 0), T::None, nullptr},
  };
  // Apple disk images behind compressed data need the "koly" trailer;
  // without it they are the compressed stream they start with.
  const std::pair<std::string, T> leads[] = {{"BZh91AY&SY", T::Bzip2}, {"x\x9c", T::Zlib}, {"x\xda", T::Zlib}};
  for (const auto& [lead, plain] : leads) {
    Bytes dmg = bytesOf(lead);
    dmg.resize(2000, 0x33);
    append(dmg, textAt(512, 0, "koly"));
    h.push_back({"dmg " + lead, dmg, T::Dmg, "DMG"});
    dmg[dmg.size() - 512] = 'K';
    h.push_back({"dmg without koly " + lead, dmg, plain, nullptr});
  }
  return h;
}

class ArchiveSignatures : public ::testing::Test {
 protected:
  void SetUp() override { ArchiveFTAUtils::init(); }
  T detect(const Bytes& bytes) { return ArchiveFTAUtils::isArchive(dir.write("f.bin", bytes), bytes.size()); }
  TempDir dir;
};

// Each row, alone in a file of zeros, reaches its own type, from a file and
// from memory: no earlier row shadows it. A second init refills the table.
TEST_F(ArchiveSignatures, EveryRowReachesItsType) {
  const std::size_t rows = GetArchiveSignatures().size();
  ArchiveFTAUtils::init();
  ASSERT_EQ(GetArchiveSignatures().size(), rows);
  for (std::size_t i = 0; i < rows; ++i) {
    const ArchiveSignature& row = GetArchiveSignatures()[i];
    const std::string text = kArchiveSignatureRows[i].hexBytes;  // every token parses
    EXPECT_EQ(row.signature.size(), (text.size() + 1) / 3) << "row " << i + 1;
    Bytes bytes(row.offset + row.signature.size() + 64, 0);
    const std::size_t at = row.origin == ArchiveSignature::kFromEnd ? bytes.size() - row.offset : row.offset;
    std::copy(row.signature.begin(), row.signature.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    InputFile f(dir.write("row.bin", bytes));
    EXPECT_EQ(ArchiveFTAUtils::checkArchiveMagicNumber(f, static_cast<long long>(bytes.size())), row.type)
        << "offset " << row.offset;
    const unsigned long size = bytes.size();
    EXPECT_EQ(ArchiveFTAUtils::checkArchiveSignBytes(bytes.data(), size), row.type);
  }
  // Malformed tokens in a row's text are skipped.
  EXPECT_EQ(ArchiveSignature("0x50, 0x4B,zz 4b, 0x100", 0, T::Zip).signature, (Bytes{0x50, 0x4B, 0x4B}));
}

// The positives also name the record the archive step reports.
TEST_F(ArchiveSignatures, BuiltHeadersAndNearMisses) {
  for (const auto& h : builtHeaders()) {
    EXPECT_EQ(detect(h.bytes), h.type) << h.what;
    DetectionRecord r;
    ArchiveFTAUtils::adjustArchiveTypes(h.type, r.typeId, r.mime, r.extensions, r.description);
    EXPECT_TRUE(h.id == nullptr || r.typeId == h.id) << h.what << ": " << r.typeId;
    EXPECT_TRUE(h.type != T::RarVolume || r.mime == "application/vnd.rar") << r.mime;
  }
}

TEST_F(ArchiveSignatures, RecordsAndIdentifierRules) {
  for (std::size_t v = 0; v < kArchiveRecordRows.size(); ++v) {
    EXPECT_EQ(static_cast<std::size_t>(kArchiveRecordRows[v].type), v);
    EXPECT_NO_THROW(describe(kArchiveRecordRows[v].typeId)) << kArchiveRecordRows[v].typeId;
  }
  for (const auto& [id, type] : GetArchiveFileTypeMap())
    EXPECT_EQ(kArchiveRecordRows.at(static_cast<std::size_t>(type)).typeId, id);
  EXPECT_TRUE(ArchiveFTAUtils::isArchiveFileType("EXE_SFX"));
  EXPECT_FALSE(ArchiveFTAUtils::isArchiveFileType("zip"));
  EXPECT_FALSE(ArchiveFTAUtils::isArchiveFileType("SPLIT_ARC"));
  for (const char* ext : {"001", "r01", "z02", "a1"}) EXPECT_TRUE(ArchiveFTAUtils::isSplitExtension(ext)) << ext;
  for (const char* ext : {"", "7z", "tar", "0a", "r01x", "7z.001"}) EXPECT_FALSE(ArchiveFTAUtils::isSplitExtension(ext)) << ext;
}

TEST_F(ArchiveSignatures, IgnoreMarkerNeedsLeadAndTrailer) {
  auto ignored = [&](Bytes b, std::size_t size, char last = '!') {
    b.resize(size - 14, 0);
    append(b, bytesOf(std::string("!NOT MSG FILE") + last));
    return ArchiveFTAUtils::ignoreDetectionFiletype(dir.write("m", b), b.size());
  };
  EXPECT_TRUE(ignored({0xD0, 0xCF, 0x11, 0xE0}, 600));
  EXPECT_TRUE(ignored({0xA1, 0xB1, 0x1A, 0xE1}, 600));
  EXPECT_TRUE(ignored({0x1F, 0x8B, 0x77, 0x77}, 513));
  EXPECT_FALSE(ignored({0x1F, 0x8B, 0x08, 0x00}, 512));  // 512 bytes or less: never
  EXPECT_FALSE(ignored({0x50, 0x4B, 0x03, 0x04}, 600));
  EXPECT_FALSE(ignored({0xD0, 0xCF, 0x11, 0xE0}, 600, '?'));
  EXPECT_FALSE(ArchiveFTAUtils::ignoreDetectionFiletype(dir.path() + "/missing", 600));

  // Through the scan the marker turns a gzip stream into plain data.
  ASSERT_EQ(ensureEngineStarted(), 0);
  Bytes gz = {0x1F, 0x8B, 0x08, 0x00};
  gz.resize(1000, 0x42);
  append(gz, bytesOf("!NOT MSG FILE!"));
  const std::string json = scanJson(dir.write("marked.gz", gz));
  EXPECT_EQ(jsonMember(json, "typeID"), "data") << json;
  EXPECT_EQ(jsonMember(json, "type"), "application/octet-stream") << json;
}

}  // namespace
}  // namespace kpl
