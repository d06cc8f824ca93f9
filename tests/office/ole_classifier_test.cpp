// Classification of compound documents: files built in code for each
// probe's edges, and real files made by an office suite cut and locked
// (what scan answers for the real files is in the golden corpus).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <iterator>

#include "archive/archive_fta_utils.h"
#include "kpl_engine.h"
#include "office/office_builders.h"
#include "test_support_process.h"

namespace kpl {
namespace {

using namespace test;

std::string fixture(const std::string& name) { return fixturesDir() + "/office/" + name; }

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

Bytes streams(const std::vector<std::pair<std::u16string, Bytes>>& list, bool msiClass = false) {
  CfbBuilder b;
  if (msiClass) b.clsid(0, msiCLSID);
  for (const auto& [name, data] : list) b.stream(name, data);
  return b.build();
}

Bytes ichitaro(std::size_t segmentSize, std::size_t nonZeroAt = 0) {
  Bytes segment(segmentSize, 0);
  if (nonZeroAt != 0) segment[nonZeroAt] = 1;
  return streams({{u"\x0004JSRV_SummaryInformation", Bytes(10, 0)},
                  {u"Font", Bytes(10, 0)},
                  {u"DocumentViewStyles", Bytes(10, 0)},
                  {u"\x0004JSRV_SegmentInformation", segment}});
}

Bytes compObj(const std::string& userType) {
  Bytes s(28, 0);
  put32(s, static_cast<uint32_t>(userType.size() + 1));
  s.insert(s.end(), userType.begin(), userType.end());
  s.resize(s.size() + 21, 0);
  return streams({{u"\x0001" "CompObj", s}});
}

Bytes installer(bool clsid, bool mergeStream, const char* signature) {
  std::vector<std::pair<std::u16string, Bytes>> list;
  const std::u16string merge(mergeModuleStream, mergeModuleStream + 10);
  if (mergeStream) list.push_back({merge + u"\x4840", Bytes(40, 3)});
  if (signature) list.push_back({std::u16string(signature, signature + std::strlen(signature)), Bytes(40, 4)});
  list.push_back({u"\x0005SummaryInformation", Bytes(40, 5)});
  return streams(list, clsid);
}

// Each probe's edges; "" means no type (OLE_NONE).
TEST(OLEClassifier, ProbesOnBuiltFiles) {
  const struct {
    Bytes file;
    const char* typeId;
  } cases[] = {
      {wordFlags(0x0001), "DOT"},
      {wordFlags(0x0101), "DOT-ENCRYPTED"},
      {wordFlags(0x0100), "DOC-ENCRYPTED"},
      {wordFlags(0x0001, 11), "DOT"},  // the encryption byte lies past the stream
      {ichitaro(96), "JTD"},
      {ichitaro(96, 95), "JTD-ENCRYPTED"},
      {ichitaro(96, 47), "JTD"},
      {ichitaro(95), ""},
      {compObj("Microsoft Office Project 2007"), "MPP"},
      {compObj("Microsoft Excel Worksheet"), ""},
      {compObj(""), ""},
      {installer(true, false, nullptr), "MSI"},
      {installer(true, true, nullptr), "MSM"},
      {installer(true, true, digitalSignature), "MSI"},
      {installer(true, true, msiDigitalSignature), "MSI"},
      {installer(false, true, digitalSignature), "MSM"},  // no installer class id
      {installer(false, false, nullptr), ""},
      {streams({{u"VisioDocument", Bytes(64, 0)}}), "VSD"},
      {streams({{u"\x0005HwpSummaryInformation", Bytes(64, 0)}}), "HWP"},
      {streams({{u"ProjInfoEx", Bytes(64, 0)}}), "SUO"},
      {streams({{u"PowerPoint Document", Bytes(64, 0)}}), "PPT"},
      {streams({{u"EncryptedPackage", Bytes(64, 0)}}), "MSO-ENCRYPTED"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Classified c = classify(cases[i].file);
    EXPECT_EQ(c.typeId, cases[i].typeId) << "case " << i;
    EXPECT_EQ(c.code == OLE_NONE, *cases[i].typeId == '\0') << "case " << i;
    EXPECT_EQ(c.encrypted, c.typeId.find("-ENCRYPTED") != std::string::npos) << "case " << i;
  }
  EXPECT_EQ(classify(streams({{u"EncryptedPackage", Bytes(64, 0)}})).mime, "application/encrypted");
}

TEST(OLEClassifier, CompressedIchitaroNeedsAnLzhBody) {
  ArchiveFTAUtils::init();  // the archive signature table decides
  const std::string marker = "JustCompressedDocument";
  auto stream = [&](std::size_t size, bool marked, std::ptrdiff_t lhAt) {
    Bytes s(size, 0);
    if (marked) std::copy(marker.begin(), marker.end(), s.begin() + 2);
    if (lhAt >= 0) std::memcpy(&s[lhAt], "-lh5-", 5);
    return classify(streams({{u"JSCompDocument", s}}));
  };
  // A marked stream with nothing after its 38-byte header is not examined.
  for (std::size_t size : {25u, 37u, 38u, 60u}) EXPECT_EQ(stream(size, true, -1).code, OLE_NONE) << size;
  // The body after the header must be an LZH archive ("-lh" at 2), not LHA.
  EXPECT_EQ(stream(80, true, 38 + 2).typeId, "JTDC");
  EXPECT_EQ(stream(80, true, 38).code, OLE_NONE);
  EXPECT_EQ(stream(80, false, 2).typeId, "JTDC");  // unmarked: the whole stream
}

// A file too short, or whose header fails the format check, or whose root has
// no children, has no type; the damaged one is reported as data by the scan
// without asking libmagic.
TEST(OLEClassifier, ShortDamagedAndChildlessFiles) {
  CfbBuilder b;
  b.stream("WordDocument", Bytes(32, 0));
  const Bytes good = b.build();
  Bytes damaged = good, childless = good;
  CfbBuilder::setU16(damaged, 0x22, 1);
  CfbBuilder::setU32(childless, b.dirEntryOffset(0) + 0x4C, 0xFFFFFFFF);
  const std::pair<Bytes, unsigned int> cases[] = {
      {Bytes(good.begin(), good.begin() + 511), OLE_NONE},
      {damaged, OLE_DAMAGED},
      {childless, OLE_NONE},
      {wordFlags(0x0001, 10), OLE_DAMAGED},  // the flags word lies past the stream
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Classified c = classify(cases[i].first);
    EXPECT_EQ(c.code, cases[i].second) << "case " << i;
    EXPECT_EQ(c.typeId, "") << "case " << i;
  }
  ASSERT_EQ(ensureEngineStarted(), 0);
  TempDir dir;
  EXPECT_EQ(scanAnswer(dir.write("damaged.doc", damaged)), "data");
}

TEST(OLEClassifier, TruncatedRealDocumentsNeverMisclassify) {
  for (const auto& [name, prefix] : {std::pair<const char*, const char*>{"word_password.doc", "DOC"},
                                     std::pair<const char*, const char*>{"excel_password.xls", "XLS"}}) {
    const std::string file = readFile(fixture(name));
    for (std::size_t n = 0; n <= file.size(); n += 11) {
      const Classified c = classify(Bytes(file.begin(), file.begin() + n));
      EXPECT_TRUE(c.code <= OLE_DAMAGED || c.typeId.substr(0, 3) == prefix) << name << " " << n << " " << c.typeId;
    }
  }
}

}  // namespace
}  // namespace kpl
