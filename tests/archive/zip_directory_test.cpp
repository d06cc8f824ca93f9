// The ZIP central directory probe on archives built here and made by zip.
#include <gtest/gtest.h>

#include <tuple>

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
  // End record positions from the bottom and from the top, and whether `name` is found.
  std::tuple<int64_t, int64_t, bool> probe(const InputFile& f, const std::string& name) {
    return {ZipArchive::findEndCentralDirFromBot(f, f.size()), ZipArchive::findEndCentralDirFromTop(f, f.size()),
            ZipArchive::checkFileNameExistInZip(f, f.size(), name)};
  }
  test::TempDir dir;
};

TEST_F(ZipDirectory, NamesMatchExactlyAndOnlyInTheDirectory) {
  Bytes zip = ZipBuilder().entry("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n").entry("a.txt", "x").bytes();
  EXPECT_TRUE(has(zip, "META-INF/MANIFEST.MF"));
  EXPECT_TRUE(has(zip, "a.txt"));
  for (const char* miss : {"META-INF/manifest.mf", "META-INF\\MANIFEST.MF", "./a.txt", "a.tx", ""})
    EXPECT_FALSE(has(zip, miss)) << miss;
  // An empty name ends the lookup; a local header alone is no entry.
  EXPECT_FALSE(has(ZipBuilder().entry("", "x").entry("wanted", "y").bytes(), "wanted"));
  EXPECT_TRUE(has(ZipBuilder().entry("first", "x").entry("wanted", "y").bytes(), "wanted"));
  EXPECT_FALSE(has(ZipBuilder().entry("hidden", "x", false).entry("shown", "y").bytes(), "hidden"));
}

TEST_F(ZipDirectory, EndRecordFromTheBottomAndTheTop) {
  Bytes zip = ZipBuilder().entry("a.txt", "x").comment(std::string(65535, 'c')).bytes();
  const int64_t expected = static_cast<int64_t>(zip.size()) - 65535 - 22;
  EXPECT_EQ(probe(open(zip), "a.txt"), std::make_tuple(expected, expected, true));
  // One more trailing byte puts the longest comment's record out of the
  // window: only the walk from the top still finds it.
  zip.push_back('!');
  EXPECT_EQ(probe(open(zip), "a.txt"), std::make_tuple(int64_t{-1}, expected, true));

  // A signature inside the comment after the record wins.
  zip = ZipBuilder().entry("a.txt", "x").comment(std::string("PK\x05\x06", 4) + std::string(30, 'z')).bytes();
  EXPECT_EQ(std::get<0>(probe(open(zip), "a.txt")), static_cast<int64_t>(zip.size()) - 34);

  // A stub before the data, and zip's data descriptors, defeat only the walk from the top.
  const std::string fixtures = test::fixturesDir() + "/archive/";
  const std::tuple<InputFile, const char*, bool> cases[] = {
      {open(ZipBuilder().prefix(Bytes(700, 0x90)).entry("payload.bin", "z").bytes()), "payload.bin", false},
      {InputFile(fixtures + "streamed.zip"), "-", false},
      {InputFile(fixtures + "plain.zip"), "", true},
  };
  for (const auto& [file, name, topFinds] : cases) {
    const auto [bot, top, found] = probe(file, name);
    EXPECT_GT(bot, 0) << name;
    EXPECT_EQ(top, topFinds ? bot : -1) << name;
    EXPECT_EQ(found, *name != '\0') << name;
  }
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
    const bool found = has(Bytes(zip.begin(), zip.begin() + static_cast<std::ptrdiff_t>(n)), "b.txt");
    if (n < zip.size() - 5 || n >= zip.size() - 2) {
      EXPECT_EQ(found, n >= zip.size() - 2) << n;
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
