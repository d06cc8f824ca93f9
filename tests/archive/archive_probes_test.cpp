// The RAR, tar, split-piece and self-extractor probes: RAR 5
// variable-length integers, tar headers without the ustar magic, pieces made
// by zip -s, 7za -v and split(1), and executables carrying an archive with
// the PE resource reader behind them.
#include <gtest/gtest.h>

#include <tuple>

#include "archive/archive_fta_utils.h"
#include "archive/pe_file_parser.h"
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

using test::PeBuilder;

Bytes padded(const std::string& magic, std::size_t size, uint8_t fill = 0) {
  Bytes b = test::bytesOf(magic);
  b.resize(size, fill);
  return b;
}
PeBuilder withText() { return PeBuilder().section(".text", 0x1000, Bytes(300, 0xC3)); }
Bytes rsrcPe(uint32_t type, const std::vector<Bytes>& payloads, uint32_t va = 0x2000) {
  return PeBuilder().section(".rsrc", va, test::resourceSection(type, payloads, va)).bytes();
}

class SelfExtractor : public ::testing::Test {
 protected:
  bool sfx(const Bytes& b) {
    InputFile f(dir.write("s.exe", b));
    return ArchiveFTAUtils::checkIsSfxArchive(f, static_cast<long long>(b.size()));
  }
  bool rsrc(const Bytes& b) {
    InputFile f(dir.write("r.exe", b));
    return ArchiveFTAUtils::checkPErsrc(f, static_cast<long long>(b.size()));
  }
  test::TempDir dir;
};

TEST_F(SelfExtractor, ArchiveInTheOverlay) {
  const Bytes rar = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0xCF, 0x90, 0x73, 0, 0, 0x0D, 0, 0, 0, 0, 0, 0, 0};
  const Bytes sevenZip = padded(std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8), 64, 0x01);
  const Bytes commented = test::ZipBuilder().entry("a", "b").comment("c").bytes();
  // RAR only right at the overlay start; 7z within the 1029 bytes searched;
  // ZIP with a comment: the first local header within 1024 positions.
  const std::vector<std::tuple<std::size_t, Bytes, bool>> cases = {
      {0, rar, true},       {1, rar, false},         {0, sevenZip, true},     {1023, sevenZip, true},
      {1024, sevenZip, false}, {1023, commented, true}, {1024, commented, false},
  };
  for (const auto& [pad, archive, found] : cases) {
    Bytes overlay(pad, 0);
    test::append(overlay, archive);
    EXPECT_EQ(sfx(withText().overlay(overlay).bytes()), found) << pad;
  }
  EXPECT_FALSE(sfx(withText().bytes()));  // no overlay

  // ZIP without a comment is followed through its directory: offsets
  // relative to the executable's start (zip -A) pass; unadjusted offsets
  // point into the executable and are refused, although a local header sits
  // right at the overlay start.
  EXPECT_TRUE(sfx(test::ZipBuilder().prefix(withText().bytes()).entry("a", "b").bytes()));
  EXPECT_FALSE(sfx(withText().overlay(test::ZipBuilder().entry("a", "b").bytes()).bytes()));
}

TEST_F(SelfExtractor, CabinetResource) {
  const Bytes cab = padded("MSCF", 40);
  for (const char* magic : {"MSCF", "ISc("}) {
    EXPECT_TRUE(rsrc(withText().section(".rsrc", 0x2000, test::resourceSection(10, {padded(magic, 40)}, 0x2000)).bytes()));
  }
  EXPECT_FALSE(rsrc(rsrcPe(10, {Bytes(40, 0x11)})));
  EXPECT_FALSE(rsrc(rsrcPe(3, {test::bytesOf("MSCF")})));  // not RCDATA

  // Two RCDATA resources: once the first is moved to 3 bytes before the end
  // of the file, it settles the check although the second is a cabinet.
  Bytes pe = rsrcPe(10, {Bytes(8, 1), cab});
  EXPECT_TRUE(rsrc(pe));
  const uint32_t rsrcRaw = 512, firstDataEntry = 0x30 + 16 + 16, nearEnd = static_cast<uint32_t>(pe.size()) - 3;
  test::putU32(pe, rsrcRaw + firstDataEntry, 0x2000 + (nearEnd - rsrcRaw));
  EXPECT_FALSE(rsrc(pe));
}

TEST(PeResources, LoopsAndBadOffsetsAreRejected) {
  test::TempDir dir;
  PEFileParser::ResDirTableStructure root;
  auto parse = [&](const Bytes& section) {
    const Bytes b = PeBuilder().section(".rsrc", 0x3000, section).bytes();
    InputFile f(dir.write("p.exe", b));
    return PEFileParser(f, b.size()).parseResourceSection(root);
  };
  auto patched = [](std::size_t at, uint32_t value) {
    Bytes s = test::resourceSection(10, {Bytes(8, 1)}, 0x3000);
    test::putU32(s, at, value);
    return s;
  };
  ASSERT_TRUE(parse(test::resourceSection(10, {Bytes(8, 1)}, 0x3000)));
  ASSERT_EQ(root.subdirectories.size(), 1u);
  EXPECT_EQ(root.subdirectories[0].id, 10u);
  // A name directory pointing back at the root, the root pointing at itself,
  // a subdirectory and a name beyond the end of the file.
  for (const auto& [at, value] : std::vector<std::pair<std::size_t, uint32_t>>{
           {0x18 + 20, 0x80000000u}, {20, 0x80000000u}, {0x18 + 20, 0x80000000u | 0x7FFF0000u}, {16, 0x80000000u | 0x7FFFFF00u}})
    EXPECT_FALSE(parse(patched(at, value))) << at;
}

}  // namespace
}  // namespace kpl
