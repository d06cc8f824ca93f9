// Classification of compound documents: files built in code for each
// probe's edges, a real file locked against writing (what scan answers for
// the real files is in the golden corpus), and the encrypted-or-not verdicts
// for Excel and PowerPoint files built from the published record layouts,
// with verifiers from an independent implementation: the documented default
// password and the alternative spelling both mean "not encrypted", a user
// password means encrypted. The verifiers also hold the hash and cipher
// primitives to the paths the product takes through them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <iterator>

#include "archive/archive_fta_utils.h"
#include "kpl_engine.h"
#include "office/compound_file.h"
#include "office/legacy_encryption.h"
#include "office/office_builders.h"
#include "test_support_process.h"

namespace kpl {
namespace {

using namespace test;

TEST(OLEClassifier, EncryptedWordFileWithoutWriteAccess) {
  TempDir dir;
  const std::string path = dir.write("locked.doc", readFile(fixturesDir() + "/office/word_password.doc"));
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

Bytes streams(const std::vector<std::pair<std::u16string, Bytes>>& list, bool msiClass = false) {
  CfbBuilder b;
  if (msiClass) b.clsid(0, msiCLSID);
  for (const auto& [name, data] : list) b.stream(name, data);
  return b.build();
}

Bytes wordFlags(uint16_t flags, std::size_t size = 32) {
  Bytes stream(size, 0);
  if (size >= 12) CfbBuilder::setU16(stream, 10, flags);
  else if (size == 11) stream[10] = static_cast<uint8_t>(flags);
  return streams({{u"WordDocument", stream}, {u"Workbook", bof()}});
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

// Each probe's edges the fixtures do not show; "" means no type (OLE_NONE).
TEST(OLEClassifier, ProbesOnBuiltFiles) {
  const struct {
    Bytes file;
    const char* typeId;
  } cases[] = {
      {wordFlags(0x0101), "DOT-ENCRYPTED"},
      {wordFlags(0x0001, 11), "DOT"},  // the encryption byte lies past the stream
      {ichitaro(96), "JTD"},
      {ichitaro(96, 95), "JTD-ENCRYPTED"},
      {ichitaro(96, 47), "JTD"},
      {ichitaro(95), ""},
      {compObj("Microsoft Office Project 2007"), "MPP"},
      {compObj("Microsoft Excel Worksheet"), ""},
      {compObj(""), ""},
      {installer(true, true, nullptr), "MSM"},
      {installer(true, true, digitalSignature), "MSI"},
      {installer(true, true, msiDigitalSignature), "MSI"},
      {installer(false, true, digitalSignature), "MSM"},  // no installer class id
      {installer(false, false, nullptr), ""},
      {streams({{u"VisioDocument", Bytes(64, 0)}}), "VSD"},
      {streams({{u"\x0005HwpSummaryInformation", Bytes(64, 0)}}), "HWP"},
      {streams({{u"ProjInfoEx", Bytes(64, 0)}}), "SUO"},
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

const char* const kUser = "secret";
const Bytes kWindow1 = biffRecord(0x003D, Bytes(18, 0));
const Bytes kFiller = biffRecord(0x00E1, Bytes(2, 0));
const Bytes kXorPass = biffRecord(0x002F, Bytes(6, 0));

std::string excel(const std::vector<Bytes>& records) {
  Bytes stream;
  for (const Bytes& r : records) append(stream, r);
  append(stream, biffRecord(0x000A, {}));
  const Classified c = classify(streams({{u"Workbook", stream}}));
  EXPECT_EQ(c.encrypted, c.typeId.find("-ENCRYPTED") != std::string::npos);
  return c.typeId;
}
std::string excelVerdict(const Bytes& filePass) { return excel({bof(), kFiller, filePass, kWindow1}); }

TEST(ExcelFilePass, DefaultPasswordsAreNoEncryption) {
  for (const char* pw : {"VelvetSweatshop", "MarbleFoxGlider", kUser}) {
    const char* expected = pw == kUser ? "XLS-ENCRYPTED" : "XLS";
    EXPECT_EQ(excelVerdict(filePassRc4(loadVerifier("rc4", 128, pw))), expected) << pw;
    for (uint32_t bits : {40u, 128u}) {
      for (uint32_t provider : {1u, 24u}) {
        CryptoApiHeader h;
        h.keyBits = bits;
        h.providerType = provider;
        EXPECT_EQ(excelVerdict(filePassCryptoApi(loadVerifier("cryptoapi", bits, pw), h)), expected)
            << bits << " " << provider << " " << pw;
      }
    }
  }
}

// XOR obfuscation is always encrypted. Anything but RC4 with SHA-1, provider
// 1 or 24 and a 16-byte salt, and a record cut short of its verifier or
// pointing it outside itself, cannot show the default password applies.
TEST(ExcelFilePass, UnverifiableRecordsStayEncrypted) {
  const Verifier v = loadVerifier("cryptoapi", 128, "VelvetSweatshop");
  CryptoApiHeader provider2, md5Hash, salt15;
  provider2.providerType = 2;
  md5Hash.hashAlgorithmId = 0x8003;
  salt15.saltSize = 15;
  Bytes cut = filePassRc4(loadVerifier("rc4", 128, "VelvetSweatshop")), far = filePassCryptoApi(v, {});
  cut.resize(4 + 30);
  CfbBuilder::setU16(cut, 2, 30);
  CfbBuilder::setU32(far, 4 + 10, 0x7000);  // the header size
  for (const Bytes& filePass : {kXorPass, cut, far, filePassCryptoApi(v, provider2), filePassCryptoApi(v, md5Hash),
                                filePassCryptoApi(v, salt15)})
    EXPECT_EQ(excelVerdict(filePass), "XLS-ENCRYPTED");
}

TEST(ExcelFilePass, WhereTheRecordStandsDecides) {
  EXPECT_EQ(excel({bof(), kWindow1, kXorPass}), "XLS") << "after the first Window1";
  EXPECT_EQ(excel({bof(0x0500), kXorPass}), "XLS") << "BIFF5 is never judged";
  EXPECT_EQ(excel({bof(0x0600, 0x0010), kXorPass}), "XLS") << "not the globals substream";
  EXPECT_EQ(excel({bof(), biffRecord(0, {}), kXorPass}), "XLS") << "a broken record ends the walk";
  const Bytes templ = biffRecord(0x0060, {});
  EXPECT_EQ(excel({bof(), kFiller, kFiller, kFiller, templ, kWindow1}), "XLT");
  EXPECT_EQ(excel({bof(), kFiller, kFiller, kFiller, kFiller, templ, kWindow1}), "XLS");
  EXPECT_EQ(excel({bof(), templ, kXorPass, kWindow1}), "XLT-ENCRYPTED");
}

// The record walk at the end of the stream: a header that ends exactly at
// the end is complete, one cut short is no record, and a record whose data
// runs past the end is found with the bytes that are there.
TEST(ExcelRecordWalk, StreamEndBoundary) {
  const Bytes header = biffRecord(0x002F, {});
  Bytes claimsSix = header;
  CfbBuilder::setU16(claimsSix, 2, 6);
  Bytes fiveOfSix = claimsSix;
  append(fiveOfSix, Bytes(5, 1));
  const struct {
    const char* name;
    Bytes tail;  // after one filler record
    int result;
    std::size_t dataBytes;
  } cases[] = {
      {"header ends at the end", header, 0, 0},
      {"header one byte short", Bytes(header.begin(), header.end() - 1), 2, 0},
      {"data ends at the end", biffRecord(0x002F, Bytes(6, 1)), 0, 6},
      {"data one byte short", fiveOfSix, 0, 5},
      {"data missing", claimsSix, 0, 0},
  };
  for (const auto& c : cases) {
    Bytes stream = kFiller;
    append(stream, c.tail);
    const InputFile input = InputFile::fromBytes(streams({{u"Workbook", stream}}));
    CompoundFile file;
    ASSERT_EQ(file.open(input), 0) << c.name;
    CFStream book;
    ASSERT_EQ(file.getRootStorage().getStream("Workbook", book), 0) << c.name;
    ASSERT_EQ(book.size(), static_cast<int>(stream.size())) << c.name;
    Excel2003::Record record;
    EXPECT_EQ(Excel2003::searchStreamForRecord(book, book.size(), Excel2003::FILEPASS_RECORD, record), c.result)
        << c.name;
    EXPECT_EQ(record.data.size(), c.dataBytes) << c.name;
    Excel2003::RecordWalk fromEnd;
    fromEnd.startOffset = book.size();
    EXPECT_EQ(Excel2003::findRecord(book, book.size(), fromEnd, Excel2003::FILEPASS_RECORD, record), 2) << c.name;
  }
}

using PersistDir = std::vector<std::pair<uint32_t, std::vector<uint32_t>>>;
std::string ppt(const Bytes* info, uint32_t ref, const PersistDir& entries, bool withCurrentUser = true) {
  const PptStreams s = pptStreams(info, ref, entries);
  CfbBuilder b;
  if (withCurrentUser) b.stream("Current User", s.currentUser);
  b.stream("PowerPoint Document", s.document);
  const Classified c = classify(b.build());
  EXPECT_EQ(c.encrypted, c.typeId == "PPT-ENCRYPTED");
  return c.typeId;
}

TEST(PowerPointEncryption, DefaultAndUserPasswordsUnderBothProviders) {
  const struct {
    const char* provider;
    uint32_t keyBits;  // 0: the provider's default
    int verifierBits;
  } cases[] = {{"Microsoft Base Cryptographic Provider v1.0", 0, 40},
               {"Microsoft Enhanced Cryptographic Provider v1.0", 0, 128},
               {"Some Provider", 128, 128},
               {"Some Provider", 40, 40}};
  for (const auto& k : cases) {
    CryptoApiHeader h;
    h.provider = k.provider;
    h.keyBits = k.keyBits;
    for (const char* pw : {"/01Hannes Ruescher/01", "/07Copper Windmill/07", kUser}) {
      const Bytes info = cryptoApiInfo(loadVerifier("cryptoapi", k.verifierBits, pw), h);
      EXPECT_EQ(ppt(&info, 5, {{1, {20, 40, 60, 80, kCrypt}}}), pw == kUser ? "PPT-ENCRYPTED" : "PPT")
          << k.provider << " " << pw;
    }
  }
}

TEST(PowerPointEncryption, PersistDirectoryLookup) {
  const Bytes user = cryptoApiInfo(loadVerifier("cryptoapi", 128, kUser), CryptoApiHeader());
  EXPECT_EQ(ppt(&user, 3, {{1, {20, 40}}, {3, {kCrypt}}}), "PPT-ENCRYPTED") << "found in the next entry";
  EXPECT_EQ(ppt(&user, 3, {{1, {20, 40}}, {3, {}}}), "PPT") << "entry lists too few offsets";
  EXPECT_EQ(ppt(&user, 9, {{1, {kCrypt}}}), "PPT") << "no entry holds the reference";
  EXPECT_EQ(ppt(&user, 1, {{1, {kCrypt}}}, false), "PPT") << "no Current User stream";
  EXPECT_EQ(ppt(nullptr, 0, {{1, {20}}}), "PPT");
  CryptoApiHeader h;  // only RC4 with SHA-1 under provider type 1 is located at all
  h.providerType = 24;
  const Bytes aesProvider = cryptoApiInfo(loadVerifier("cryptoapi", 128, kUser), h);
  EXPECT_EQ(ppt(&aesProvider, 1, {{1, {kCrypt}}}), "PPT");
}

}  // namespace
}  // namespace kpl
