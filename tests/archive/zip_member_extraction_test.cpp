// Member extraction through 7za, on archives 7za itself makes here (the
// package tests read named and wildcard members through it).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "archive/zip_archive.h"
#include "common/common_utils.h"
#include "test_support.h"

namespace kpl {
namespace {

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
