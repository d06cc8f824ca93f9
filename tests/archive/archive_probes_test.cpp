// The RAR, tar, split-piece, self-extractor and ZIP directory probes: RAR 5
// variable-length integers, tar headers without the ustar magic, pieces made
// by zip -s, 7za -v and split(1), executables carrying an archive with the PE
// resource reader behind them, ZIP archives built here and made by zip; and
// member extraction through 7za on archives 7za itself makes here (the
// package tests read named and wildcard members through it).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <iterator>
#include <tuple>

#include "archive/archive_fta_utils.h"
#include "archive/pe_file_parser.h"
#include "archive/rar_archive.h"
#include "archive/tar_archive.h"
#include "archive/zip_archive.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "common/common_utils.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;
using test::PeBuilder;
using test::ZipBuilder;

// Each probe reads its input from a file.
class ArchiveProbe : public ::testing::Test {
 protected:
  InputFile open(const Bytes& bytes) { return InputFile(dir.write("f.bin", bytes)); }
  test::TempDir dir;
};

TEST_F(ArchiveProbe, RarVariableLengthIntegersAndShortMarker) {
  InputFile f = open({0xFF, 0x01, 0x05, 0x80, 0x80});
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
  InputFile g = open(Bytes(16, 0xFF));
  pos = 0;
  v.ReadVIntValue(g, pos, g.size());
  EXPECT_EQ(pos, 10u);

  // Fewer than 8 bytes: no marker, no volume flag.
  InputFile s = open({0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00});
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

TEST_F(ArchiveProbe, TarTypeFlagSizeAndName) {
  auto isTar = [&](const Bytes& b) { return TarArchive().isTAR(open(b), b.size()); };
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

// A 7z cut inside its start header, inside the data or one byte short is a
// piece; header fields near 2^64 must not wrap into "complete".
TEST_F(ArchiveProbe, SevenZipCutShortIsAPiece) {
  const Bytes whole = test::bytesOf(test::readFile(test::fixturesDir() + "/archive/a.7z"));
  Bytes hostile(64, 0);
  test::put(hostile, {{12, 4, 0xFFFFFFF0u}, {16, 4, 0xFFFFFFFFu}, {20, 4, 0x40}});
  const auto half = whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2);
  const Bytes cases[] = {Bytes(whole.begin(), whole.begin() + 20), Bytes(whole.begin(), half),
                         Bytes(whole.begin(), whole.end() - 1), hostile};
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_TRUE(ArchiveFTAUtils::isSplit7z(open(cases[i]), cases[i].size())) << "case " << i;
}

Bytes padded(const std::string& magic, std::size_t size, uint8_t fill = 0) {
  Bytes b = test::bytesOf(magic);
  b.resize(size, fill);
  return b;
}
PeBuilder withText() { return PeBuilder().section(".text", 0x1000, Bytes(300, 0xC3)); }
Bytes rsrcPe(uint32_t type, const std::vector<Bytes>& payloads, uint32_t va = 0x2000) {
  return PeBuilder().section(".rsrc", va, test::resourceSection(type, payloads, va)).bytes();
}

class SelfExtractor : public ArchiveProbe {
 protected:
  bool sfx(const Bytes& b) { return ArchiveFTAUtils::checkIsSfxArchive(open(b), static_cast<long long>(b.size())); }
  bool rsrc(const Bytes& b) { return ArchiveFTAUtils::checkPErsrc(open(b), static_cast<long long>(b.size())); }
};

TEST_F(SelfExtractor, ArchiveInTheOverlay) {
  const Bytes rar = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0xCF, 0x90, 0x73, 0, 0, 0x0D, 0, 0, 0, 0, 0, 0, 0};
  const Bytes sevenZip = padded(std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8), 64, 0x01);
  const Bytes commented = ZipBuilder().entry("a", "b").comment("c").bytes();
  // RAR only right at the overlay start; 7z within the 1029 bytes searched;
  // ZIP with a comment: the first local header within 1024 positions.
  const std::vector<std::tuple<std::size_t, Bytes, bool>> cases = {
      {1, rar, false},         {0, rar, true},         {1023, sevenZip, true},
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
  EXPECT_TRUE(sfx(ZipBuilder().prefix(withText().bytes()).entry("a", "b").bytes()));
  EXPECT_FALSE(sfx(withText().overlay(ZipBuilder().entry("a", "b").bytes()).bytes()));
}

TEST_F(SelfExtractor, CabinetResource) {
  const Bytes cab = padded("MSCF", 40);
  EXPECT_TRUE(rsrc(withText().section(".rsrc", 0x2000, test::resourceSection(10, {padded("ISc(", 40)}, 0x2000)).bytes()));
  EXPECT_FALSE(rsrc(rsrcPe(10, {Bytes(40, 0x11)})));
  EXPECT_FALSE(rsrc(rsrcPe(3, {cab})));  // not RCDATA

  // Two RCDATA resources: once the first is moved to 3 bytes before the end
  // of the file, it settles the check although the second is a cabinet.
  Bytes pe = rsrcPe(10, {Bytes(8, 1), cab});
  EXPECT_TRUE(rsrc(pe));
  const uint32_t rsrcRaw = 512, firstDataEntry = 0x30 + 16 + 16, nearEnd = static_cast<uint32_t>(pe.size()) - 3;
  test::putU32(pe, rsrcRaw + firstDataEntry, 0x2000 + (nearEnd - rsrcRaw));
  EXPECT_FALSE(rsrc(pe));
}

TEST_F(ArchiveProbe, PeResourceLoopsAndBadOffsetsAreRejected) {
  PEFileParser::ResDirTableStructure root;
  auto parse = [&](const Bytes& section) {
    const Bytes b = PeBuilder().section(".rsrc", 0x3000, section).bytes();
    return PEFileParser(open(b), b.size()).parseResourceSection(root);
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

class ZipDirectory : public ArchiveProbe {
 protected:
  bool has(const Bytes& bytes, const std::string& name) {
    InputFile f = open(bytes);
    return ZipArchive::checkFileNameExistInZip(f, f.size(), name);
  }
  // End record positions from the bottom and from the top, and whether `name` is found.
  std::tuple<int64_t, int64_t, bool> probe(const InputFile& f, const std::string& name) {
    return {ZipArchive::findEndCentralDirFromBot(f, f.size()), ZipArchive::findEndCentralDirFromTop(f, f.size()),
            ZipArchive::checkFileNameExistInZip(f, f.size(), name)};
  }
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

TEST_F(ZipDirectory, ShortFilesAndLyingCounts) {
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(open(Bytes{'P', 'K', 5, 6, 0}), 5), 0);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(open(Bytes{0, 'P', 'K', 5, 6}), 5), -1);
  EXPECT_EQ(ZipArchive::findEndCentralDirFromBot(open(Bytes{}), 0), -1);

  // A declared count beyond what the directory holds ends at the first
  // non-matching signature.
  Bytes lying = ZipBuilder().entry("a.txt", "hello").entry("b.txt", "world").bytes();
  test::putU16(lying, lying.size() - 12, 9);
  EXPECT_FALSE(has(lying, "missing"));
  EXPECT_TRUE(has(lying, "b.txt"));
}

class ZipMemberExtraction : public ::testing::Test {
 protected:
  void SetUp() override { currentDir = test::homeDir() + "/"; }

  // Runs 7za with the given arguments in the temporary directory.
  std::string sevenZip(std::vector<std::string> args) {
    args.insert(args.begin(), {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", dir.path(), currentDir + "7za"});
    std::vector<char> out;
    CommonUtils::runProgram(args, out);
    return std::string(out.begin(), out.end());
  }

  std::string extract(const std::string& archive, const std::string& member) {
    std::string out = "stale";
    EXPECT_TRUE(ZipArchive::readFilesInsideArchiveWith7z(archive, member, out));
    return out;
  }

  test::TempDir dir;
};

TEST_F(ZipMemberExtraction, DamagedArchiveReportsErrors) {
  std::string member(4000, 'x');
  for (std::size_t i = 0; i < member.size(); ++i) member[i] = static_cast<char>('a' + (i * 7) % 26);
  dir.write("m.txt", member);
  sevenZip({"a", "-tzip", "-mx0", "broken.zip", "m.txt"});
  std::string zip = test::readFile(dir.path() + "/broken.zip");
  ASSERT_GT(zip.size(), 200u);
  zip[zip.size() - 22] ^= 0x55;  // the end-of-central-directory signature
  std::string path = dir.write("broken.zip", zip);
  std::string out = extract(path, "m.txt");
  EXPECT_NE(out.find("ERRORS:"), std::string::npos) << out;
  EXPECT_NE(out.find(member), std::string::npos);  // the member still arrives
}

TEST(RemoveErrorFrom7z, DropsTheErrorBlockOnly) {
  EXPECT_EQ(removeErrorFrom7z("\nERRORS:\nHeaders Error\n\n<Relationships/>"), "<Relationships/>");
  EXPECT_EQ(removeErrorFrom7z("\nERRORS:\nline one\nline two\n\nbody\n\nmore"), "body\n\nmore");
  EXPECT_EQ(removeErrorFrom7z("\nERRORS:\nno empty line follows"), "");
  EXPECT_EQ(removeErrorFrom7z("\nERRORS:"), "");
  // Only output that starts with a line feed and carries the marker changes.
  EXPECT_EQ(removeErrorFrom7z("ERRORS:\nx\n\nbody"), "ERRORS:\nx\n\nbody");
  EXPECT_EQ(removeErrorFrom7z("\nall good"), "\nall good");
  EXPECT_EQ(removeErrorFrom7z(""), "");
}

// File names chosen by an attacker reach 7za verbatim and run nothing.
TEST_F(ZipMemberExtraction, HostileNamesAreDataNotCommands) {
  const std::vector<std::string> names = {
      "$(touch PWNED)", "`touch PWNED`", "a;touch PWNED", "it's", "say \"hi\"", "two  spaces", "line\nbreak",
      "star*", "-dash", "|touch PWNED", "(x)[y]{z}"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    dir.write("m/" + name, "content of " + name);
    sevenZip({"a", "-tzip", "--", "./" + name + ".zip", "./m/" + name});
    std::string archive = dir.path() + "/" + name + ".zip";
    ASSERT_TRUE(test::fileExists(archive));
    EXPECT_EQ(extract(archive, name), "content of " + name);
    // A relative archive name with a leading dash is still an archive.
    if (name[0] == '-') {
      ASSERT_EQ(::chdir(dir.path().c_str()), 0);
      EXPECT_EQ(extract(name + ".zip", name), "content of " + name);
      ASSERT_EQ(::chdir(test::homeDir().c_str()), 0);
    }
    ::unlink((dir.path() + "/m/" + name).c_str());
  }
  EXPECT_FALSE(test::fileExists(dir.path() + "/PWNED"));
  EXPECT_FALSE(test::fileExists(test::homeDir() + "/PWNED"));
  EXPECT_FALSE(test::fileExists("PWNED"));
}

// A member that inflates far beyond the bound is cut at the bound.
TEST_F(ZipMemberExtraction, OutputIsBounded) {
  const std::string big = dir.path() + "/zeros.bin";
  int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 300LL * 1024 * 1024), 0);  // sparse: cheap to make
  ::close(fd);
  sevenZip({"a", "-tzip", "-mx1", "bomb.zip", "zeros.bin"});
  ::unlink(big.c_str());
  EXPECT_EQ(extract(dir.path() + "/bomb.zip", "zeros.bin").size(), limits::kMaxExtractOutputBytes);
}

}  // namespace
}  // namespace kpl
