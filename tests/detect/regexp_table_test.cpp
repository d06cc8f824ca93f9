// The libmagic mapping table: which row wins for which four answers, and
// what its templates make of them; the conditions read from its patterns
// and the indexed walk that tests them, against the plain walk.
#include "detect/regexp_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>

#include "catalogue/file_type_catalogue.h"
#include "detect/regexp_prefilter.h"
#include "engine/scan.h"
#include "test_support.h"

namespace kpl {
namespace {

struct Case {
  int row;
  const char* sigExt;
  const char* sigDesc;
  const char* mime;
  const char* magic;
};

// clang-format off
// Four answers built to land on their row rather than an earlier one, for
// the rows no real file lands on by the mapping (Reachability proves the
// others with the fixtures' own answers); what a row writes is its own data.
const Case kCases[] = {
  { 4, "TIF/TIFF", "Tagged Image File Format", "image/tiff", "TIFF image data, little-endian"},
  { 5, "SVG", "Scalable Vector Graphics", "image/svg+xml", "SVG Scalable Vector Graphics image"},
  { 7, "DOC", "Microsoft Word document", "application/msword", "Composite Document File V2 Document, Little Endian"},
  { 9, "XLS", "Microsoft Excel sheet", "application/vnd.ms-excel", "Composite Document File V2 Document"},
  {11, "PPT", "Microsoft PowerPoint document", "application/vnd.ms-powerpoint", "CDF V2 Document, corrupt"},
  {12, "DOCX", "Word Microsoft Office Open XML Format document", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "Microsoft Word 2007+"},
  {14, "XLSX", "Excel Microsoft Office Open XML Format document", "application/octet-stream", "Microsoft OOXML"},
  {15, "PPTX", "PowerPoint Microsoft Office Open XML Format document", "application/vnd.openxmlformats-officedocument.presentationml.presentation", "Microsoft PowerPoint 2007+"},
  {19, "PDF", "Adobe Portable Document Format", "application/pdf", "PDF document, version 1.4"},
  {21, "RTF", "Rich Text Format", "text/rtf", "Rich Text Format data, version 1"},
  {25, "MSI", "Microsoft Windows Installer", "application/x-msi", "Composite Document File V2 Document, MSI Installer"},
  {29, "PSD", "Adobe Photoshop image", "image/vnd.adobe.photoshop", "Adobe Photoshop Image, 16 x 16, RGB"},
  {32, "SUO", "Microsoft VisualStudio Solution User Options", "application/CDFV2", "Composite Document File V2 Document"},
  {48, "JTD", "Ichitaro document", "application/vnd.ms-office", "Composite Document File V2 Document"},
  {52, "RDF", "W3C Resource Description Framework", "text/xml", "XML 1.0 document"},
  {53, "GPX", "GPS eXchange format", "text/xml", "XML 1.0 document"},
  {55, "XEX/EXE", "Atari XE Executable", "application/x-dosdriver", "DOS executable (device driver)"},
  {57, "ATOM", "Atom Syndication Format", "text/xml", "XML 1.0 document"},
  {58, "RELS", "Open Packaging Conventions relationships", "text/xml", "XML 1.0 document"},
  {59, "RSS", "Really Simple Syndication feed", "text/xml", "XML 1.0 document"},
  {60, "AIML", "Artificial Intelligence Markup Language", "text/xml", "XML 1.0 document"},
  {61, "GLADE", "Glade project", "text/xml", "XML 1.0 document"},
  {62, "ZIR", "Compass and Ruler", "text/xml", "XML 1.0 document"},
  {63, "SMI", "Synchronized Multimedia Integration Language", "text/xml", "XML 1.0 document"},
  {64, "XAML", "Extensible Application Markup Language", "text/xml", "XML 1.0 document"},
  {66, "XSD", "XML Schema Definition", "text/xml", "XML 1.0 document"},
  {67, "KML", "Keyhole Markup Language", "text/xml", "XML 1.0 document"},
  {68, "MATHML", "Mathematical Markup Language", "text/xml", "XML 1.0 document"},
  {69, "MML", "Aleph One Marathon Markup Language", "text/xml", "XML 1.0 document"},
  {70, "POM", "Maven Project Object Model", "text/xml", "XML 1.0 document"},
  {71, "RNG", "RELAX NG schema", "text/xml", "XML 1.0 document"},
  {72, "XSPF", "XML Shareable Playlist Format", "text/xml", "XML 1.0 document"},
  {73, "WSDL", "Web Services Description Language", "text/xml", "XML 1.0 document"},
  {77, "", "", "text/plain", "ASCII text, with CRLF line terminators"},
  {77, "", "", "text/x-c", "C source, UTF-8 Unicode text"},
  {78, "", "", "application/zip", "Zip archive data, at least v2.0 to extract"},
  {79, "MPG//MPEG/", "Some Library Answer", "", ""},
};
// clang-format on

class RegexpRows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { table.init(); }
  static RegexpTable table;
};
RegexpTable RegexpRows::table;

TEST_F(RegexpRows, RowsNoFileReachesAreReachableFromTheirAnswers) {
  for (const Case& c : kCases)
    EXPECT_EQ(table.matchingRow(c.sigExt, c.sigDesc, c.mime, c.magic), c.row) << c.sigExt << " / " << c.magic;
}

TEST_F(RegexpRows, TheWinningRowWritesItsTemplates) {
  const struct {
    const char *what, *sigExt, *sigDesc, *mime, *magic;
    int rc;
    std::string answer;  // type|MIME|description|extensions, "keep" where nothing is written
  } cases[] = {
      {"literal outputs, the catalogue's description", "DOC", "Microsoft Word document", "application/msword",
       "Composite Document File V2 Document, Little Endian", 0, "DOC|application/msword|" + describe("DOC") + "|doc"},
      {"libmagic's own texts copied through (row 78)", "ELF", "Executable and Linkable Format",
       "application/x-sharedlib", "ELF 64-bit LSB shared object", 0,
       "data|application/x-sharedlib|ELF 64-bit LSB shared object|elf"},
      {"matching ignores case, capturing does not", "png", "Portable Network Graphics", "image/png", "PNG image data",
       0, "png|image/png|Portable Network Graphics|png"},
      {"\".*(DOC).*\" captures just the key of a longer text", "XDOCX", "Microsoft Word document",
       "application/msword", "Composite Document File V2 Document", 0,
       "DOC|application/msword|" + describe("DOC") + "|doc"},
      {"empty signature answers reach row 78, not row 3", "", "", "image/gif", "GIF image data, version 89a", 0,
       "data|image/gif|GIF image data, version 89a|"},
      // "." stops at line breaks: neither row 77 nor the catch-alls take it.
      {"multi-line description", "", "", "text/plain", "ASCII text\nsecond line", 1, "keep|keep|keep|keep"},
      {"empty answers", "", "", "", "", 1, "keep|keep|keep|keep"},
  };
  for (const auto& c : cases) {
    std::string t = "keep", m = "keep", d = "keep", e = "keep";
    EXPECT_EQ(table.check(c.sigExt, c.sigDesc, c.mime, c.magic, t, m, d, e), c.rc) << c.what;
    EXPECT_EQ(t + "|" + m + "|" + d + "|" + e, c.answer) << c.what;
  }
}

TypeMatch row(const std::string& ext, const std::string& typeTpl, const std::string& mimeTpl,
              const std::string& descTpl, const std::string& exts) {
  return TypeMatch{ext, "(.*)", "(.*)", "(.*)", typeTpl, mimeTpl, descTpl, exts};
}

TEST(RegexpTemplates, MissingGroupEndsTheCheckWithoutTryingLaterRows) {
  RegexpTable table;
  table.initWith({row("(A)(B)?", "%1:$3", "m", "d", ""), row(".*", "LATER", "m", "d", "")});
  std::string t = "keep", m = "keep", d = "keep", e = "keep";
  EXPECT_EQ(table.check("AB", "", "", "", t, m, d, e), 1);
  EXPECT_EQ(t, "keep");
  EXPECT_EQ(e, "keep");

  table.initWith({row("(A)(B)?", "%1:$2", "%5:$0", "d", ""), row(".*", "LATER", "m", "d", "")});
  EXPECT_EQ(table.check("A", "", "", "", t, m, d, e), 1);  // subject 5 does not exist

  // A group that took no part in the match is empty; "*" takes the
  // signature extension, slashes collapse into one comma.
  table.initWith({row("(A)(B)?/*", "[%1:$2]", "%1:$2", "%1:$0", "*")});
  ASSERT_EQ(table.check("A//", "", "", "", t, m, d, e), 0);
  EXPECT_EQ(t, "[%1:$2]");  // not a reference as a whole: literal
  EXPECT_EQ(m, "");
  EXPECT_EQ(d, "A//");
  EXPECT_EQ(e, "a,");
}

TEST(RegexpTemplates, ABrokenPatternIsReportedWhenItsRowIsTried) {
  RegexpTable table;
  table.initWith({row("(unclosed", "X", "m", "d", "")});
  std::string t, m, d, e;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(table.check("anything", "", "", "", t, m, d, e), 1);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("EXCEPTION: ", 0), 0u) << out;
  EXPECT_NE(out.find(" : 5\nerror_paren\n"), std::string::npos) << out;
  EXPECT_STREQ(regexErrorName(12), "error_stack");
  EXPECT_STREQ(regexErrorName(99), "something happened. or didn't");
}

// ---- The conditions read from pattern text --------------------------------

// The regular expression exactly as the table compiles it.
std::regex compiled(const std::string& pattern) {
  return std::regex(pattern, std::regex::ECMAScript | std::regex::icase | std::regex_constants::__polynomial);
}

std::string shown(const SubjectCondition& c) {
  auto list = [](const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& x : v) out += (out.empty() ? "" : "|") + x;
    return "[" + out + "]";
  };
  return "min=" + std::to_string(c.minLength) + " pre=" + list(c.prefixes) + " suf=" + list(c.suffixes) +
         " fac=" + list(c.factors);
}

// Runs of plain characters in a pattern's text (escaped punctuation
// unescaped): what a subject made for the pattern is built from.
std::vector<std::string> literalParts(const std::string& pattern) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '\\' && i + 1 < pattern.size() && std::ispunct(static_cast<unsigned char>(pattern[i + 1]))) {
      parts.back() += pattern[++i];
    } else if (c == '\\' || std::string("()|.*+?[]{}^$").find(c) != std::string::npos) {
      if (c == '\\') ++i;
      if (!parts.back().empty()) parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  if (parts.back().empty()) parts.pop_back();
  return parts;
}

char flipCase(char c) {
  const auto u = static_cast<unsigned char>(c);
  return static_cast<char>(std::isupper(u) ? std::tolower(u) : std::toupper(u));
}

// Subjects near `s`: case changes, text around it, cuts, doubled and
// dropped characters, line breaks, and `edited` random edits from a seed.
std::vector<std::string> mutations(const std::string& s, unsigned seed, int edited = 12) {
  std::string lower = s, upper = s;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::vector<std::string> out = {s,           lower,          upper,    "x" + s, s + "x", " " + s + " ", s + s,
                                  s + "\n",    "\r" + s,       "",       s.substr(0, s.size() / 2)};
  if (!s.empty()) {
    out.push_back(s.substr(1));
    out.push_back(s.substr(0, s.size() - 1));
    const std::size_t mid = s.size() / 2;
    out.push_back(s.substr(0, mid) + s[mid] + s.substr(mid));
    out.push_back(s.substr(0, mid) + "." + s.substr(mid + 1));
  }
  std::mt19937 random(seed);
  const std::string alphabet = s + "aZ09 ./-()\n";
  for (int n = 0; n < edited; ++n) {
    std::string m = s;
    for (int edits = 1 + static_cast<int>(random() % 3); edits > 0; --edits) {
      const std::size_t at = m.empty() ? 0 : random() % (m.size() + 1);
      const char c = alphabet[random() % alphabet.size()];
      switch (random() % 4) {
        case 0: m.insert(at, 1, c); break;
        case 1: if (at < m.size()) m.erase(at, 1); break;
        case 2: if (at < m.size()) m[at] = c; break;
        default: if (at < m.size()) m[at] = flipCase(m[at]);
      }
    }
    out.push_back(m);
  }
  return out;
}

// Made for a table pattern from its literal runs: joined directly, by a
// character a "." takes, by a space, or each alone.
std::vector<std::string> madeFor(const std::string& pattern) {
  const std::vector<std::string> parts = literalParts(pattern);
  std::vector<std::string> made = parts;
  for (const char* glue : {"", "x", " "}) {
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : glue) + part;
    made.push_back(joined);
  }
  made.push_back("x");
  return made;
}

// libmagic's answers for real files: MIME type and description.
std::vector<std::pair<std::string, std::string>> realMagicAnswers() {
  std::vector<std::pair<std::string, std::string>> answers;
  std::ifstream in(test::fixturesDir() + "/detect/magic_answers.tsv");
  for (std::string line; std::getline(in, line);) {
    const std::size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    answers.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return answers;
}

constexpr const char* kNothing = "min=0 pre=[] suf=[] fac=[]";

// clang-format off
// Patterns that test the reader at its edges, each with a subject it
// matches, and the condition expected of it (literals folded to lower
// case). "Nothing" rows are constructs the reader must give up on.
const struct {
  const char* pattern;
  const char* matching;
  const char* condition;
} kPatterns[] = {
  {"abc",                 "ABC",          "min=3 pre=[abc] suf=[abc] fac=[abc]"},
  {"PNG Image",           "png IMAGE",    "min=9 pre=[png image] suf=[png image] fac=[png image]"},
  {".*(PNG).*",           "x png y",      "min=3 pre=[] suf=[] fac=[png]"},
  {"(.+)",                "a",            "min=1 pre=[] suf=[] fac=[]"},
  {"(.*)",                "",             kNothing},
  {"ab?c",                "ac",           "min=2 pre=[abc|ac] suf=[abc|ac] fac=[abc|ac]"},
  {"(?:ab|cd)e",          "cde",          "min=3 pre=[abe|cde] suf=[abe|cde] fac=[abe|cde]"},
  {"(a|b)(c|d)",          "BD",           "min=2 pre=[ac|ad|bc|bd] suf=[ac|ad|bc|bd] fac=[ac|ad|bc|bd]"},
  {"(?:x|y)?z",           "z",            "min=1 pre=[xz|yz|z] suf=[xz|yz|z] fac=[z]"},
  {"a.*b|c",              "a-b",          "min=1 pre=[a|c] suf=[b|c] fac=[a|c]"},
  {"a|",                  "",             kNothing},
  {"x(ab)*y",             "xababy",       "min=2 pre=[x] suf=[y] fac=[x]"},
  {"a+?b",                "aab",          "min=2 pre=[a] suf=[ab] fac=[ab]"},
  {"a{3}",                "AAA",          "min=3 pre=[a] suf=[a] fac=[a]"},
  {"(ab){2}",             "abAB",         "min=4 pre=[ab] suf=[ab] fac=[ab]"},
  {"a{0,2}b",             "b",            "min=1 pre=[] suf=[b] fac=[b]"},
  {".{2,}x",              "abx",          "min=3 pre=[] suf=[x] fac=[x]"},
  {"((((a))))b",          "ab",           "min=2 pre=[ab] suf=[ab] fac=[ab]"},
  {R"(\.ext\(1\))",       ".EXT(1)",      "min=7 pre=[.ext(1)] suf=[.ext(1)] fac=[.ext(1)]"},
  {R"(UTF-\d+ text)",     "utf-16 text",  "min=10 pre=[utf-] suf=[ text] fac=[ text]"},
  {R"(a\sb)",             "a b",          "min=3 pre=[a] suf=[b] fac=[a]"},
  // Past 16 joined literals the product is dropped for its parts.
  {"(a|b|c|d|e)(f|g|h|i)", "ei",          "min=2 pre=[a|b|c|d|e] suf=[f|g|h|i] fac=[f|g|h|i]"},
  {"[ab]c",               "ac",           kNothing},
  {"[^x]yz",              "ayz",          kNothing},
  {"^ab",                 "ab",           kNothing},
  {"ab$",                 "ab",           kNothing},
  {R"(\bab)",             "ab",           kNothing},
  {"(?=ab)ab",            "ab",           kNothing},
  {"(?!b)a",              "a",            kNothing},
  {R"(\x41b)",            "ab",           kNothing},
  {R"(\u0041b)",          "ab",           kNothing},
  {R"(a\tb)",             "a\tb",         kNothing},
  {"a]",                  "a]",           kNothing},
  {"caf\xc3\xa9",         "caf\xc3\xa9",  kNothing},
};
// clang-format on

TEST(RegexpPrefilter, ConditionsReadFromPatternText) {
  const CaseFold fold;
  for (const auto& p : kPatterns) {
    ASSERT_TRUE(std::regex_match(p.matching, compiled(p.pattern))) << p.pattern;
    EXPECT_EQ(shown(deriveCondition(p.pattern, fold)), p.condition) << p.pattern;
  }
}

// The property the index rests on: wherever a pattern matches a subject,
// the condition read from it holds. Each pattern meets mutations of its own
// matching subject (a table pattern: of subjects made from its literals),
// and unchanged those of every other pattern and the real libmagic
// answers; every pattern must match at least one.
TEST(RegexpPrefilter, AConditionHoldsWhereverItsPatternMatches) {
  std::map<std::string, std::vector<std::string>> own;  // pattern -> its seeds
  for (const auto& p : kPatterns) own[p.pattern].push_back(p.matching);
  for (const RegexpRowSource& r : regexpTableRows())
    for (const char* pattern : {r.extensionPattern, r.signatureDescriptionPattern, r.mimePattern, r.magicPattern})
      own[pattern] = madeFor(pattern);
  std::set<std::string> shared;
  for (const auto& entry : own) shared.insert(entry.second.begin(), entry.second.end());
  for (const auto& answer : realMagicAnswers()) {
    shared.insert(answer.first);
    shared.insert(answer.second);
  }

  const CaseFold fold;
  unsigned seed = 1;
  for (const auto& [pattern, seeds] : own) {
    std::set<std::string> subjects = shared;
    for (const std::string& s : seeds)
      for (const std::string& m : mutations(s, seed++)) subjects.insert(m);
    const std::regex re = compiled(pattern);
    const SubjectCondition condition = deriveCondition(pattern, fold);
    int matched = 0;
    for (const std::string& s : subjects) {
      if (!std::regex_match(s, re)) continue;
      ++matched;
      EXPECT_TRUE(condition.holds(fold.apply(s))) << pattern << " matches \"" << s << "\" but " << shown(condition);
    }
    EXPECT_GT(matched, 0) << pattern;
  }
}

// ---- The indexed walk against the plain one -------------------------------

struct Answers {
  std::string in[4];
};

// Both walks pick the same row (and, with `outputs`, write the same
// outputs: the same row's regular expressions capture the same groups).
// Returns the row.
int expectSameWalk(const RegexpTable& table, const Answers& a, bool outputs = false) {
  const int plain = table.matchingRow(a.in[0], a.in[1], a.in[2], a.in[3], RegexpTable::Walk::plain);
  EXPECT_EQ(table.matchingRow(a.in[0], a.in[1], a.in[2], a.in[3]), plain)
      << a.in[0] << " / " << a.in[1] << " / " << a.in[2] << " / " << a.in[3];
  if (!outputs) return plain;
  std::string written[2][4];
  int rc[2];
  for (int w = 0; w < 2; ++w) {
    std::string* o = written[w];
    rc[w] = table.check(a.in[0].c_str(), a.in[1].c_str(), a.in[2].c_str(), a.in[3].c_str(), o[0], o[1], o[2], o[3],
                        w == 0 ? RegexpTable::Walk::plain : RegexpTable::Walk::indexed);
  }
  EXPECT_EQ(rc[0], rc[1]);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(written[0][k], written[1][k]) << a.in[0] << " / " << a.in[3];
  return plain;
}

// Four answers made for each row, the rows' own cases and real libmagic
// answers beside signature answers made for the rows; then each answer of
// each in turn mutated or swapped for another's. The plain walk must pick
// every row somewhere among them, so that each row's skipping is tried.
TEST(RegexpIndex, GeneratedAnswersPickThePlainWalksRow) {
  RegexpTable table;
  table.init();
  std::vector<Answers> seeds;
  for (const TypeMatch& row : table.rows()) {
    Answers a;
    const std::string* patterns[4] = {&row.extensionPattern, &row.signatureDescriptionPattern, &row.mimePattern,
                                      &row.magicPattern};
    for (int k = 0; k < 4; ++k)
      for (const std::string& made : madeFor(*patterns[k]))
        if (std::regex_match(made, compiled(*patterns[k]))) {
          a.in[k] = made;
          break;
        }
    seeds.push_back(a);
  }
  for (const Case& c : kCases) seeds.push_back({{c.sigExt, c.sigDesc, c.mime, c.magic}});
  const std::size_t made = seeds.size();
  std::size_t n = 0;
  for (const auto& answer : realMagicAnswers()) {
    const Answers& signature = seeds[n++ % made];
    if (n % 2 == 0) seeds.push_back({{signature.in[0], signature.in[1], answer.first, answer.second}});
    else seeds.push_back({{"", "", answer.first, answer.second}});
  }

  std::set<int> winners;
  unsigned seed = 1;
  for (std::size_t s = 0; s < seeds.size(); ++s) {
    winners.insert(expectSameWalk(table, seeds[s], true));
    for (int k = 0; k < 4; ++k) {
      for (const std::string& m : mutations(seeds[s].in[k], seed++, 3)) {
        Answers a = seeds[s];
        a.in[k] = m;
        winners.insert(expectSameWalk(table, a));
      }
      Answers swapped = seeds[s];
      swapped.in[k] = seeds[(s + 1) % seeds.size()].in[k];
      winners.insert(expectSameWalk(table, swapped));
    }
  }
  for (int row = 1; row <= static_cast<int>(table.rows().size()); ++row) EXPECT_EQ(winners.count(row), 1u) << row;
}

// What every fixture hands the table through the engine's own pipeline.
TEST(RegexpIndex, FixtureAnswersPickThePlainWalksRow) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  int compared = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(test::fixturesDir())) {
    MappingInputs in;
    if (!e.is_regular_file() || !mappingInputs(e.path().string(), in)) continue;
    expectSameWalk(regexpTable, {{in.signatureExtension, in.signatureDescription, in.magicMime, in.magicDescription}},
                   true);
    ++compared;
  }
  EXPECT_GT(compared, 200);
}

// A row whose pattern did not compile is tried in order in both walks: the
// rows before it still win, and its error is reported where the plain walk
// reaches the broken pattern, even if the row's other patterns could not
// match; before that pattern is reached the walk goes on.
TEST(RegexpIndex, ABrokenRowIsReportedWhereThePlainWalkReachesIt) {
  const TypeMatch first{"first", "(.*)", "(.*)", "(.*)", "F", "m", "d", ""};
  const TypeMatch brokenFirst{"(broken", "(.*)", "(.*)", ".*(needed).*", "B", "m", "d", ""};
  const TypeMatch brokenThird{".*(key).*", "(.*)", "(unclosed", ".*(needed).*", "K", "m", "d", ""};
  const TypeMatch last{"(.*)", "(.*)", "(.*)", "(.*)", "L", "m", "d", ""};
  const struct {
    std::vector<TypeMatch> rows;
    const char* extension;
    const char* magic;
    int row;
    bool reported;
  } cases[] = {
      {{first, brokenFirst, last}, "first", "", 1, false},
      {{first, brokenFirst, last}, "other", "", 0, true},
      {{first, brokenFirst, last}, "other", "needed", 0, true},
      {{brokenThird, last}, "other", "needed", 2, false},
      {{brokenThird, last}, "a key", "", 0, true},
  };
  for (const auto& c : cases) {
    RegexpTable table;
    table.initWith(c.rows);
    for (RegexpTable::Walk walk : {RegexpTable::Walk::plain, RegexpTable::Walk::indexed}) {
      ::testing::internal::CaptureStdout();
      EXPECT_EQ(table.matchingRow(c.extension, "", "", c.magic, walk), c.row) << c.extension << " " << c.magic;
      const std::string out = ::testing::internal::GetCapturedStdout();
      EXPECT_EQ(out.rfind("EXCEPTION: ", 0) == 0, c.reported) << c.extension << " " << c.magic << ": " << out;
    }
  }
}

}  // namespace
}  // namespace kpl
