// Office Open XML, OpenDocument and XPS packages: real packages from an
// office suite and 7za, packages built here for what the suite cannot
// write, the relationship edge cases, both member-reading paths and a member
// that inflates to 256 MiB.
#include "office/ooxml_package.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <regex>

#include "archive/archive_builders.h"
#include "archive/zip_member_reader.h"
#include "common/limits.h"
#include "common/scan_input.h"
#include "detect/package_probes.h"
#include "kpl_engine.h"
#include "process_stats.h"
#include "test_support.h"

#if defined(__SANITIZE_THREAD__)
#define KPL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KPL_THREAD_SANITIZER 1
#endif
#endif

namespace kpl {
namespace {

using namespace test;

// The package code the chain's probes give: the OpenDocument kind (offset
// by 100) for an OpenDocument candidate, else the Office package code, else
// -1 for a file neither probe takes.
int packageCode(const std::string& path) {
  const ScanInput input(path);
  ZipMemberReader package(input);
  if (isOpenOfficeDocument(input)) return 100 + determineOpenOfficeDocument(package);
  if (isMSOffice2007Document(input) == 1) return classifyOfficeFileType(package);
  return -1;
}

constexpr const char* kWordMain = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
constexpr const char* kOfficeDocumentRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
constexpr const char* kXpsTypes =
    "<Types><Default Extension=\"fdseq\" "
    "ContentType=\"application/vnd.ms-package.xps-fixeddocumentsequence+xml\"/><Default Extension=\"fdoc\" "
    "ContentType=\"application/vnd.ms-package.xps-fixeddocument+xml\"/></Types>";

std::string rels(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships>" + body + "</Relationships>";
}

// A package declaring one main part of contentType. An Office writer's first
// local header reads 50 4B 03 04 14 00 06 00; otherwise version 10, no flags.
Bytes office(const std::string& contentType, const std::string& mainPart = "word/document.xml",
             const std::string& relType = kOfficeDocumentRel, bool officeHeader = false) {
  return ZipBuilder()
      .entry("[Content_Types].xml",
             "<?xml version=\"1.0\"?><Types><Override PartName=\"/" + mainPart + "\" ContentType=\"" + contentType +
                 "\"/></Types>",
             true, officeHeader ? 6 : 0, officeHeader ? 20 : 10)
      .entry("_rels/.rels", rels("<Relationship Id=\"rId1\" Type=\"" + relType + "\" Target=\"/" + mainPart + "\"/>"))
      .entry(mainPart, "<document/>")
      .bytes();
}

std::string wide(const std::string& text) {
  std::string out;
  for (char c : text) out += std::string{c, '\0'};
  return out;
}

Bytes xps(const std::string& sequence, const std::string& folder = "") {
  return ZipBuilder()
      .entry("[Content_Types].xml", kXpsTypes)
      .entry("_rels/.rels",
             rels("<Relationship Id=\"r\" Type=\"http://x/fixedrepresentation\" Target=\"/FixedDocSeq.fdseq\"/>"))
      .entry(folder + "FixedDocSeq.fdseq", sequence)
      .bytes();
}

// Packages the suite cannot write that take their own path (the content
// type to type table itself is not restated here), and the relationship
// cases, with the scan's answer.
std::vector<std::pair<std::string, Bytes>> builtPackages() {
  const auto withRels = [](const std::string& relationship) {
    return ZipBuilder()
        .entry("[Content_Types].xml", std::string("<Types ContentType=\"") + kWordMain + "\"/>")
        .entry("_rels/.rels", rels(relationship))
        .entry("word/document.xml", "<document/>")
        .bytes();
  };
  const std::string rel = kOfficeDocumentRel;
  const Bytes bothFamilies = office(
      "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/><Override ContentType=\"" +
      std::string(kWordMain));
  const Bytes binaryByName = ZipBuilder()
                                 .entry("[Content_Types].xml", "<Types/>")
                                 .entry("_rels/.rels", "")
                                 .entry("xl/workbook.bin", "\x83\x01")
                                 .bytes();
  const Bytes graphics =
      ZipBuilder()
          .entry("mimetype", "application/vnd.oasis.opendocument.graphics")
          .entry("META-INF/manifest.xml", "<manifest media-type=\"application/vnd.oasis.opendocument.graphics\"/>")
          .bytes();
  return {
      {"XLSB", office("application/vnd.ms-excel.sheet.binary.macroEnabled.main+xml", "xl/workbook.bin")},
      {"XLSB", binaryByName},
      {"VSDX", office("application/vnd.ms-visio.drawing.main+xml", "visio/document.xml",
                      "http://schemas.microsoft.com/visio/2010/relationships/document")},
      {"DOCX", office(kWordMain, "word/document.xml",
                      "http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument")},
      {"DOCX", bothFamilies},
      {"DOCX", office(kWordMain, "word/document.xml", kOfficeDocumentRel, true)},
      {"XPS", xps("<FixedDocumentSequence xmlns=\"http://schemas.microsoft.com/xps/2005/06\"/>")},
      {"OXPS", xps("<FixedDocumentSequence xmlns=\"http://schemas.openxps.org/oxps/v1.0\"/>")},
      {"OXPS", xps(wide("xmlns=\"http://schemas.openxps.org/oxps/v1.0\"") + wide("schemas.microsoft.com/xps"))},
      {"ZIP", xps("<FixedDocumentSequence/>")},
      {"ODT/ODS/ODP/OTT", graphics},
      // Relationship tags: single quotes and a target before the type are
      // read; a fourth attribute, a type without a target ahead of a good
      // tag, or a main part missing from the directory leave the package a
      // plain ZIP (the tags the splitter refuses are in the next test).
      {"DOCX", withRels("<Relationship Id='r' Type='" + rel + "' Target='word/document.xml'/>")},
      {"DOCX", withRels("<Relationship Target=\"./word/document.xml\" Id=\"r\" Type=\"" + rel + "\"/>")},
      {"ZIP", withRels("<Relationship Id=\"r\" Type=\"" + rel + "\" Target=\"word/document.xml\" TargetMode=\"x\"/>")},
      {"ZIP", withRels("<Relationship Id=\"r\" Type=\"" + rel + "\" Mode=\"x\"/><Relationship Id=\"s\" Type=\"" + rel +
                       "\" Target=\"word/document.xml\"/>")},
      {"ZIP", withRels("<Relationship Id=\"r\" Type=\"" + rel + "\" Target=\"word/missing.xml\"/>")},
  };
}

// The scan's answer for each built package, and the same package code from
// the in-process reader and from 7za, for the built and the real packages.
TEST(MSOffice2007, BuiltPackagesThroughScanAndBothReadingPaths) {
  ASSERT_EQ(ensureEngineStarted(), 0);
  TempDir dir;
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(fixturesDir() + "/office/packages"))
    paths.push_back(entry.path().string());
  for (const auto& [answer, package] : builtPackages()) {
    paths.push_back(dir.write("built" + std::to_string(paths.size()), package));
    EXPECT_EQ(scanAnswer(paths.back()), answer) << paths.back();
  }
  for (const std::string& path : paths) {
    const int inProcess = packageCode(path);
    ZipMemberReader::forceToolForTesting(true);
    EXPECT_EQ(packageCode(path), inProcess) << path;
    ZipMemberReader::forceToolForTesting(false);
    EXPECT_GE(inProcess, 0) << path;
  }
  // A sequence part in a folder counts too. 7za's "*.fdseq" matches only
  // members at the top, so this is the one package the fallback path
  // answers differently (as ZIP).
  const std::string schema = "<FixedDocumentSequence xmlns=\"http://schemas.microsoft.com/xps/2005/06\"/>";
  EXPECT_EQ(scanAnswer(dir.write("folder.xps", xps(schema, "Documents/1/"))), "XPS");
}

// The pattern the relationship tags are read with, written as a regular
// expression; the linear splitter must pick the same groups.
TEST(MSOffice2007, RelationshipTagsSplitLikeThePattern) {
  const std::vector<std::string> tags = {
      "Relationship Id=\"r\" Type=\"t\" Target=\"/word/document.xml\"/",
      "relationship Id='r' Type='t' Target='x'",
      "Relationship Target=\"x\" Id=\"r\" Type=\"t\"",
      "Relationship Id=\"r\" Type=\"t\" Target=\"x\" TargetMode=\"External\"/",
      "Relationship Id=\"r\"\nType=\"t\" Target=\"x\"",
      "Relationship Id=\"r\" Type=\"t\"",
      "Relationship Id=\"a\" b\" Type=\"t=\"u\" Target=\"x\"\" \"",
      "Relationship Id='r' Type=\"t\" Target='x'",
      "Relationships xmlns=\"x\"",
      "Relationship =\"\" =\"\" =\"\"",
      "Relationship a=\"b\" c=\"d\" e=\"f\"\r",
  };
  const std::regex doubleQuoted("Relationship (.+)=[\"](.+)[\"] (.+)=[\"](.+)[\"] (.+)=[\"](.+)[\"](.+)?",
                                std::regex::ECMAScript | std::regex::icase);
  const std::regex singleQuoted("Relationship (.+)=['](.+)['] (.+)=['](.+)['] (.+)=['](.+)['](.+)?",
                                std::regex::ECMAScript | std::regex::icase);
  for (const std::string& tag : tags) {
    std::smatch m;
    const bool expected = std::regex_match(tag, m, doubleQuoted) || std::regex_match(tag, m, singleQuoted);
    std::string pairs[3][2];
    ASSERT_EQ(MSOffice2007::splitRelationshipTag(tag, pairs), expected) << tag;
    if (!expected) continue;
    for (int k = 0; k < 6; ++k) EXPECT_EQ(pairs[k / 2][k % 2], m[k + 1].str()) << tag << " group " << k + 1;
  }
}

// A package of a few hundred KiB whose "[Content_Types].xml" inflates to
// 256 MiB (of zeros, from a sparse file): reading it costs the output cap,
// not the member's size.
TEST(MSOffice2007, InflatingMemberStopsAtTheCap) {
  TempDir dir;
  const std::string zeros = dir.write("zeros", std::string()), path = dir.path() + "/bomb.docx";
  ASSERT_EQ(::truncate(zeros.c_str(), 256 << 20), 0);
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  const std::string body = rels("<Relationship Id=\"r\" Type=\"relationships/officeDocument\" Target=\"a.xml\"/>");
  zip_file_add(archive, "[Content_Types].xml", zip_source_file(archive, zeros.c_str(), 0, 0), 0);
  zip_file_add(archive, "_rels/.rels", zip_source_buffer(archive, body.data(), body.size(), 0), 0);
  zip_file_add(archive, "a.xml", zip_source_buffer(archive, "<a/>", 4, 0), 0);
  ASSERT_EQ(zip_close(archive), 0);
  ASSERT_LT(InputFile(path).size(), 16u << 20);

  const long before = peakResidentKiB();
  EXPECT_EQ(packageCode(path), MSO_ZIP);
  const long grown = peakResidentKiB() - before;
#if KPL_THREAD_SANITIZER
  // ThreadSanitizer's shadow memory, several times what the program
  // touches, is counted in the resident size.
  (void)grown;
#else
  EXPECT_LT(grown, static_cast<long>((limits::kMaxExtractOutputBytes + (32u << 20)) / 1024)) << grown << " KiB";
#endif
}

// libzip keeps every entry a ZIP64 directory lists, and that directory may
// list millions: a package with a ZIP64 locator is read by 7za, with the
// same answer.
TEST(MSOffice2007, Zip64PackageIsReadOutsideTheProcess) {
  Bytes zip = office(kWordMain);
  const std::size_t end = zip.size() - 22;
  const uint64_t entries = zip[end + 10], directorySize = loadU32LE(&zip[end + 12]);
  Bytes records(76, 0);  // the ZIP64 end record, then its locator (8-byte fields, high halves zero)
  put(records, {{0, 4, 0x06064B50}, {4, 4, 44}, {12, 2, 45}, {14, 2, 45}, {24, 4, entries}, {32, 4, entries},
                {40, 4, directorySize}, {48, 4, loadU32LE(&zip[end + 16])}, {56, 4, 0x07064B50}, {64, 4, end},
                {72, 4, 1}});
  zip.insert(zip.begin() + static_cast<std::ptrdiff_t>(end), records.begin(), records.end());
  TempDir dir;
  const std::string path = dir.write("zip64.docx", zip);
  const ScanInput input(path);
  ZipMemberReader package(input);
  const ZipMemberOutput* types = package.read("[Content_Types].xml");
  ASSERT_NE(types, nullptr);
  EXPECT_TRUE(types->fromTool);
  EXPECT_NE(types->bytes.find(kWordMain), std::string::npos);
  EXPECT_EQ(packageCode(path), MSO_DOCX);
}

}  // namespace
}  // namespace kpl
