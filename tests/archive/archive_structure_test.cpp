// Tar headers without the ustar magic, RAR variable-length integers, and the
// split-piece probes on pieces made by zip -s, 7za -v and split(1).
#include <gtest/gtest.h>

#include "archive/archive_fta_utils.h"
#include "archive/archive_structure.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;

Bytes tarHeader(const std::string& name, const std::string& size, char type) {
  Bytes h(512, 0);
  test::putText(h, 0, name);
  test::putText(h, 124, size);
  h[156] = static_cast<uint8_t>(type);
  return h;
}

class TarHeader : public ::testing::Test {
 protected:
  bool isTar(const Bytes& b) {
    InputFile f(dir.write("t.tar", b));
    return TarArchive().isTAR(f, b.size());
  }
  test::TempDir dir;
};

TEST_F(TarHeader, TypeFlagAndSizeMustAgree) {
  EXPECT_TRUE(isTar(tarHeader("a.txt", "00000000014", '0')));
  EXPECT_TRUE(isTar(tarHeader("dir/", "00000000000", '5')));
  EXPECT_FALSE(isTar(tarHeader("link", "           ", '2')));  // no digit at all
  EXPECT_TRUE(isTar(tarHeader("link", "0", '1')));
  EXPECT_FALSE(isTar(tarHeader("empty", "00000000000", '0')));   // empty regular file
  EXPECT_FALSE(isTar(tarHeader("old", "00000000014", '\0')));    // pre-POSIX regular file
  EXPECT_FALSE(isTar(tarHeader("dir/", "00000000001", '5')));
  EXPECT_FALSE(isTar(tarHeader("a.txt", "0000000001 9", '0')));  // not octal
  EXPECT_FALSE(isTar(tarHeader("a.txt", "00000000014", 'x')));
  EXPECT_TRUE(isTar(tarHeader("a.txt", "   14 ", '0')));         // leading spaces, then digits
}

TEST_F(TarHeader, NameFieldIsCheckedPastItsEnd) {
  Bytes h = tarHeader("a.txt", "00000000014", '0');
  h[60] = ':';  // after the name's NUL
  EXPECT_FALSE(isTar(h));
  for (char c : std::string(":*?\"<>|")) EXPECT_FALSE(isTar(tarHeader(std::string("a") + c, "1", '0'))) << c;
  Bytes shortFile = tarHeader("a.txt", "00000000014", '0');
  shortFile.resize(511);
  EXPECT_FALSE(isTar(shortFile));
}

TEST(RarHeader, VariableLengthIntegers) {
  test::TempDir dir;
  InputFile f(dir.write("v", Bytes{0xFF, 0x01, 0x05, 0x80, 0x80}));
  VInt v;
  uint64_t pos = 0;
  ASSERT_TRUE(v.ReadVIntValue(f, pos, f.size()));
  EXPECT_EQ(v.GetVIntValue(), 0xFFu);
  EXPECT_EQ(pos, 2u);
  ASSERT_TRUE(v.ReadVIntValue(f, pos, f.size()));
  EXPECT_EQ(v.GetVIntValue(), 5u);
  // Continuation bits running into the limit stop there.
  ASSERT_TRUE(v.ReadVIntValue(f, pos, f.size()));
  EXPECT_EQ(pos, 5u);
  EXPECT_FALSE(v.ReadVIntValue(f, pos, f.size()));

  // Ten bytes at most, even when all carry the continuation bit.
  InputFile g(dir.write("w", Bytes(16, 0xFF)));
  pos = 0;
  v.ReadVIntValue(g, pos, g.size());
  EXPECT_EQ(pos, 10u);

  // Fewer than 8 bytes: no marker, no volume flag.
  InputFile s(dir.write("s", Bytes{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}));
  bool volume = true;
  EXPECT_FALSE(RARHeaderParser(&s).parseRARHeader(volume));
  EXPECT_FALSE(volume);
}

class SplitArchive : public ::testing::Test {
 protected:
  static bool isSplit(const std::string& probe, const std::string& name) {
    InputFile f(test::fixturesDir() + "/archive/" + name);
    EXPECT_TRUE(f.isOpen()) << name;
    return ArchiveFTAUtils::splitFuntionHandler.at(probe)(f, f.size());
  }
};

TEST_F(SplitArchive, PiecesAndWholeFiles) {
  // zip -s: the first piece has no end record, the last one has.
  EXPECT_TRUE(isSplit("ZIP", "zipsplit.z01"));
  EXPECT_FALSE(isSplit("ZIP", "zipsplit.zip"));
  EXPECT_FALSE(isSplit("ZIP", "plain.zip"));
  // 7za -v: every volume ends before the header the start header points to.
  EXPECT_TRUE(isSplit("7Z", "vol.7z.001"));
  EXPECT_TRUE(isSplit("7Z", "vol.7z.002"));
  EXPECT_TRUE(isSplit("7Z", "vol.7z.003"));
  EXPECT_FALSE(isSplit("7Z", "a.7z"));
  // split(1): a piece ending inside the data; the last tar piece ends with
  // the archive's zero blocks and cannot be told from a whole archive.
  EXPECT_TRUE(isSplit("TAR", "noise.tar.001"));
  EXPECT_TRUE(isSplit("TAR", "noise.tar.002"));
  EXPECT_FALSE(isSplit("TAR", "noise.tar.005"));
  EXPECT_FALSE(isSplit("TAR", "noise.tar"));
  EXPECT_TRUE(isSplit("XZ", "noise.xz.001"));
  EXPECT_FALSE(isSplit("XZ", "noise.xz.002"));
  EXPECT_FALSE(isSplit("XZ", "noise.xz"));
  // A gzip stream carries no length up front: every piece counts as one.
  EXPECT_TRUE(isSplit("GZ", "noise.gz.001"));
  EXPECT_TRUE(isSplit("GZ", "noise.gz"));

  EXPECT_EQ(ArchiveFTAUtils::splitFuntionHandler.size(), 5u);
  EXPECT_EQ(ArchiveFTAUtils::splitMimeType.at("TAR"), "application/x-tar");
  EXPECT_EQ(ArchiveFTAUtils::splitMimeType.count("7Z"), 0u);
}

TEST_F(SplitArchive, SevenZipCutAnywhereIsAPiece) {
  const std::string whole = test::readFile(test::fixturesDir() + "/archive/a.7z");
  test::TempDir dir;
  for (std::size_t n = 0; n < whole.size(); n += 97) {
    InputFile f(dir.write("cut.7z", whole.substr(0, n)));
    EXPECT_TRUE(ArchiveFTAUtils::isSplit7z(f, f.size())) << n;
  }
  // Header fields near 2^64 must not wrap into "complete".
  Bytes hostile(64, 0);
  test::putU32(hostile, 12, 0xFFFFFFF0u);
  test::putU32(hostile, 16, 0xFFFFFFFFu);
  test::putU32(hostile, 20, 0x40);
  InputFile h(dir.write("h.7z", hostile));
  EXPECT_TRUE(ArchiveFTAUtils::isSplit7z(h, h.size()));
}

}  // namespace
}  // namespace kpl
