// The RAR, tar and split-piece probes: RAR 5 variable-length integers, tar
// headers without the ustar magic, and pieces made by zip -s, 7za -v and
// split(1).
#include <gtest/gtest.h>

#include <tuple>

#include "archive/archive_fta_utils.h"
#include "archive/rar_archive.h"
#include "archive/tar_archive.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;

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

Bytes tarHeader(const std::string& name, const std::string& size, char type) {
  Bytes h = test::textAt(512, 0, name);
  test::putText(h, 124, size);
  h[156] = static_cast<uint8_t>(type);
  return h;
}

TEST(TarHeader, TypeFlagSizeAndName) {
  test::TempDir dir;
  auto isTar = [&](const Bytes& b) {
    InputFile f(dir.write("t.tar", b));
    return TarArchive().isTAR(f, b.size());
  };
  const std::vector<std::tuple<const char*, const char*, char, bool>> cases = {
      {"a.txt", "00000000014", '0', true},   {"dir/", "00000000000", '5', true},
      {"link", "           ", '2', false},   // no digit at all
      {"link", "0", '1', true},              {"empty", "00000000000", '0', false},  // empty regular file
      {"old", "00000000014", '\0', false},   // pre-POSIX regular file
      {"dir/", "00000000001", '5', false},   {"a.txt", "0000000001 9", '0', false},  // not octal
      {"a.txt", "00000000014", 'x', false},  {"a.txt", "   14 ", '0', true},  // leading spaces, then digits
  };
  for (const auto& [name, size, type, tar] : cases) EXPECT_EQ(isTar(tarHeader(name, size, type)), tar) << name << size;
  for (char c : std::string(":*?\"<>|")) EXPECT_FALSE(isTar(tarHeader(std::string("a") + c, "1", '0'))) << c;
  Bytes h = tarHeader("a.txt", "00000000014", '0');
  h[60] = ':';  // the name field is checked past its NUL
  EXPECT_FALSE(isTar(h));
  h[60] = 0;
  h.resize(511);
  EXPECT_FALSE(isTar(h));
}

// zip -s: the first piece has no end record, the last one has. 7za -v: every
// volume ends before the header the start header points to. split(1): a
// piece ends inside the data; the last tar piece ends with the archive's
// zero blocks and cannot be told from a whole archive. A gzip stream carries
// no length up front: every piece counts as one.
TEST(SplitArchive, PiecesAndWholeFiles) {
  const std::vector<std::tuple<const char*, const char*, bool>> cases = {
      {"ZIP", "zipsplit.z01", true},  {"ZIP", "zipsplit.zip", false},  {"ZIP", "plain.zip", false},
      {"7Z", "vol.7z.001", true},     {"7Z", "vol.7z.002", true},      {"7Z", "vol.7z.003", true},
      {"7Z", "a.7z", false},          {"TAR", "noise.tar.001", true},  {"TAR", "noise.tar.002", true},
      {"TAR", "noise.tar.005", false}, {"TAR", "noise.tar", false},    {"XZ", "noise.xz.001", true},
      {"XZ", "noise.xz.002", false},  {"XZ", "noise.xz", false},       {"GZ", "noise.gz.001", true},
      {"GZ", "noise.gz", true},
  };
  for (const auto& [probe, name, split] : cases) {
    InputFile f(test::fixturesDir() + "/archive/" + name);
    ASSERT_TRUE(f.isOpen()) << name;
    EXPECT_EQ(ArchiveFTAUtils::splitFuntionHandler.at(probe)(f, f.size()), split) << probe << " " << name;
  }
}

TEST(SplitArchive, SevenZipCutAnywhereIsAPiece) {
  const std::string whole = test::readFile(test::fixturesDir() + "/archive/a.7z");
  test::TempDir dir;
  for (std::size_t n = 0; n < whole.size(); n += 97) {
    InputFile f(dir.write("cut.7z", whole.substr(0, n)));
    EXPECT_TRUE(ArchiveFTAUtils::isSplit7z(f, f.size())) << n;
  }
  // Header fields near 2^64 must not wrap into "complete".
  Bytes hostile(64, 0);
  InputFile h(dir.write("h.7z", test::put(hostile, {{12, 4, 0xFFFFFFF0u}, {16, 4, 0xFFFFFFFFu}, {20, 4, 0x40}})));
  EXPECT_TRUE(ArchiveFTAUtils::isSplit7z(h, h.size()));
}

}  // namespace
}  // namespace kpl
