// The signature library stand-in: its definition format, ranking and the
// four entry points of the built libTrIDLib.so.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "test_support.h"
#include "tridlib/definitions.h"
#include "tridlib/matcher.h"

namespace tridlib {
namespace {

std::vector<Definition> parse(const std::string& text) {
  std::vector<Definition> defs;
  std::string error;
  EXPECT_TRUE(parseDefinitions(text, "t.trd", defs, error)) << error;
  return defs;
}

std::string parseError(const std::string& text) {
  std::vector<Definition> defs;
  std::string error;
  EXPECT_FALSE(parseDefinitions(text, "t.trd", defs, error)) << text;
  return error;
}

Sample sampleOf(const std::string& bytes) {
  Sample s;
  s.head.assign(bytes.begin(), bytes.begin() + std::min(bytes.size(), kHeadWindow));
  s.tail.assign(bytes.end() - std::min(bytes.size(), kTailWindow), bytes.end());
  s.fileSize = bytes.size();
  return s;
}

TEST(TridDefinitions, ParsesClausesAndScoresThem) {
  auto defs = parse(
      "# comment\n"
      "def JPG/JPEG\n"
      "  type JPEG Bitmap\n"
      "  at 0 FF D8 FF\n"
      "  atend 2 FFD9\n"
      "  findi 100 \"exif\"\n"
      "  find 200 \"a\\x00\\\"\"\n"
      "  at 6 ?? ?? \"JF\"\n"
      "  bonus 7\n"
      "end\n");
  ASSERT_EQ(defs.size(), 1u);
  const Definition& d = defs[0];
  EXPECT_EQ(d.extension, "JPG/JPEG");
  EXPECT_EQ(d.fileType, "JPEG Bitmap");
  ASSERT_EQ(d.clauses.size(), 5u);
  // Anchored clauses come first; wildcards earn nothing.
  EXPECT_EQ(d.clauses[0].kind, ClauseKind::At);
  EXPECT_EQ(d.clauses[2].kind, ClauseKind::At);
  EXPECT_EQ(d.clauses[3].bytes, (std::vector<uint8_t>{'e', 'x', 'i', 'f'}));
  EXPECT_EQ(d.clauses[4].bytes, (std::vector<uint8_t>{'a', 0, '"'}));
  EXPECT_EQ(d.points, (3 + 2 + 2) * kPointsPerAnchoredByte + (4 + 3) * kPointsPerFoundByte + 7);
}

TEST(TridDefinitions, RejectsMalformedText) {
  EXPECT_NE(parseError("def A\n type x\n at 0 4\nend\n").find("t.trd:3"), std::string::npos);
  parseError("def A\n type x\n at 0 \"open\nend\n");
  parseError("def A\n type x\nend\n");                        // no clause
  parseError("def A\n at 0 00\nend\n");                       // no type
  parseError("def A\n type x\n at 0 00\n");                   // not closed
  parseError("type x\n");                                     // outside a definition
  parseError("def A\n type x\n at 65535 00 00\nend\n");       // past the head window
  parseError("def A\n type x\n atend 1 00 00\nend\n");        // distance shorter than pattern
  parseError("def A\n type x\n find 2 \"abc\"\nend\n");       // window shorter than pattern
  parseError("def A\n type x\n find 10 ?? 00\nend\n");        // wildcard in a search
  parseError("def A\n type x\n at -1 00\nend\n");
  parseError("def A\n type x\n at 0 \"\\q\"\nend\n");
  parseError("def A\n type x\n frob 0 00\nend\n");
  parseError("def A B\n type x\n at 0 00\nend\n");
}

TEST(TridMatcher, RanksSpecificAboveGenericAndKeepsOrderOnTies) {
  auto defs = parse(
      "def ZIP\n type ZIP archive\n at 0 \"PK\"\nend\n"
      "def JAR\n type Java archive\n at 0 \"PK\\x03\\x04\"\n find 1000 \"META-INF/\"\nend\n"
      "def ZIPX\n type Tie A\n at 0 \"PK\"\nend\n"
      "def END\n type Trailer\n atend 4 \"TAIL\"\nend\n"
      "def CASE\n type Case\n findi 50 \"hello\"\nend\n");
  Sample s = sampleOf(std::string("PK\x03\x04....META-INF/MANIFEST.MF HeLLo", 34) + std::string(10000, 'x') + "TAIL");
  auto results = rank(defs, s);
  ASSERT_EQ(results.size(), 5u);
  EXPECT_EQ(results[0].definition->extension, "JAR");
  EXPECT_EQ(results[1].definition->extension, "END");   // 4 anchored bytes: 40 points
  EXPECT_EQ(results[2].definition->extension, "CASE");  // 5 bytes found: 25 points
  EXPECT_EQ(results[3].definition->extension, "ZIP");   // 20 points, first of the tie
  EXPECT_EQ(results[4].definition->extension, "ZIPX");
  EXPECT_TRUE(rank(defs, sampleOf("")).empty());
  EXPECT_TRUE(rank(defs, sampleOf("P")).empty());  // shorter than the pattern
}

// The built library, called as the engine calls it.
class TridLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    lib = ::dlopen((kpl::test::homeDir() + "/libTrIDLib.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    load = reinterpret_cast<int (*)(char*)>(::dlsym(lib, "TrID_LoadDefsPack"));
    submit = reinterpret_cast<int (*)(char*)>(::dlsym(lib, "TrID_SubmitFileA"));
    analyze = reinterpret_cast<int (*)()>(::dlsym(lib, "TrID_Analyze"));
    info = reinterpret_cast<int (*)(int, int, char*)>(::dlsym(lib, "TrID_GetInfo"));
    ASSERT_TRUE(load && submit && analyze && info);
  }
  void TearDown() override {
    if (lib) ::dlclose(lib);
  }
  void* lib = nullptr;
  int (*load)(char*) = nullptr;
  int (*submit)(char*) = nullptr;
  int (*analyze)() = nullptr;
  int (*info)(int, int, char*) = nullptr;
};

TEST_F(TridLibrary, AnswersCountsTextsAndPoints) {
  std::string defsDir = kpl::test::homeDir() + "\\database\\trid\\";
  EXPECT_GE(load(defsDir.data()), 3);
  kpl::test::TempDir dir;
  std::string pdf = dir.write("doc.pdf", std::string("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n"));
  ASSERT_EQ(submit(pdf.data()), 1);
  ASSERT_EQ(analyze(), 1);
  char buffer[1024] = {};
  ASSERT_EQ(info(1, 0, buffer), 2);  // the exact header and the looser search
  int best = info(4, 1, buffer);
  EXPECT_GT(best, info(4, 2, buffer));
  info(2, 1, buffer);
  EXPECT_STREQ(buffer, "Adobe Portable Document Format");
  info(3, 1, buffer);
  EXPECT_STREQ(buffer, "PDF");
  EXPECT_EQ(info(4, 3, buffer), 0);  // past the last result
  EXPECT_EQ(info(2, 0, buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(info(9, 1, buffer), 0);

  std::string unknown = dir.write("plain.txt", std::string("nothing to see"));
  ASSERT_EQ(submit(unknown.data()), 1);
  ASSERT_EQ(analyze(), 1);
  EXPECT_EQ(info(1, 0, buffer), 0);

  std::string missing = dir.path() + "/missing";
  submit(missing.data());
  EXPECT_EQ(analyze(), 0);
}

TEST_F(TridLibrary, RefusesAMissingOrEmptyDefinitionsDirectory) {
  char missing[] = "no\\such\\dir\\";
  EXPECT_EQ(load(missing), 0);
  kpl::test::TempDir empty;
  EXPECT_EQ(load(const_cast<char*>(empty.path().c_str())), 0);
  empty.write("bad.trd", std::string("def X\n type y\n at 0 zz\nend\n"));
  EXPECT_EQ(load(const_cast<char*>(empty.path().c_str())), 0);
  EXPECT_EQ(analyze(), 0);  // nothing loaded, nothing submitted
}

TEST(TridDefinitions, ShippedDefinitionsLoad) {
  std::vector<Definition> defs;
  std::string error;
  EXPECT_TRUE(loadDefinitionsDirectory(KPL_TEST_SOURCE_DIR "/tridlib/defs", defs, error)) << error;
  for (const Definition& d : defs) {
    EXPECT_FALSE(d.fileType.empty()) << d.origin;
    EXPECT_EQ(d.extension.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << d.origin;
  }
}

}  // namespace
}  // namespace tridlib
