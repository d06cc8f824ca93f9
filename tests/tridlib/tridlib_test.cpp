// The signature library stand-in: its definition format, the views it
// reads files through, ranking, and the four entry points of the built
// libTrIDLib.so, alone and as the scan pipeline reads them.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/scan.h"
#include "kpl_engine.h"
#include "test_support.h"
#include "test_support_process.h"
#include "tridlib/definitions.h"
#include "tridlib/matcher.h"

namespace tridlib {
namespace {

using namespace std::string_literals;

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

// The extension texts of every definition that matches, best first.
using Names = std::vector<std::string>;
Names names(const std::vector<Definition>& defs, const std::string& bytes) {
  Names out;
  for (const Result& r : rank(defs, sampleOf(bytes))) out.push_back(r.definition->extension);
  return out;
}

std::string le16(unsigned v) { return kpl::test::le(v, 2); }
std::string le32(uint32_t v) { return kpl::test::le(v, 4); }
std::string be32(uint32_t v) { return kpl::test::be(v, 4); }

// A compound-file directory entry: UTF-16 name, its length, type, colour.
std::string oleEntry(const std::string& name, uint8_t type, const std::string& clsid = std::string(16, '\0')) {
  std::string e;
  for (char c : name) e += le16(static_cast<uint8_t>(c));
  e.resize(64, '\0');
  e += le16(static_cast<unsigned>(name.size() + 1) * 2) + static_cast<char>(type) + '\x01';
  e += std::string(12, '\xFF') + clsid;
  e.resize(128, '\0');
  return e;
}

std::string oleHeader() { return std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0'); }

std::string isoBox(const std::string& type, const std::string& body) { return be32(8 + body.size()) + type + body; }

std::string peImage(bool dll) {
  std::string h = "MZ" + std::string(58, '\0') + le32(64);
  return h + "PE" + std::string(2, '\0') + le16(0x8664) + std::string(16, '\0') + le16(dll ? 0x2022 : 0x0022);
}

TEST(TridDefinitions, ParsesClausesAndScoresThem) {
  auto defs = parse(
      "# comment\n"
      "def JPG/JPEG\n"
      "  type JPEG Bitmap\n"
      "  findi 100 \"exif\"\n"
      "  at 0 FF D8 FF\n"
      "  atend 2 FFD9\n"
      "  find 200 \"a\\x00\\\"\"\n"
      "  at 6 ?? ?? \"JF\"\n"
      "  words 300 1 \"One\" \"two\"\n"
      "  bonus 7\n"
      "end\n"
      "def M4A\n type audio\n brand \"M4A \" \"M4B \"\n compatible \"isom\"\n box \"moov\"\nend\n"
      "def X\n type x\n riff \"CDR\" ??\n pe dll\n ole \"Quill\"\n oleclsid 84 10 0C 00 00 00 00 00 C0 00 00 00 00 00 00 46\n"
      " text\n xml\n xmlroot \"svg\"\n xmlns \"urn:x\"\n xmlpi \"mso-application\" \"Word\"\n findend 100 \"PK\"\nend\n");
  ASSERT_EQ(defs.size(), 3u);
  const Definition& d = defs[0];
  EXPECT_EQ(d.extension, "JPG/JPEG");
  EXPECT_EQ(d.fileType, "JPEG Bitmap");
  ASSERT_EQ(d.clauses.size(), 6u);
  // Cheap clauses first, searches last; words and findi patterns lower case.
  EXPECT_EQ(d.clauses[0].kind, ClauseKind::At);
  EXPECT_EQ(d.clauses[2].kind, ClauseKind::At);
  EXPECT_EQ(d.clauses[3].bytes, (std::vector<uint8_t>{'a', 0, '"'}));
  EXPECT_EQ(d.clauses[4].kind, ClauseKind::FindNoCase);
  EXPECT_EQ(d.clauses[5].texts, (Names{"one", "two"}));
  // Wildcards earn nothing; words earn only what a file shows.
  EXPECT_EQ(d.points, (3 + 2 + 2) * kPointsPerAnchoredByte + (4 + 3) * kPointsPerFoundByte + 7);
}

TEST(TridDefinitions, RejectsMalformedText) {
  EXPECT_NE(parseError("def A\n type x\n at 0 4\nend\n").find("t.trd:3"), std::string::npos);
  // Each body sits between "def A\n type x\n" and "end\n" unless it starts with "!".
  for (const char* body : {
           " at 0 \"open\n", "", /* no clause */ "!def A\n at 0 00\nend\n", /* no type */
           "!def A\n type x\n at 0 00\n", /* not closed */ "!type x\n", /* outside a definition */
           " at 65535 00 00\n", /* past the head window */ " atend 1 00 00\n", /* distance below pattern */
           " find 2 \"abc\"\n", /* window below pattern */ " findend 5000 \"abc\"\n", /* past the tail window */
           " find 10 ?? 00\n", /* wildcard in a search */ " at -1 00\n", " at 99999999999 00\n", " at 0 \"\\q\"\n",
           " frob 0 00\n", "!def A B\n type x\n at 0 00\nend\n", " riff \"AVI\"\n", /* form types have 4 bytes */
           " brand \"mp4\"\n", " brand isom\n", /* unquoted */ " pe sys\n",
           " ole \"0123456789012345678901234567890123\"\n", " oleclsid 00 01\n",
           " words 100 3 \"a\" \"b\"\n", /* minimum above the count */ " words 0 1 \"a\"\n",
           " xmlpi \"a\" \"b\" \"c\"\n", " text 1\n", "!def A\n type x\n at 0 00\nend now\n"})
    parseError(body[0] == '!' ? std::string(body + 1) : "def A\n type x\n" + std::string(body) + "end\n");
}

TEST(TridViews, DecodesTextInItsEncodings) {
  auto text = [](const std::string& bytes) { return decodeText(std::vector<uint8_t>(bytes.begin(), bytes.end())); };
  EXPECT_EQ(text("\xEF\xBB\xBFHi\r\n").chars, "Hi\r\n");
  EXPECT_EQ(text(std::string("\xFF\xFEH\0i\0\xE9\0", 8)).lower, "hi\x80");
  EXPECT_EQ(text(std::string("\xFE\xFF\0H\0I", 6)).lower, "hi");
  EXPECT_EQ(text(std::string("<\0a\0>\0", 6)).chars, "<a>");  // UTF-16 without a mark
  EXPECT_TRUE(text("caf\xC3\xA9 \t\x1B[0m").isText);
  for (const std::string& binary : {std::string("ab\0cd", 5), std::string("ab\x01"), std::string("\xFF\xFE\x01\0", 4),
                                    std::string()})
    EXPECT_FALSE(text(binary).isText) << binary;
}

TEST(TridViews, ReadsTheStartOfAnXmlDocument) {
  XmlProlog p = parseXmlProlog(
      "<?xml version=\"1.0\"?>\n<!-- <fake> -->\n<?mso-application progid=\"Word.Document\"?>\n"
      "<!DOCTYPE r [ <!ENTITY e \"a>b\"> ]>\n<w:doc xmlns:w='urn:w' a=\"x>y\">body</w:doc>");
  EXPECT_TRUE(p.declaration && p.hasRoot);
  EXPECT_EQ(p.instructions, (decltype(p.instructions){{"mso-application", "progid=\"Word.Document\""}}));
  EXPECT_EQ(p.root + "|" + p.rootTag, "w:doc| xmlns:w='urn:w' a=\"x>y\"");
  EXPECT_TRUE(declaresNamespace(p.rootTag, "urn:w"));
  EXPECT_FALSE(declaresNamespace(p.rootTag, "x>y"));
  EXPECT_FALSE(declaresNamespace(" xmlnsx=\"urn:w\" = / junk", "urn:w"));

  EXPECT_EQ(parseXmlProlog("  <html lang=en").rootTag, " lang=en");  // cut short by the end of the head
  EXPECT_FALSE(parseXmlProlog("<a>").declaration);
  for (const std::string& noRoot : {std::string("<?xml version=\"1.0\""), std::string("<!-- never closed <a>"),
                                    std::string("<%@ Page %><html>"), std::string("text <a>")})
    EXPECT_FALSE(parseXmlProlog(noRoot).hasRoot) << noRoot;
}

TEST(TridMatcher, StructuralClauses) {
  auto defs = parse(
      "def AVI\n type a\n riff \"AVI \"\nend\n"
      "def CDR\n type c\n riff \"CDR\" ??\nend\n"
      "def M4A\n type m\n brand \"M4A \"\nend\n"
      "def ISO\n type i\n compatible \"isom\"\nend\n"
      "def MOOV\n type q\n box \"moov\"\nend\n"
      "def EXE\n type e\n pe exe\nend\n"
      "def DLL\n type d\n pe dll\nend\n"
      "def PUB\n type p\n ole \"Quill\"\n ole \"contents\"\nend\n"
      "def MSI\n type s\n oleclsid 84 10 0C 00 00 00 00 00 C0 00 00 00 00 00 00 46\nend\n"
      "def TAIL\n type t\n findend 8 \"END\"\nend\n");
  EXPECT_EQ(names(defs, "RIFF\x10\0\0\0AVI LIST"s), (Names{"AVI"}));
  EXPECT_EQ(names(defs, "RIFX\x10\0\0\0CDRAvrsn"s), (Names{"CDR"}));
  EXPECT_TRUE(names(defs, "RIFF\x10\0\0\0AVI"s).empty());  // too short for the form type

  const std::string ftyp = isoBox("ftyp", "M4A " + be32(0) + "isomiso2");
  EXPECT_EQ(names(defs, ftyp + isoBox("free", "") + isoBox("moov", "....")), (Names{"M4A", "ISO", "MOOV"}));
  const std::string wide = be32(8) + "wide";
  // Past a box with a 64-bit size.
  EXPECT_EQ(names(defs, wide + be32(1) + "mdat" + be32(0) + be32(24) + "payload!" + isoBox("moov", "")), Names{"MOOV"});
  EXPECT_TRUE(names(defs, wide + be32(1) + "mdat" + be32(0) + be32(0) + isoBox("moov", "")).empty());
  EXPECT_TRUE(names(defs, isoBox("ftyp", "M4A")).empty());
  EXPECT_TRUE(names(defs, be32(0xFFFFFF00) + "mdat" + isoBox("moov", "")).empty());  // beyond the file

  EXPECT_EQ(names(defs, peImage(false)), (Names{"EXE"}));
  EXPECT_EQ(names(defs, peImage(true)), (Names{"DLL"}));
  EXPECT_TRUE(names(defs, peImage(true).substr(0, 70)).empty());

  // Directory entries sit at multiples of 128 bytes; the one in the tail
  // is found although the head window ends before it.
  const std::string msiClsid("\x84\x10\x0C\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 16);
  std::string ole = oleHeader() + oleEntry("Root Entry", 5, msiClsid) + oleEntry("Quill", 1);
  EXPECT_EQ(names(defs, ole), (Names{"MSI"}));
  ole.resize(kHeadWindow + 1024, '\0');
  ole += oleEntry("CONTENTS", 2);
  EXPECT_EQ(names(defs, ole), (Names{"PUB", "MSI"}));
  std::string shifted = oleHeader() + "x" + oleEntry("Quill", 1) + oleEntry("Contents", 2);
  EXPECT_TRUE(names(defs, shifted).empty());
  std::string badLength = oleHeader() + oleEntry("Quill", 1) + oleEntry("Contents", 2);
  badLength[512 + 64] = 4;  // the name length field disagrees with the name
  EXPECT_TRUE(names(defs, badLength).empty());

  EXPECT_EQ(names(defs, std::string(20, 'x') + "END"), (Names{"TAIL"}));
  EXPECT_TRUE(names(defs, "END" + std::string(20, 'x')).empty());
}

TEST(TridMatcher, TextClauses) {
  auto defs = parse(
      "def VBS\n type v\n words 100 2 \"dim\" \"end sub\" \"param(\"\nend\n"
      "def XML\n type x\n xml\nend\n"
      "def SVG\n type s\n xmlroot \"svg\"\nend\n"
      "def RDF\n type r\n xmlroot \"rdf:RDF\"\n xmlns \"urn:rdf\"\nend\n"
      "def DOC\n type d\n xmlpi \"mso-application\" \"Word\"\nend\n");
  EXPECT_EQ(names(defs, "Dim x\nEnd Sub\n"), (Names{"VBS"}));
  EXPECT_EQ(names(defs, "dim\nparam(1)"), (Names{"VBS"}));  // "(" needs no boundary
  EXPECT_TRUE(names(defs, "Dimension\nEnd Subtotal\n").empty());                 // parts of longer words
  EXPECT_TRUE(names(defs, "dim x").empty());                                      // one word of two
  EXPECT_TRUE(names(defs, std::string(100, ' ') + "dim end sub").empty());        // beyond the window
  EXPECT_TRUE(names(defs, std::string("dim\0end sub", 11)).empty());             // not text

  EXPECT_EQ(names(defs, "<?xml version='1.0'?><svg:svg/>"), (Names{"SVG", "XML"}));
  EXPECT_EQ(names(defs, "<rdf:RDF xmlns:rdf=\"urn:rdf\">"), (Names{"RDF"}));
  EXPECT_TRUE(names(defs, "<x:RDF xmlns:x=\"urn:rdf\">").empty());  // a prefixed name must match exactly
  EXPECT_EQ(names(defs, "<?mso-application progid=\"Word.Document\"?><w/>"), (Names{"DOC"}));
  const std::string utf16 = "\xFF\xFE<\0?\0x\0m\0l\0 \0?\0>\0<\0s\0v\0g\0>\0"s;
  EXPECT_EQ(names(defs, utf16), (Names{"SVG", "XML"}));
}

TEST(TridMatcher, RanksSpecificAboveGenericAndKeepsOrderOnTies) {
  auto defs = parse(
      "def ZIP\n type ZIP archive\n at 0 \"PK\"\nend\n"
      "def JAR\n type Java archive\n at 0 \"PK\\x03\\x04\"\n find 1000 \"META-INF/\"\nend\n"
      "def ZIPX\n type Tie A\n at 0 \"PK\"\nend\n"
      "def END\n type Trailer\n atend 4 \"TAIL\"\nend\n"
      "def CASE\n type Case\n findi 50 \"hello\"\nend\n");
  std::string bytes = std::string("PK\x03\x04....META-INF/MANIFEST.MF HeLLo", 34) + std::string(10000, 'x') + "TAIL";
  EXPECT_EQ(names(defs, bytes), (Names{"JAR", "END", "CASE", "ZIP", "ZIPX"}));
  EXPECT_TRUE(names(defs, "").empty());
  EXPECT_TRUE(names(defs, "P").empty());  // shorter than the pattern

  // Points a definition earns from the words it finds.
  auto scripts = parse("def A\n type a\n words 100 1 \"alpha\" \"beta\"\nend\n"
                       "def B\n type b\n words 100 1 \"alpha\"\n bonus 1\nend\n");
  EXPECT_EQ(names(scripts, "alpha"), (Names{"B", "A"}));
  EXPECT_EQ(names(scripts, "alpha beta"), (Names{"A", "B"}));
}

std::vector<Definition> shipped() {
  std::vector<Definition> defs;
  std::string error;
  EXPECT_TRUE(loadDefinitionsDirectory(KPL_TEST_SOURCE_DIR "/tridlib/defs", defs, error)) << error;
  return defs;
}

std::vector<std::string> fixtureFiles() {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(kpl::test::fixturesDir() + "/tridlib")) {
    const std::string name = e.path().filename().string();
    if (name != "generate.sh" && name != "reachability.tsv") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Over every fixture: two different answers with the best points would
// leave the choice to the order the engine reads them in.
TEST(TridDefinitions, ShippedDefinitionsOnFixturesAndProse) {
  const std::vector<Definition> defs = shipped();
  for (const Definition& d : defs) {
    EXPECT_FALSE(d.fileType.empty()) << d.origin;
    EXPECT_EQ(d.extension.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << d.origin;
  }
  for (const char* prose : {"Put the page name in a <title> element.\n", "Dim the lights before the end of the film.\n",
                            "Write-Host prints a line; see the manual.\n", "d4:info is how a torrent starts\n"})
    EXPECT_TRUE(names(defs, prose).empty()) << prose;
  for (const std::string& path : fixtureFiles()) {
    Sample s;
    ASSERT_TRUE(readSample(path, s)) << path;
    const std::vector<Result> results = rank(defs, s);
    for (std::size_t i = 1; i < results.size() && results[i].points == results[0].points; ++i)
      EXPECT_TRUE(results[i].definition->extension == results[0].definition->extension &&
                  results[i].definition->fileType == results[0].definition->fileType)
          << path << ": " << results[0].definition->origin << " and " << results[i].definition->origin;
  }
}

// The built library, called as the engine calls it.
class TridLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    lib = ::dlopen((kpl::test::homeDir() + "/libTrIDLib.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    resolve(load, "TrID_LoadDefsPack"), resolve(submit, "TrID_SubmitFileA");
    resolve(analyze, "TrID_Analyze"), resolve(info, "TrID_GetInfo");
  }
  void TearDown() override {
    if (lib) ::dlclose(lib);
  }
  template <typename Fn>
  void resolve(Fn*& fn, const char* name) {
    fn = reinterpret_cast<Fn*>(::dlsym(lib, name));
    ASSERT_NE(fn, nullptr) << name;
  }
  void* lib = nullptr;
  int (*load)(char*) = nullptr;
  int (*submit)(char*) = nullptr;
  int (*analyze)() = nullptr;
  int (*info)(int, int, char*) = nullptr;
};

TEST_F(TridLibrary, AnswersCountsTextsAndPoints) {
  std::string defsDir = kpl::test::homeDir() + "\\database\\trid\\";
  EXPECT_GE(load(defsDir.data()), 100);
  kpl::test::TempDir dir;
  std::string pdf = dir.write("doc.pdf", std::string("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n"));
  ASSERT_EQ(submit(pdf.data()), 1);
  ASSERT_EQ(analyze(), 1);
  char buffer[1024] = {};
  ASSERT_EQ(info(1, 0, buffer), 2);  // the exact header and the looser search
  int best = info(4, 1, buffer);
  EXPECT_GT(best, info(4, 2, buffer));
  EXPECT_STREQ((info(2, 1, buffer), buffer), "Adobe Portable Document Format");
  EXPECT_STREQ((info(3, 1, buffer), buffer), "PDF");
  EXPECT_EQ(info(4, 3, buffer), 0);  // past the last result
  EXPECT_EQ(info(2, 0, buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(info(9, 1, buffer), 0);
  EXPECT_EQ(info(2, 1, nullptr), 1);  // no buffer: nothing written

  std::string unknown = dir.write("plain.txt", std::string("nothing to see"));
  ASSERT_EQ(submit(unknown.data()), 1);
  ASSERT_EQ(analyze(), 1);
  EXPECT_EQ(info(1, 0, buffer), 0);

  std::string missing = dir.path() + "/missing";
  submit(missing.data());
  EXPECT_EQ(analyze(), 0);
  EXPECT_EQ(info(1, 0, buffer), 0);  // a failed analysis leaves no results
  EXPECT_EQ(submit(nullptr), 0);
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

// Through the scan pipeline's library step, in a home whose definitions are
// made for the test: it keeps the best result and, on equal points, the
// higher-numbered one, which is the definition loaded later. (The answer
// scan hands out no longer shows the library's extension for such files:
// "data" answers lose their extension list after the mapping table.)
TEST(TridPipeline, NamesByPointsAndOnTiesByTheHigherNumberedResult) {
  kpl::test::TempDir home;
  const std::string real = kpl::test::homeDir();
  for (const char* file : {"database/magic/magic.mgc", "libTrIDLib.so", "7za"})
    home.write(file, kpl::test::readFile(real + "/" + file));
  home.write("database/trid/a.trd", std::string("def FIRST\n type tied\n at 0 \"TIE\"\nend\n"
                                                "def SPECIFIC\n type longer\n at 0 \"TIE!\"\nend\n"));
  home.write("database/trid/b.trd", std::string("def SECOND\n type tied\n at 0 \"TIE\"\nend\n"));
  const std::string tie = home.write("tie.bin", std::string("TIE\x01\x02\x03\xF0\xF1", 8));
  const std::string specific = home.write("specific.bin", std::string("TIE!\x01\x02\x03\xF0\xF1", 9));
  int rc = kpl::test::runInChild([&] {
    if (::chdir(home.path().c_str()) != 0 || ::init() != 0) return 2;
    auto extension = [](const std::string& path) {
      kpl::MappingInputs in;
      return kpl::mappingInputs(path, in) ? in.signatureExtension : std::string();
    };
    return extension(tie) != "SECOND" ? 3 : extension(specific) != "SPECIFIC" ? 4 : 0;
  });
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace tridlib
