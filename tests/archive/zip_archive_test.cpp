// The ZIP central directory probe on archives built here and made by zip,
// and member extraction through 7za on archives 7za itself makes here (the
// package tests read named and wildcard members through it).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <tuple>

#include "archive/zip_archive.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "common/common_utils.h"
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

TEST_F(ZipMemberExtraction, EncryptedMemberGivesTheWrongPasswordMarkerAndAMissingOneNothing) {
  dir.write("secret.txt", std::string("confidential"));
  sevenZip({"a", "-tzip", "-psecret", "locked.zip", "secret.txt"});
  std::string out = extract(dir.path() + "/locked.zip", "secret.txt");
  EXPECT_NE(out.find("ERROR: Wrong password"), std::string::npos) << out;
  EXPECT_EQ(out.find("confidential"), std::string::npos);
  EXPECT_EQ(extract(dir.path() + "/locked.zip", "no/such/member"), "");  // nothing on standard output
}

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
