// Encrypted-or-not verdicts for Excel and PowerPoint files built from the
// published record layouts, with verifiers from an independent
// implementation: the documented default password and the alternative
// spelling both mean "not encrypted", a user password means encrypted.
#include <gtest/gtest.h>

#include "common/byte_reader.h"
#include "office/compound_file.h"
#include "office/legacy_encryption.h"
#include "office/office_builders.h"

namespace kpl {
namespace {

using namespace test;

const char* const kUser = "secret";
const Bytes kWindow1 = biffRecord(0x003D, Bytes(18, 0));
const Bytes kFiller = biffRecord(0x00E1, Bytes(2, 0));
const Bytes kXorPass = biffRecord(0x002F, Bytes(6, 0));

std::string excel(const std::vector<Bytes>& records) {
  Bytes stream;
  for (const Bytes& r : records) append(stream, r);
  append(stream, biffRecord(0x000A, {}));
  CfbBuilder b;
  b.stream("Workbook", stream);
  const Classified c = classify(b.build());
  EXPECT_EQ(c.encrypted, c.typeId.find("-ENCRYPTED") != std::string::npos);
  return c.typeId;
}
std::string excelVerdict(const Bytes& filePass) { return excel({bof(), kFiller, filePass, kWindow1}); }

TEST(ExcelFilePass, XorAndRc4Verdicts) {
  EXPECT_EQ(excelVerdict(kXorPass), "XLS-ENCRYPTED") << "XOR obfuscation is always encrypted";
  EXPECT_EQ(excelVerdict(filePassRc4(loadVerifier("rc4", 128, "VelvetSweatshop"))), "XLS");
  EXPECT_EQ(excelVerdict(filePassRc4(loadVerifier("rc4", 128, "MarbleFoxGlider"))), "XLS");
  EXPECT_EQ(excelVerdict(filePassRc4(loadVerifier("rc4", 128, kUser))), "XLS-ENCRYPTED");
  // A record cut short of its verifier cannot show the default applies.
  Bytes cut = filePassRc4(loadVerifier("rc4", 128, "VelvetSweatshop"));
  cut.resize(4 + 30);
  CfbBuilder::setU16(cut, 2, 30);
  EXPECT_EQ(excelVerdict(cut), "XLS-ENCRYPTED");
}

TEST(ExcelFilePass, CryptoApiProvidersKeySizesAndUnverifiableHeaders) {
  for (int bits : {40, 128}) {
    for (uint32_t provider : {1u, 24u}) {
      CryptoApiHeader h;
      h.keyBits = static_cast<uint32_t>(bits);
      h.providerType = provider;
      for (const char* pw : {"VelvetSweatshop", "MarbleFoxGlider", kUser})
        EXPECT_EQ(excelVerdict(filePassCryptoApi(loadVerifier("cryptoapi", bits, pw), h)),
                  pw == kUser ? "XLS-ENCRYPTED" : "XLS")
            << bits << " " << provider << " " << pw;
    }
  }
  // Anything but RC4 with SHA-1, provider 1 or 24 and a 16-byte salt is not
  // verified, so even the default password leaves the workbook encrypted.
  const Verifier v = loadVerifier("cryptoapi", 128, "VelvetSweatshop");
  CryptoApiHeader provider2, md5Hash, salt15;
  provider2.providerType = 2;
  md5Hash.hashAlgorithmId = 0x8003;
  salt15.saltSize = 15;
  for (const CryptoApiHeader& h : {provider2, md5Hash, salt15})
    EXPECT_EQ(excelVerdict(filePassCryptoApi(v, h)), "XLS-ENCRYPTED");
  Bytes far = filePassCryptoApi(v, CryptoApiHeader());
  CfbBuilder::setU32(far, 4 + 10, 0x7000);  // header size points the verifier outside the record
  EXPECT_EQ(excelVerdict(far), "XLS-ENCRYPTED");
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
    CfbBuilder b;
    b.stream("Workbook", stream);
    const InputFile input = InputFile::fromBytes(b.build());
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

TEST(PowerPointEncryption, PersistDirectoryLookupAndTruncation) {
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

  // Truncated document streams never read past their end.
  const PptStreams s = pptStreams(&user, 1, {{1, {kCrypt}}});
  for (std::size_t n = 0; n <= s.document.size(); ++n) {
    CfbBuilder b;
    b.stream("Current User", s.currentUser);
    b.stream("PowerPoint Document", Bytes(s.document.begin(), s.document.begin() + n));
    EXPECT_EQ(classify(b.build()).typeId, n == s.document.size() ? "PPT-ENCRYPTED" : "PPT") << n;
  }
}

}  // namespace
}  // namespace kpl
