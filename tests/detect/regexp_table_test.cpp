// The libmagic mapping table: which row wins for which four answers, and
// what its templates make of them.
#include "detect/regexp_table.h"

#include <gtest/gtest.h>

#include "catalogue/file_type_catalogue.h"

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

}  // namespace
}  // namespace kpl
