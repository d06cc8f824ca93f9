// The archive signature table, its corrections, the record each archive
// type becomes and the ignore marker: real archives made by generate.sh, and
// headers built here for formats no Debian tool writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "archive/archive_fta_utils.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "detect/file_type_catalogue.h"
#include "detect/detection_record.h"
#include "kpl_engine.h"
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
  test::TempDir dir;
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
  for (const auto& h : test::builtHeaders()) {
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
  DetectionRecord r;
  ArchiveFTAUtils::adjustArchiveTypes(static_cast<T>(200), r.typeId, r.mime, r.extensions, r.description);
  EXPECT_EQ(r.typeId, "data");
  EXPECT_TRUE(ArchiveFTAUtils::isArchiveFileType("EXE_SFX"));
  EXPECT_FALSE(ArchiveFTAUtils::isArchiveFileType("zip"));
  EXPECT_FALSE(ArchiveFTAUtils::isArchiveFileType("SPLIT_ARC"));
  for (const char* ext : {"001", "r01", "z02", "a1"}) EXPECT_TRUE(ArchiveFTAUtils::isSplitExtension(ext)) << ext;
  for (const char* ext : {"", "7z", "tar", "0a", "r01x", "7z.001"}) EXPECT_FALSE(ArchiveFTAUtils::isSplitExtension(ext)) << ext;
}

TEST_F(ArchiveSignatures, IgnoreMarkerNeedsLeadAndTrailer) {
  auto ignored = [&](Bytes b, std::size_t size, char last = '!') {
    b.resize(size - 14, 0);
    test::append(b, test::bytesOf(std::string("!NOT MSG FILE") + last));
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
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  Bytes gz = {0x1F, 0x8B, 0x08, 0x00};
  gz.resize(1000, 0x42);
  test::append(gz, test::bytesOf("!NOT MSG FILE!"));
  const std::string json = test::scanJson(dir.write("marked.gz", gz));
  EXPECT_EQ(test::jsonMember(json, "typeID"), "data") << json;
  EXPECT_EQ(test::jsonMember(json, "type"), "application/octet-stream") << json;
}

// Every prefix of real archives: no crash, and nothing outside the file's
// own family.
TEST_F(ArchiveSignatures, TruncationSweep) {
  const std::vector<std::pair<const char*, std::set<T>>> cases = {
      {"apk.apk", {T::None, T::Zip, T::Jar, T::Apk}}, {"sfx_zip_comment.exe", {T::None, T::ExeSfx}},
      {"rcdata_cab.exe", {T::None, T::ExeSfx}},       {"a.7z", {T::None, T::SevenZip}},
      {"v7_dir.tar", {T::None, T::Tar}},
  };
  for (const auto& [name, allowed] : cases) {
    const std::string path = dir.write("cut", test::readFile(fixture(name)));
    for (std::size_t n = test::readFile(path).size(); n-- > 0;) {
      ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(n)), 0);
      EXPECT_EQ(allowed.count(ArchiveFTAUtils::isArchive(path, n)), 1u) << name << " cut to " << n;
    }
  }
}

}  // namespace
}  // namespace kpl
