// Classification of compound documents: real files made by an office suite
// and an installer tool (classified end to end through scan), and files
// built in code for each probe's edges.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive_fta_utils.h"
#include "detect/file_type_catalogue.h"
#include "kpl_engine.h"
#include "office/office_builders.h"
#include "test_support_process.h"

namespace kpl {
namespace {

using namespace test;

std::string fixture(const std::string& name) { return fixturesDir() + "/office/" + name; }

// The scan answer's "typeID" and "encrypted" fields.
std::string scanAnswer(const std::string& path) {
  unsigned int status = 0;
  const char* json = nullptr;
  if (::scan(path.c_str(), &status, &json) != 0 || json == nullptr) return "no answer";
  std::string text = json;
  ::freeString(&json);
  const std::size_t at = text.find("\"typeID\":\"");
  if (at == std::string::npos) return text;
  const std::size_t from = at + 10;
  const bool encrypted = text.find("\"encrypted\":true") != std::string::npos;
  return text.substr(from, text.find('"', from) - from) + (encrypted ? " encrypted" : "");
}

TEST(OLEClassifier, RealDocumentsThroughScan) {
  ASSERT_EQ(ensureEngineStarted(), 0);
  EXPECT_EQ(scanAnswer(fixture("word.doc")), "DOC");
  EXPECT_EQ(scanAnswer(fixture("word_template.dot")), "DOT");
  EXPECT_EQ(scanAnswer(fixture("word_password.doc")), "DOC-ENCRYPTED encrypted");
  EXPECT_EQ(scanAnswer(fixture("excel.xls")), "XLS");
  // The suite writes no Template record into its Excel templates, and that
  // record is the only template mark a workbook stream has.
  EXPECT_EQ(scanAnswer(fixture("excel_template.xlt")), "XLS");
  EXPECT_EQ(scanAnswer(fixture("excel_password.xls")), "XLS-ENCRYPTED encrypted");
  EXPECT_EQ(scanAnswer(fixture("powerpoint.ppt")), "PPT");
  EXPECT_EQ(scanAnswer(fixture("installer.msi")), "MSI");

  // Built ones: an encrypted Office Open XML package, and a damaged header,
  // which is reported as data without asking libmagic.
  TempDir dir;
  CfbBuilder b;
  b.stream("EncryptionInfo", Bytes(200, 1));
  b.stream("EncryptedPackage", Bytes(300, 2));
  EXPECT_EQ(scanAnswer(dir.write("enc.docx", b.build())), "MSO-ENCRYPTED encrypted");
  Bytes damaged = CfbBuilder().build();
  CfbBuilder::setU32(damaged, 0x38, 1);
  EXPECT_EQ(scanAnswer(dir.write("damaged.doc", damaged)), "data");
}

TEST(OLEClassifier, EncryptedWordFileWithoutWriteAccess) {
  TempDir dir;
  const std::string path = dir.write("locked.doc", readFile(fixture("word_password.doc")));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  // Where the test can, it drops to a user that cannot write the file; as
  // anyone else the cleared write bits already forbid writing.
  const int rc = runInChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 3;
    if (::access(path.c_str(), W_OK) == 0) return 4;
    Classified c;
    c.code = OLEFTAUtil::isOLEFileType(path, 9216, c.typeId, c.mime, c.extensions, c.description, c.encrypted);
    return c.code == OLE_DOC && c.typeId == "DOC-ENCRYPTED" && c.encrypted ? 0 : 5;
  });
  EXPECT_EQ(rc, 0);
}

Bytes wordFlags(uint16_t flags, std::size_t size = 32) {
  Bytes stream(size, 0);
  if (size >= 12) CfbBuilder::setU16(stream, 10, flags);
  else if (size == 11) stream[10] = static_cast<uint8_t>(flags);
  CfbBuilder b;
  b.stream("WordDocument", stream);
  b.stream("Workbook", bof());
  return b.build();
}

TEST(OLEClassifier, WordFlagsWord) {
  Classified c = classify(wordFlags(0x0101));
  EXPECT_EQ(c.code, OLE_DOT);
  EXPECT_EQ(c.typeId, "DOT-ENCRYPTED");
  EXPECT_EQ(c.extensions, "dot");
  EXPECT_EQ(c.description, describe("DOT-ENCRYPTED"));
  EXPECT_TRUE(c.encrypted);
  c = classify(wordFlags(0x0001));
  EXPECT_EQ(c.typeId, "DOT");
  EXPECT_FALSE(c.encrypted);
  EXPECT_EQ(classify(wordFlags(0x0100)).typeId, "DOC-ENCRYPTED");
  EXPECT_EQ(classify(wordFlags(0x0001, 11)).typeId, "DOT") << "the encryption byte lies past the stream";
  EXPECT_EQ(classify(wordFlags(0x0001, 10)).code, OLE_DAMAGED);
}

Bytes ichitaro(std::size_t segmentSize, std::size_t nonZeroAt = 0) {
  Bytes segment(segmentSize, 0);
  if (nonZeroAt != 0) segment[nonZeroAt] = 1;
  CfbBuilder b;
  b.stream(u"\x0004JSRV_SummaryInformation", Bytes(10, 0));
  b.stream("Font", Bytes(10, 0));
  b.stream("DocumentViewStyles", Bytes(10, 0));
  b.stream(u"\x0004JSRV_SegmentInformation", segment);
  return b.build();
}

TEST(OLEClassifier, IchitaroSegmentInformation) {
  EXPECT_EQ(classify(ichitaro(96)).typeId, "JTD");
  EXPECT_EQ(classify(ichitaro(96, 95)).typeId, "JTD-ENCRYPTED");
  EXPECT_EQ(classify(ichitaro(96, 47)).typeId, "JTD");
  EXPECT_EQ(classify(ichitaro(95)).code, OLE_NONE);
}

Bytes compObj(const std::string& userType) {
  Bytes s(28, 0);
  put32(s, static_cast<uint32_t>(userType.size() + 1));
  s.insert(s.end(), userType.begin(), userType.end());
  s.push_back(0);
  s.resize(s.size() + 20, 0);
  CfbBuilder b;
  b.stream(u"\x0001" "CompObj", s);
  return b.build();
}

TEST(OLEClassifier, ProjectPlanByCompObjUserType) {
  EXPECT_EQ(classify(compObj("Microsoft Office Project 2007")).typeId, "MPP");
  EXPECT_EQ(classify(compObj("Microsoft Excel Worksheet")).code, OLE_NONE);
  EXPECT_EQ(classify(compObj("")).code, OLE_NONE);
}

Bytes installer(bool clsid, bool mergeStream, const char* signature) {
  CfbBuilder b;
  if (clsid) b.clsid(0, msiCLSID);
  std::u16string merge(mergeModuleStream, mergeModuleStream + 10);
  if (mergeStream) b.stream(merge + u"\x4840", Bytes(40, 3));
  if (signature != nullptr) b.stream(std::string(signature), Bytes(40, 4));
  b.stream(u"\x0005SummaryInformation", Bytes(40, 5));
  return b.build();
}

TEST(OLEClassifier, InstallerPackagesAndMergeModules) {
  EXPECT_EQ(classify(installer(true, false, nullptr)).typeId, "MSI");
  EXPECT_EQ(classify(installer(true, true, nullptr)).typeId, "MSM");
  EXPECT_EQ(classify(installer(true, true, digitalSignature)).typeId, "MSI");
  EXPECT_EQ(classify(installer(true, true, msiDigitalSignature)).typeId, "MSI");
  EXPECT_EQ(classify(installer(false, true, digitalSignature)).typeId, "MSM") << "no installer class id";
  EXPECT_EQ(classify(installer(false, false, nullptr)).code, OLE_NONE);
}

TEST(OLEClassifier, SingleStreamMarkers) {
  const struct {
    std::u16string stream;
    const char* typeId;
  } cases[] = {{u"VisioDocument", "VSD"},
               {u"\x0005HwpSummaryInformation", "HWP"},
               {u"ProjInfoEx", "SUO"},
               {u"EncryptedPackage", "MSO-ENCRYPTED"},
               {u"PowerPoint Document", "PPT"}};
  for (const auto& k : cases) {
    CfbBuilder b;
    b.stream(k.stream, Bytes(64, 0));
    const Classified c = classify(b.build());
    EXPECT_EQ(c.typeId, k.typeId);
    EXPECT_EQ(c.description, describe(k.typeId));
  }
  CfbBuilder b;
  b.stream("EncryptedPackage", Bytes(64, 0));
  const Classified c = classify(b.build());
  EXPECT_TRUE(c.encrypted);
  EXPECT_EQ(c.mime, "application/encrypted");
  EXPECT_EQ(c.extensions, "docx,docm,xlsx,xlsb,xlsm,xltx,xltm,pptx,pptm,ppsx,ppsm,potx,potm");
}

TEST(OLEClassifier, CompressedIchitaroNeedsAnLzhBody) {
  ArchiveFTAUtils::init();  // the archive signature table decides
  const std::string marker = "JustCompressedDocument";
  auto stream = [&](std::size_t size, bool marked, std::ptrdiff_t lhAt) {
    Bytes s(size, 0);
    if (marked) std::copy(marker.begin(), marker.end(), s.begin() + 2);
    if (lhAt >= 0) {
      const std::string lh = "-lh5-";
      std::copy(lh.begin(), lh.end(), s.begin() + lhAt);
    }
    CfbBuilder b;
    b.stream("JSCompDocument", s);
    return classify(b.build());
  };
  // A marked stream with nothing after its 38-byte header is not examined.
  for (std::size_t size : {25u, 37u, 38u, 60u}) EXPECT_EQ(stream(size, true, -1).code, OLE_NONE) << size;
  // The body after the header must be an LZH archive ("-lh" at 2), not LHA.
  EXPECT_EQ(stream(80, true, 38 + 2).typeId, "JTDC");
  EXPECT_EQ(stream(80, true, 38).code, OLE_NONE);
  EXPECT_EQ(stream(80, false, 2).typeId, "JTDC");  // unmarked: the whole stream
}

TEST(OLEClassifier, ShortDamagedAndEmptyFiles) {
  CfbBuilder b;
  b.stream("WordDocument", Bytes(32, 0));
  const Bytes good = b.build();
  Classified c = classify(Bytes(good.begin(), good.begin() + 511));
  EXPECT_EQ(c.code, OLE_NONE);
  EXPECT_TRUE(c.typeId.empty());
  Bytes badHeader = good;
  CfbBuilder::setU16(badHeader, 0x22, 1);
  c = classify(badHeader);
  EXPECT_EQ(c.code, OLE_DAMAGED);
  EXPECT_TRUE(c.typeId.empty()) << "the record is left to the caller";
  Bytes childless = good;
  CfbBuilder::setU32(childless, b.dirEntryOffset(0) + 0x4C, 0xFFFFFFFF);
  EXPECT_EQ(classify(childless).code, OLE_NONE);
}

TEST(OLEClassifier, TruncatedRealDocumentsNeverMisclassify) {
  const std::string word = readFile(fixture("word_password.doc"));
  const std::string excel = readFile(fixture("excel_password.xls"));
  TempDir dir;
  for (const auto& [file, expected] : {std::pair<const std::string&, std::string>{word, "DOC-ENCRYPTED"},
                                       std::pair<const std::string&, std::string>{excel, "XLS"}}) {
    for (std::size_t n = 0; n <= file.size(); n += 11) {
      const std::string path = dir.write("t", file.substr(0, n));
      Classified c;
      c.code = OLEFTAUtil::isOLEFileType(path, n, c.typeId, c.mime, c.extensions, c.description, c.encrypted);
      if (c.code <= OLE_DAMAGED) continue;
      EXPECT_EQ(c.typeId.substr(0, 3), expected.substr(0, 3)) << n;
    }
  }
}

TEST(OLEClassifier, ResultRowsNameCatalogueTypes) {
  for (std::size_t i = 0; i < kOLEResultRowCount; ++i) {
    EXPECT_NO_THROW(describe(kOLEResultRows[i].typeId));
    if (kOLEResultRows[i].encryptedTypeId != nullptr) {
      EXPECT_NO_THROW(describe(kOLEResultRows[i].encryptedTypeId));
    }
  }
}

}  // namespace
}  // namespace kpl
