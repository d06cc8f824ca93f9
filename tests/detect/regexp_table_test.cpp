// The libmagic mapping table: which row wins for which four answers, and
// what its templates make of them.
#include "detect/regexp_table.h"

#include <gtest/gtest.h>

#include "detect/file_type_catalogue.h"

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
// Four answers per row that any can reach, each built to land on its row
// rather than an earlier one; what a row writes is its own data.
const Case kCases[] = {
  { 1, "PNG", "Portable Network Graphics", "image/png", "PNG image data, 16 x 16, 8-bit/color RGB"},
  { 2, "JPG/JPEG", "JPEG Bitmap", "image/jpeg", "JPEG image data, JFIF standard 1.01"},
  { 3, "GIF", "Graphics Interchange Format", "image/gif", "GIF image data, version 89a, 16 x 16"},
  { 4, "TIF/TIFF", "Tagged Image File Format", "image/tiff", "TIFF image data, little-endian"},
  { 5, "SVG", "Scalable Vector Graphics", "image/svg+xml", "SVG Scalable Vector Graphics image"},
  { 6, "AI", "Adobe Illustrator graphics", "application/pdf", "PDF document, version 1.5"},
  { 7, "DOC", "Microsoft Word document", "application/msword", "Composite Document File V2 Document, Little Endian"},
  { 8, "DOC/XML", "Microsoft Word 2003 XML Document", "text/xml", "XML 1.0 document, ASCII text"},
  { 9, "XLS", "Microsoft Excel sheet", "application/vnd.ms-excel", "Composite Document File V2 Document"},
  {10, "XLS/XML", "Microsoft Excel 2003 XML Spreadsheet", "text/xml", "XML 1.0 document"},
  {11, "PPT", "Microsoft PowerPoint document", "application/vnd.ms-powerpoint", "CDF V2 Document, corrupt"},
  {12, "DOCX", "Word Microsoft Office Open XML Format document", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "Microsoft Word 2007+"},
  {13, "DOCX/XML", "Microsoft Word XML Document", "text/xml", "XML 1.0 document"},
  {14, "XLSX", "Excel Microsoft Office Open XML Format document", "application/octet-stream", "Microsoft OOXML"},
  {15, "PPTX", "PowerPoint Microsoft Office Open XML Format document", "application/vnd.openxmlformats-officedocument.presentationml.presentation", "Microsoft PowerPoint 2007+"},
  {16, "PPTX/XML", "Microsoft Powerpoint XML Presentation", "text/xml", "XML 1.0 document"},
  {17, "BMP", "Windows Bitmap", "image/bmp", "PC bitmap, Windows 3.x format"},
  {18, "ICO", "Windows Icon", "image/x-icon", "MS Windows icon resource - 1 icon"},
  {19, "PDF", "Adobe Portable Document Format", "application/pdf", "PDF document, version 1.4"},
  {20, "HTML/HTM", "HyperText Markup Language", "text/html", "HTML document, ASCII text"},
  {21, "RTF", "Rich Text Format", "text/rtf", "Rich Text Format data, version 1"},
  {22, "DLL", "Win32 Dynamic Link Library", "application/x-dosexec", "PE32 executable (DLL) (GUI) Intel 80386, for MS Windows"},
  {23, "EXE", "Win32 Executable", "application/x-dosexec", "PE32 executable (GUI) Intel 80386, Nullsoft Installer self-extracting archive"},
  {24, "EXE", "Win32 Executable", "application/x-dosexec", "MS-DOS executable"},
  {25, "MSI", "Microsoft Windows Installer", "application/x-msi", "Composite Document File V2 Document, MSI Installer"},
  {26, "XML", "Generic XML", "text/xml", "XML 1.0 document, ASCII text"},
  {27, "MSG", "Outlook Message", "application/vnd.ms-outlook", "CDFV2 Microsoft Outlook Message"},
  {28, "CDR", "CorelDraw Document", "application/octet-stream", "RIFF (little-endian) data"},
  {29, "PSD", "Adobe Photoshop image", "image/vnd.adobe.photoshop", "Adobe Photoshop Image, 16 x 16, RGB"},
  {30, "DWG", "AutoCAD R2000 Drawing", "image/vnd.dwg", "DWG AutoDesk AutoCAD 2000/2002"},
  {31, "SLN", "Microsoft Visual Studio Solution", "text/plain", "UTF-8 Unicode (with BOM) text"},
  {32, "SUO", "Microsoft VisualStudio Solution User Options", "application/CDFV2", "Composite Document File V2 Document"},
  {33, "TORRENT", "Torrent file", "application/x-bittorrent", "BitTorrent file"},
  {34, "MP3", "MP3 audio (ID3 v2.x tag)", "audio/mpeg", "Audio file with ID3 version 2.4.0"},
  {35, "FLV", "Flash Video", "video/x-flv", "Macromedia Flash Video"},
  {36, "MOV", "QuickTime Movie", "video/quicktime", "ISO Media, Apple QuickTime movie, Apple QuickTime (.MOV/QT)"},
  {37, "MPG/MPEG", "MPEG Video", "video/mpeg", "MPEG sequence, v1, system multiplex"},
  {38, "M4V", "MPEG-4 Video", "video/mp4", "ISO Media, MP4 v2 [ISO 14496-14]"},
  {39, "M4A/MP4", "AAC Audio in MP4", "audio/x-m4a", "ISO Media, Apple iTunes ALAC/AAC-LC (.M4A) Audio"},
  {40, "AVI", "AVI Audio Video Interleaved", "video/x-msvideo", "RIFF (little-endian) data, AVI, 16 x 16, 25.00 fps"},
  {41, "WAV", "RIFF/WAVe standard Audio", "audio/x-wav", "RIFF (little-endian) data, WAVE audio, Microsoft PCM"},
  {42, "3GP/3GPP", "3GPP multimedia", "video/3gpp", "ISO Media, MPEG v4 system, 3GPP"},
  {43, "DAT", "VideoCD MPEG", "application/octet-stream", "RIFF (little-endian) data"},
  {44, "SWF", "Macromedia Flash Player", "application/x-shockwave-flash", "Macromedia Flash data, version 6"},
  {45, "RM", "Real Media stream", "application/vnd.rn-realmedia", "RealMedia file"},
  {46, "VMDK", "VMware 4 Virtual Disk", "application/octet-stream", "VMware4 disk image"},
  {47, "VMX", "VMware configuration", "text/plain", "ASCII text"},
  {48, "JTD", "Ichitaro document", "application/vnd.ms-office", "Composite Document File V2 Document"},
  {49, "HWP", "Hangul (Korean) Word Processor document", "application/x-hwp", "Hangul (Korean) Word Processor File 5.x"},
  {50, "WMF", "Windows Metafile", "image/x-tga", "Targa image data - Map"},
  {51, "DMG", "Macintosh Disk image (BZlib compressed)", "application/x-bzip2", "bzip2 compressed data, block size = 900k"},
  {52, "RDF", "W3C Resource Description Framework", "text/xml", "XML 1.0 document"},
  {53, "GPX", "GPS eXchange format", "text/xml", "XML 1.0 document"},
  {54, "DB", "Windows Thumbnail Database", "application/CDFV2", "Composite Document File V2 Document"},
  {55, "XEX/EXE", "Atari XE Executable", "application/x-dosdriver", "DOS executable (device driver)"},
  {56, "PUB", "Microsoft Publisher document", "application/vnd.ms-office", "Composite Document File V2 Document"},
  {57, "ATOM", "Atom Syndication Format", "text/xml", "XML 1.0 document"},
  {58, "RELS", "Open Packaging Conventions relationships", "text/xml", "XML 1.0 document"},
  {59, "RSS", "Really Simple Syndication feed", "text/xml", "XML 1.0 document"},
  {60, "AIML", "Artificial Intelligence Markup Language", "text/xml", "XML 1.0 document"},
  {61, "GLADE", "Glade project", "text/xml", "XML 1.0 document"},
  {62, "ZIR", "Compass and Ruler", "text/xml", "XML 1.0 document"},
  {63, "SMI", "Synchronized Multimedia Integration Language", "text/xml", "XML 1.0 document"},
  {64, "XAML", "Extensible Application Markup Language", "text/xml", "XML 1.0 document"},
  {65, "PHP", "PHP script", "text/x-php", "PHP script, ASCII text"},
  {66, "XSD", "XML Schema Definition", "text/xml", "XML 1.0 document"},
  {67, "KML", "Keyhole Markup Language", "text/xml", "XML 1.0 document"},
  {68, "MATHML", "Mathematical Markup Language", "text/xml", "XML 1.0 document"},
  {69, "MML", "Aleph One Marathon Markup Language", "text/xml", "XML 1.0 document"},
  {70, "POM", "Maven Project Object Model", "text/xml", "XML 1.0 document"},
  {71, "RNG", "RELAX NG schema", "text/xml", "XML 1.0 document"},
  {72, "XSPF", "XML Shareable Playlist Format", "text/xml", "XML 1.0 document"},
  {73, "WSDL", "Web Services Description Language", "text/xml", "XML 1.0 document"},
  {74, "VBS", "Visual Basic Script", "text/plain", "ASCII text"},
  {75, "ASPX", "Microsoft ASP.NET Web Form", "text/html", "HTML document, ASCII text"},
  {76, "PS1", "Windows PowerShell Script", "text/plain", "ASCII text"},
  {77, "", "", "text/plain", "ASCII text, with CRLF line terminators"},
  {77, "", "", "text/x-c", "C source, UTF-8 Unicode text"},
  {78, "", "", "application/zip", "Zip archive data, at least v2.0 to extract"},
  {78, "ELF", "Executable and Linkable Format", "application/x-sharedlib", "ELF 64-bit LSB shared object"},
  {79, "MPG//MPEG/", "Some Library Answer", "", ""},
};
// clang-format on

class RegexpRows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { table.init(); }
  static RegexpTable table;
};
RegexpTable RegexpRows::table;

TEST_F(RegexpRows, EachRowReachableFromItsAnswers) {
  ASSERT_EQ(table.rows().size(), 79u);
  std::vector<bool> reached(80, false);
  for (const Case& c : kCases) {
    EXPECT_EQ(table.matchingRow(c.sigExt, c.sigDesc, c.mime, c.magic), c.row) << c.sigExt << " / " << c.magic;
    reached[static_cast<std::size_t>(c.row)] = true;
  }
  for (int row = 1; row <= 79; ++row) EXPECT_TRUE(reached[static_cast<std::size_t>(row)]) << "row " << row;
}

TEST_F(RegexpRows, TheWinningRowWritesItsTemplates) {
  std::string t, m, d, e;
  // Literal outputs with the catalogue's description.
  ASSERT_EQ(table.check("DOC", "Microsoft Word document", "application/msword",
                        "Composite Document File V2 Document, Little Endian", t, m, d, e), 0);
  EXPECT_EQ(t + "|" + m + "|" + d + "|" + e, "DOC|application/msword|" + describe("DOC") + "|doc");
  // libmagic's own texts copied through (row 78).
  ASSERT_EQ(table.check("ELF", "Executable and Linkable Format", "application/x-sharedlib",
                        "ELF 64-bit LSB shared object", t, m, d, e), 0);
  EXPECT_EQ(t + "|" + m + "|" + d + "|" + e, "data|application/x-sharedlib|ELF 64-bit LSB shared object|elf");
}

TEST_F(RegexpRows, CapturesKeepCaseAndKeysMatchInsideLongerTexts) {
  std::string t, m, d, e;
  ASSERT_EQ(table.check("png", "Portable Network Graphics", "image/png", "PNG image data", t, m, d, e), 0);
  EXPECT_EQ(t, "png");  // matching ignores case, capturing does not
  EXPECT_EQ(e, "png");
  // ".*(DOC).*" captures just the key out of a longer extension text.
  ASSERT_EQ(table.check("XDOCX", "Microsoft Word document", "application/msword",
                        "Composite Document File V2 Document", t, m, d, e), 0);
  EXPECT_EQ(t, "DOC");
}

TEST_F(RegexpRows, EmptySignatureAnswersReachOnlyTheLibmagicRows) {
  std::string t, m, d, e;
  ASSERT_EQ(table.check("", "", "image/gif", "GIF image data, version 89a", t, m, d, e), 0);
  EXPECT_EQ(t, "data");  // row 78, not row 3
  EXPECT_EQ(d, "GIF image data, version 89a");
  EXPECT_EQ(e, "");
}

TEST_F(RegexpRows, NothingMatchesAMultiLineDescriptionOrEmptyAnswers) {
  std::string t = "keep", m = "keep", d = "keep", e = "keep";
  // "." stops at line breaks: neither row 77 nor the catch-alls take it.
  EXPECT_EQ(table.check("", "", "text/plain", "ASCII text\nsecond line", t, m, d, e), 1);
  EXPECT_EQ(table.check("", "", "", "", t, m, d, e), 1);
  EXPECT_EQ(t, "keep");
  EXPECT_EQ(m, "keep");
  EXPECT_EQ(d, "keep");
  EXPECT_EQ(e, "keep");
}

TEST_F(RegexpRows, EveryCatalogueDescriptionWasResolved) {
  // Rows whose description comes from the catalogue hold its text, never
  // the key itself.
  int fromCatalogue = 0;
  for (const RegexpRowSource& source : regexpTableRows())
    if (source.descriptionTemplate.fromCatalogue) {
      ++fromCatalogue;
      EXPECT_NO_THROW(describe(source.descriptionTemplate.value)) << source.descriptionTemplate.value;
    }
  EXPECT_EQ(fromCatalogue, 57);
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
