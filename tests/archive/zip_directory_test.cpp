// The ZIP central directory probe on archives built here and made by zip.
#include <gtest/gtest.h>

#include "archive/zip_archive.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;
using test::ZipBuilder;

class ZipDirectory : public ::testing::Test {
 protected:
  InputFile open(const Bytes& bytes) { return InputFile(dir.write("t.zip", bytes)); }
  bool has(const Bytes& bytes, const std::string& name) {
    InputFile f = open(bytes);
    return ZipArchive::checkFileNameExistInZip(f, f.size(), name);
  }
  test::TempDir dir;
};

TEST_F(ZipDirectory, NamesMatchExactlyAndCaseSensitively) {
  Bytes zip = ZipBuilder().entry("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n").entry("a.txt", "x").bytes();
  EXPECT_TRUE(has(zip, "META-INF/MANIFEST.MF"));
  EXPECT_TRUE(has(zip, "a.txt"));
  EXPECT_FALSE(has(zip, "META-INF/manifest.mf"));
  EXPECT_FALSE(has(zip, "META-INF\\MANIFEST.MF"));
  EXPECT_FALSE(has(zip, "./a.txt"));
  EXPECT_FALSE(has(zip, "a.tx"));
  EXPECT_FALSE(has(zip, ""));
}

TEST_F(ZipDirectory, EmptyNameEndsLookup) {
  EXPECT_FALSE(has(ZipBuilder().entry("", "x").entry("wanted", "y").bytes(), "wanted"));
  EXPECT_TRUE(has(ZipBuilder().entry("first", "x").entry("wanted", "y").bytes(), "wanted"));
}

TEST_F(ZipDirectory, LocalHeaderAloneIsNotAnEntry) {
  EXPECT_FALSE(has(ZipBuilder().entry("hidden", "x", false).entry("shown", "y").bytes(), "hidden"));
}

TEST_F(ZipDirectory, LongestCommentIsFoundFromTheBottom) {
  Bytes zip = ZipBuilder().entry("a.txt", "x").comment(std::string(65535, 'c')).bytes();
  InputFile f = open(zip);
  const int64_t expected = static_cast<int64_t>(zip.size()) - 65535 - 22;
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(f, f.size()), expected);
  EXPECT_TRUE(ZipArchive::checkFileNameExistInZip(f, f.size(), std::string("a.txt")));

  // One more trailing byte puts the record out of the window: only the walk
  // from the top still finds it.
  zip.push_back('!');
  InputFile g = open(zip);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(g, g.size()), -1);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromTop(g, g.size()), expected);
  EXPECT_TRUE(ZipArchive::checkFileNameExistInZip(g, g.size(), std::string("a.txt")));
}

TEST_F(ZipDirectory, SignatureInsideCommentAfterTheRecordWins) {
  Bytes zip = ZipBuilder().entry("a.txt", "x").comment(std::string("PK\x05\x06", 4) + std::string(30, 'z')).bytes();
  InputFile f = open(zip);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(f, f.size()), static_cast<int64_t>(zip.size()) - 34);
}

TEST_F(ZipDirectory, StubBeforeTheDataDefeatsOnlyTheTopWalk) {
  Bytes zip = ZipBuilder().prefix(Bytes(700, 0x90)).entry("payload.bin", "z").bytes();
  InputFile f = open(zip);
  EXPECT_GT(ZipArchive::findEndCentralDirFromBot(f, f.size()), 0);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromTop(f, f.size()), -1);
  EXPECT_TRUE(ZipArchive::checkFileNameExistInZip(f, f.size(), std::string("payload.bin")));
}

TEST_F(ZipDirectory, RealArchives) {
  InputFile streamed(test::fixturesDir() + "/archive/streamed.zip");  // data descriptors
  ASSERT_TRUE(streamed.isOpen());
  EXPECT_GT(ZipArchive::findEndCentralDirFromBot(streamed, streamed.size()), 0);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromTop(streamed, streamed.size()), -1);
  EXPECT_TRUE(ZipArchive::checkFileNameExistInZip(streamed, streamed.size(), std::string("-")));

  InputFile plain(test::fixturesDir() + "/archive/plain.zip");
  EXPECT_EQ(ZipArchive::findEndCentralDirFromTop(plain, plain.size()),
            ZipArchive::findEndCentralDirFromBot(plain, plain.size()));
}

TEST_F(ZipDirectory, ShortFilesAndTruncation) {
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(open(Bytes{'P', 'K', 5, 6, 0}), 5), 0);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(open(Bytes{0, 'P', 'K', 5, 6}), 5), -1);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(open(Bytes{}), 0), -1);

  // Every prefix: no crash, and no entry before the end record's directory
  // offset begins to arrive (the walk from the top finds a record cut after
  // it; the missing high bytes of a small offset read as the zeros they are).
  const Bytes zip = ZipBuilder().entry("a.txt", "hello").entry("b.txt", "world").bytes();
  for (std::size_t n = 0; n < zip.size(); ++n) {
    Bytes prefix(zip.begin(), zip.begin() + static_cast<std::ptrdiff_t>(n));
    const bool found = has(prefix, "b.txt");
    if (n < zip.size() - 5) {
      EXPECT_FALSE(found) << n;
    } else if (n >= zip.size() - 2) {
      EXPECT_TRUE(found) << n;
    }
  }
  // A declared count beyond what the directory holds ends at the first
  // non-matching signature.
  Bytes lying = zip;
  test::putU16(lying, lying.size() - 12, 9);
  EXPECT_FALSE(has(lying, "missing"));
  EXPECT_TRUE(has(lying, "b.txt"));
}

}  // namespace
}  // namespace kpl
