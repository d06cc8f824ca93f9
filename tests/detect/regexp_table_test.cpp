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
  const char* typeId;
  const char* outMime;
  const char* description;  // "=X": the catalogue's description of X
  const char* extensions;
};

// clang-format off
// One case per row that four answers can reach, each built to land on its
// row rather than an earlier one.
const Case kCases[] = {
  { 1, "PNG", "Portable Network Graphics", "image/png", "PNG image data, 16 x 16, 8-bit/color RGB", "PNG", "image/png", "Portable Network Graphics", "png"},
  { 2, "JPG/JPEG", "JPEG Bitmap", "image/jpeg", "JPEG image data, JFIF standard 1.01", "JPG", "image/jpeg", "=JPG", "jpg,jpeg"},
  { 3, "GIF", "Graphics Interchange Format", "image/gif", "GIF image data, version 89a, 16 x 16", "GIF", "image/gif", "=GIF", "gif"},
  { 4, "TIF/TIFF", "Tagged Image File Format", "image/tiff", "TIFF image data, little-endian", "TIFF", "image/tiff", "=TIFF", "tif,tiff"},
  { 5, "SVG", "Scalable Vector Graphics", "image/svg+xml", "SVG Scalable Vector Graphics image", "SVG", "image/svg+xml", "=SVG", "svg"},
  { 6, "AI", "Adobe Illustrator graphics", "application/pdf", "PDF document, version 1.5", "AI", "application/illustrator", "=AI", "ai"},
  { 7, "DOC", "Microsoft Word document", "application/msword", "Composite Document File V2 Document, Little Endian", "DOC", "application/msword", "=DOC", "doc"},
  { 8, "DOC/XML", "Microsoft Word 2003 XML Document", "text/xml", "XML 1.0 document, ASCII text", "XML-DOC", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "=XML-DOC", "xml,doc"},
  { 9, "XLS", "Microsoft Excel sheet", "application/vnd.ms-excel", "Composite Document File V2 Document", "XLS", "application/vnd.ms-excel", "=XLS", "xls,xla"},
  {10, "XLS/XML", "Microsoft Excel 2003 XML Spreadsheet", "text/xml", "XML 1.0 document", "XML-XLS", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", "=XML-XLS", "xml,xls"},
  {11, "PPT", "Microsoft PowerPoint document", "application/vnd.ms-powerpoint", "CDF V2 Document, corrupt", "PPT", "application/vnd.ms-powerpoint", "=PPT", "ppt"},
  {12, "DOCX", "Word Microsoft Office Open XML Format document", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "Microsoft Word 2007+", "DOCX", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "=DOCX", "docm,docx"},
  {13, "DOCX/XML", "Microsoft Word XML Document", "text/xml", "XML 1.0 document", "XML-DOCX", "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "=XML-DOCX", "xml,docx"},
  {14, "XLSX", "Excel Microsoft Office Open XML Format document", "application/octet-stream", "Microsoft OOXML", "XLSX", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", "=XLSX", "xlsm,xlsx"},
  {15, "PPTX", "PowerPoint Microsoft Office Open XML Format document", "application/vnd.openxmlformats-officedocument.presentationml.presentation", "Microsoft PowerPoint 2007+", "PPTX", "application/vnd.openxmlformats-officedocument.presentationml.presentation", "=PPTX", "pptm,pptx"},
  {16, "PPTX/XML", "Microsoft Powerpoint XML Presentation", "text/xml", "XML 1.0 document", "XML-PPTX", "application/vnd.openxmlformats-officedocument.presentationml.presentation", "=XML-PPTX", "xml,pptx"},
  {17, "BMP", "Windows Bitmap", "image/bmp", "PC bitmap, Windows 3.x format", "data", "application/octet-stream", "data", "data"},
  {18, "ICO", "Windows Icon", "image/x-icon", "MS Windows icon resource - 1 icon", "ICO", "image/x-icon", "=ICO", "ico"},
  {19, "PDF", "Adobe Portable Document Format", "application/pdf", "PDF document, version 1.4", "PDF", "application/pdf", "=PDF", "pdf,ai"},
  {20, "HTML/HTM", "HyperText Markup Language", "text/html", "HTML document, ASCII text", "HTML", "text/html", "=HTML", "htm,html"},
  {21, "RTF", "Rich Text Format", "text/rtf", "Rich Text Format data, version 1", "RTF", "text/rtf", "=RTF", "rtf"},
  {22, "DLL", "Win32 Dynamic Link Library", "application/x-dosexec", "PE32 executable (DLL) (GUI) Intel 80386, for MS Windows", "DLL", "application/x-dosexec", "=DLL", "dll,ocx,ax"},
  {23, "EXE", "Win32 Executable", "application/x-dosexec", "PE32 executable (GUI) Intel 80386, Nullsoft Installer self-extracting archive", "EXE_SFX", "application/x-dosexec", "=EXE_SFX", "exe"},
  {24, "EXE", "Win32 Executable", "application/x-dosexec", "MS-DOS executable", "EXE", "application/x-dosexec", "=EXE", "exe,com,dll,sys"},
  {25, "MSI", "Microsoft Windows Installer", "application/x-msi", "Composite Document File V2 Document, MSI Installer", "MSI", "application/x-msi", "=MSI", "msi"},
  {26, "XML", "Generic XML", "text/xml", "XML 1.0 document, ASCII text", "XML", "text/xml", "=XML", "xml"},
  {27, "MSG", "Outlook Message", "application/vnd.ms-outlook", "CDFV2 Microsoft Outlook Message", "MSG", "application/vnd.ms-outlook", "=MSG", "msg"},
  {28, "CDR", "CorelDraw Document", "application/octet-stream", "RIFF (little-endian) data", "CDR", "application/octet-stream", "=CDR", "cdr"},
  {29, "PSD", "Adobe Photoshop image", "image/vnd.adobe.photoshop", "Adobe Photoshop Image, 16 x 16, RGB", "PSD", "image/vnd.adobe.photoshop", "=PSD", "psd"},
  {30, "DWG", "AutoCAD R2000 Drawing", "image/vnd.dwg", "DWG AutoDesk AutoCAD 2000/2002", "DWG", "image/vnd.dwg", "AutoCAD R2000 Drawing", "dwg"},
  {31, "SLN", "Microsoft Visual Studio Solution", "text/plain", "UTF-8 Unicode (with BOM) text", "SLN", "text/plain", "Microsoft Visual Studio Solution", "sln"},
  {32, "SUO", "Microsoft VisualStudio Solution User Options", "application/CDFV2", "Composite Document File V2 Document", "SUO", "application/CDFV2", "=SUO", "suo"},
  {33, "TORRENT", "Torrent file", "application/x-bittorrent", "BitTorrent file", "TORRENT", "application/x-bittorrent", "BitTorrent file", "torrent"},
  {34, "MP3", "MP3 audio (ID3 v2.x tag)", "audio/mpeg", "Audio file with ID3 version 2.4.0", "MP3", "audio/mpeg", "=MP3", "mp3"},
  {35, "FLV", "Flash Video", "video/x-flv", "Macromedia Flash Video", "FLV", "video/x-flv", "=FLV", "flv"},
  {36, "MOV", "QuickTime Movie", "video/quicktime", "ISO Media, Apple QuickTime movie, Apple QuickTime (.MOV/QT)", "MOV", "video/quicktime", "Apple QuickTime movie", "mov"},
  {37, "MPG/MPEG", "MPEG Video", "video/mpeg", "MPEG sequence, v1, system multiplex", "MPG/MPEG", "video/mpeg", "=MPG/MPEG", "mpg,mpeg"},
  {38, "M4V", "MPEG-4 Video", "video/mp4", "ISO Media, MP4 v2 [ISO 14496-14]", "M4V", "video/mp4", "=M4V", "mp4,m4v"},
  {39, "M4A/MP4", "AAC Audio in MP4", "audio/x-m4a", "ISO Media, Apple iTunes ALAC/AAC-LC (.M4A) Audio", "M4A/MP4", "audio/x-m4a", "AAC Audio in MP4", "m4a,m4r"},
  {40, "AVI", "AVI Audio Video Interleaved", "video/x-msvideo", "RIFF (little-endian) data, AVI, 16 x 16, 25.00 fps", "AVI", "video/x-msvideo", "=AVI", "avi"},
  {41, "WAV", "RIFF/WAVe standard Audio", "audio/x-wav", "RIFF (little-endian) data, WAVE audio, Microsoft PCM", "WAV", "audio/x-wav", "=WAV", "wav"},
  {42, "3GP/3GPP", "3GPP multimedia", "video/3gpp", "ISO Media, MPEG v4 system, 3GPP", "3GP/3GPP", "video/3gpp", "3GPP multimedia", "3gp,3g2"},
  {43, "DAT", "VideoCD MPEG", "application/octet-stream", "RIFF (little-endian) data", "DAT", "video/x-mpeg", "VideoCD MPEG", "mpg,dat"},
  {44, "SWF", "Macromedia Flash Player", "application/x-shockwave-flash", "Macromedia Flash data, version 6", "SWF", "application/x-shockwave-flash", "=SWF", "swf"},
  {45, "RM", "Real Media stream", "application/vnd.rn-realmedia", "RealMedia file", "RM", "application/vnd.rn-realmedia", "=RM", "rm"},
  {46, "VMDK", "VMware 4 Virtual Disk", "application/octet-stream", "VMware4 disk image", "VMDK", "application/octet-stream", "=VMDK", "vmdk"},
  {47, "VMX", "VMware configuration", "text/plain", "ASCII text", "VMX", "text/plain", "=VMX", "vmx"},
  {48, "JTD", "Ichitaro document", "application/vnd.ms-office", "Composite Document File V2 Document", "JTD", "application/vnd.ms-office", "=JTD", "jtd"},
  {49, "HWP", "Hangul (Korean) Word Processor document", "application/x-hwp", "Hangul (Korean) Word Processor File 5.x", "HWP", "application/x-hwp", "=HWP", "hwp"},
  {50, "WMF", "Windows Metafile", "image/x-tga", "Targa image data - Map", "WMF", "application/octet-stream", "=WMF", "wmf"},
  {51, "DMG", "Macintosh Disk image (BZlib compressed)", "application/x-bzip2", "bzip2 compressed data, block size = 900k", "DMG", "application/x-apple-diskimage", "=DMG", "dmg"},
  {52, "RDF", "W3C Resource Description Framework", "text/xml", "XML 1.0 document", "RDF", "text/xml", "=RDF", "rdf"},
  {53, "GPX", "GPS eXchange format", "text/xml", "XML 1.0 document", "GPX", "text/xml", "=GPX", "xml,gpx"},
  {54, "DB", "Windows Thumbnail Database", "application/CDFV2", "Composite Document File V2 Document", "DB", "application/CDFV2", "Windows Thumbnail Database", "db"},
  {55, "XEX/EXE", "Atari XE Executable", "application/x-dosdriver", "DOS executable (device driver)", "XEX/EXE", "application/x-dosdriver", "=XEX/EXE", "xex,exe"},
  {56, "PUB", "Microsoft Publisher document", "application/vnd.ms-office", "Composite Document File V2 Document", "PUB", "application/vnd.ms-office", "=PUB", "pub"},
  {57, "ATOM", "Atom Syndication Format", "text/xml", "XML 1.0 document", "ATOM", "text/xml", "=ATOM", "atom,xml"},
  {58, "RELS", "Open Packaging Conventions relationships", "text/xml", "XML 1.0 document", "RELS", "text/xml", "=RELS", "rels,xml"},
  {59, "RSS", "Really Simple Syndication feed", "text/xml", "XML 1.0 document", "RSS", "text/xml", "=RSS", "rss,xml"},
  {60, "AIML", "Artificial Intelligence Markup Language", "text/xml", "XML 1.0 document", "AIML", "text/xml", "=AIML", "aiml,xml"},
  {61, "GLADE", "Glade project", "text/xml", "XML 1.0 document", "GLADE", "text/xml", "Glade project", "glade,xml"},
  {62, "ZIR", "Compass and Ruler", "text/xml", "XML 1.0 document", "ZIR", "text/xml", "=ZIR", "zir,xml"},
  {63, "SMI", "Synchronized Multimedia Integration Language", "text/xml", "XML 1.0 document", "SMI", "text/xml", "Synchronized Multimedia Integration Language", "smi,xml"},
  {64, "XAML", "Extensible Application Markup Language", "text/xml", "XML 1.0 document", "XAML", "text/xml", "Extensible Application Markup Language", "xaml,xml"},
  {65, "PHP", "PHP script", "text/x-php", "PHP script, ASCII text", "PHP", "text/x-php", "=PHP", "php"},
  {66, "XSD", "XML Schema Definition", "text/xml", "XML 1.0 document", "XSD", "text/xml", "=XSD", "xsd,xml"},
  {67, "KML", "Keyhole Markup Language", "text/xml", "XML 1.0 document", "KML", "text/xml", "Keyhole Markup Language", "kml,xml"},
  {68, "MATHML", "Mathematical Markup Language", "text/xml", "XML 1.0 document", "MATHML", "text/xml", "Mathematical Markup Language", "mathml,xml"},
  {69, "MML", "Aleph One Marathon Markup Language", "text/xml", "XML 1.0 document", "MML", "text/xml", "Aleph One Marathon Markup Language", "mml,xml"},
  {70, "POM", "Maven Project Object Model", "text/xml", "XML 1.0 document", "POM", "text/xml", "Maven Project Object Model", "pom"},
  {71, "RNG", "RELAX NG schema", "text/xml", "XML 1.0 document", "RNG", "text/xml", "RELAX NG", "rng,xml"},
  {72, "XSPF", "XML Shareable Playlist Format", "text/xml", "XML 1.0 document", "XSPF", "text/xml", "XML Shareable Playlist Format", "xspf,xml"},
  {73, "WSDL", "Web Services Description Language", "text/xml", "XML 1.0 document", "WSDL", "application/wsdl+xml", "Web Services Description Language", "wsdl,xml"},
  {74, "VBS", "Visual Basic Script", "text/plain", "ASCII text", "VBS", "text/vbs", "=VBS", "vbs"},
  {75, "ASPX", "Microsoft ASP.NET Web Form", "text/html", "HTML document, ASCII text", "ASPX", "text/html", "=ASPX", "asp,aspx"},
  {76, "PS1", "Windows PowerShell Script", "text/plain", "ASCII text", "PS1", "text/powershell-script", "=PS1", "ps1"},
  {77, "", "", "text/plain", "ASCII text, with CRLF line terminators", "TXT", "text/plain", "=TXT", "txt"},
  {77, "", "", "text/x-c", "C source, UTF-8 Unicode text", "TXT", "text/x-c", "=TXT", "txt"},
  {78, "", "", "application/zip", "Zip archive data, at least v2.0 to extract", "data", "application/zip", "Zip archive data, at least v2.0 to extract", ""},
  {78, "ELF", "Executable and Linkable Format", "application/x-sharedlib", "ELF 64-bit LSB shared object", "data", "application/x-sharedlib", "ELF 64-bit LSB shared object", "elf"},
  {79, "MPG//MPEG/", "Some Library Answer", "", "", "data", "MPG//MPEG/", "Some Library Answer", "mpg,mpeg,"},
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
  for (const Case& c : kCases) {
    SCOPED_TRACE("row " + std::to_string(c.row) + " for " + c.sigExt + " / " + c.magic);
    std::string typeId = "?", mime = "?", description = "?", extensions = "?";
    ASSERT_EQ(table.check(c.sigExt, c.sigDesc, c.mime, c.magic, typeId, mime, description, extensions), 0);
    EXPECT_EQ(typeId, c.typeId);
    EXPECT_EQ(mime, c.outMime);
    std::string expected = c.description[0] == '=' ? describe(c.description + 1) : c.description;
    EXPECT_EQ(description, expected);
    EXPECT_EQ(extensions, c.extensions);
  }
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
