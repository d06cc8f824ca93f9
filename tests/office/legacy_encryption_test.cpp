// Encrypted-or-not verdicts for Excel and PowerPoint files built from the
// published record layouts, with verifiers from an independent
// implementation: the documented default password and the alternative
// spelling both mean "not encrypted", a user password means encrypted.
#include <gtest/gtest.h>

#include "office/legacy_encryption.h"
#include "office/office_builders.h"

namespace kpl {
namespace {

using namespace test;

const char* const kUserPassword = "secret";

Bytes workbook(const std::vector<Bytes>& records) {
  Bytes stream;
  for (const Bytes& r : records) append(stream, r);
  append(stream, biffRecord(0x000A, {}));
  CfbBuilder b;
  b.stream("Workbook", stream);
  return b.build();
}

const Bytes kWindow1 = biffRecord(0x003D, Bytes(18, 0));
const Bytes kFiller = biffRecord(0x00E1, Bytes(2, 0));

std::string excelVerdict(const Bytes& filePass) {
  const Classified c = classify(workbook({bof(), kFiller, filePass, kWindow1}));
  EXPECT_EQ(c.encrypted, c.typeId == "XLS-ENCRYPTED");
  return c.typeId;
}

TEST(ExcelFilePass, XorObfuscationIsAlwaysEncrypted) {
  Bytes xorData;
  put16(xorData, 0);
  put16(xorData, 0x1234);  // key
  put16(xorData, 0x5678);  // verifier
  EXPECT_EQ(excelVerdict(biffRecord(0x002F, xorData)), "XLS-ENCRYPTED");
}

TEST(ExcelFilePass, Rc4UnderDefaultAndUserPasswords) {
  EXPECT_EQ(excelVerdict(filePassRc4(loadVerifier("rc4", 128, "VelvetSweatshop"))), "XLS");
  EXPECT_EQ(excelVerdict(filePassRc4(loadVerifier("rc4", 128, "MarbleFoxGlider"))), "XLS");
  EXPECT_EQ(excelVerdict(filePassRc4(loadVerifier("rc4", 128, kUserPassword))), "XLS-ENCRYPTED");
  // A record cut short of its verifier cannot show the default applies.
  Bytes cut = filePassRc4(loadVerifier("rc4", 128, "VelvetSweatshop"));
  cut.resize(4 + 30);
  CfbBuilder::setU16(cut, 2, 30);
  EXPECT_EQ(excelVerdict(cut), "XLS-ENCRYPTED");
}

TEST(ExcelFilePass, CryptoApiProvidersAndKeySizes) {
  for (int bits : {40, 128}) {
    for (uint32_t provider : {1u, 24u}) {
      CryptoApiHeader h;
      h.keyBits = static_cast<uint32_t>(bits);
      h.providerType = provider;
      for (const char* pw : {"VelvetSweatshop", "MarbleFoxGlider"})
        EXPECT_EQ(excelVerdict(filePassCryptoApi(loadVerifier("cryptoapi", bits, pw), h)), "XLS")
            << bits << " " << provider << " " << pw;
      EXPECT_EQ(excelVerdict(filePassCryptoApi(loadVerifier("cryptoapi", bits, kUserPassword), h)), "XLS-ENCRYPTED");
    }
  }
  // Anything but RC4 with SHA-1, provider 1 or 24 and a 16-byte salt is not
  // verified, so even the default password leaves the workbook encrypted.
  const Verifier v = loadVerifier("cryptoapi", 128, "VelvetSweatshop");
  CryptoApiHeader h;
  h.providerType = 2;
  EXPECT_EQ(excelVerdict(filePassCryptoApi(v, h)), "XLS-ENCRYPTED");
  h = CryptoApiHeader();
  h.hashAlgorithmId = 0x8003;
  EXPECT_EQ(excelVerdict(filePassCryptoApi(v, h)), "XLS-ENCRYPTED");
  h = CryptoApiHeader();
  h.saltSize = 15;
  EXPECT_EQ(excelVerdict(filePassCryptoApi(v, h)), "XLS-ENCRYPTED");
  // A header size pointing the verifier outside the record.
  Bytes far = filePassCryptoApi(v, CryptoApiHeader());
  CfbBuilder::setU32(far, 4 + 10, 0x7000);
  EXPECT_EQ(excelVerdict(far), "XLS-ENCRYPTED");
}

TEST(ExcelFilePass, WhereTheRecordStandsDecides) {
  Bytes xorData(6, 0);
  const Bytes xorPass = biffRecord(0x002F, xorData);
  EXPECT_EQ(classify(workbook({bof(), kWindow1, xorPass})).typeId, "XLS") << "after the first Window1";
  EXPECT_EQ(classify(workbook({bof(0x0500), xorPass})).typeId, "XLS") << "BIFF5 is never judged";
  EXPECT_EQ(classify(workbook({bof(0x0600, 0x0010), xorPass})).typeId, "XLS") << "not the globals substream";
  // A broken record ends the walk: the type stays, encryption is not seen.
  EXPECT_EQ(classify(workbook({bof(), biffRecord(0, {}), xorPass})).typeId, "XLS");

  const Bytes templ = biffRecord(0x0060, {});
  EXPECT_EQ(classify(workbook({bof(), kFiller, kFiller, kFiller, templ, kWindow1})).typeId, "XLT");
  EXPECT_EQ(classify(workbook({bof(), kFiller, kFiller, kFiller, kFiller, templ, kWindow1})).typeId, "XLS");
  EXPECT_EQ(classify(workbook({bof(), templ, xorPass, kWindow1})).typeId, "XLT-ENCRYPTED");
}

std::string pptVerdict(const Bytes* info, uint32_t ref,
                       const std::vector<std::pair<uint32_t, std::vector<uint32_t>>>& entries,
                       bool withCurrentUser = true) {
  const PptStreams s = pptStreams(info, ref, entries);
  CfbBuilder b;
  if (withCurrentUser) b.stream("Current User", s.currentUser);
  b.stream("PowerPoint Document", s.document);
  const Classified c = classify(b.build());
  EXPECT_EQ(c.encrypted, c.typeId == "PPT-ENCRYPTED");
  return c.typeId;
}

TEST(PowerPointEncryption, DefaultAndUserPasswordsUnderBothProviders) {
  struct Case {
    const char* provider;
    uint32_t keyBits;  // 0: the provider's default
    int verifierBits;
  };
  for (const Case& k : {Case{"Microsoft Base Cryptographic Provider v1.0", 0, 40},
                        Case{"Microsoft Enhanced Cryptographic Provider v1.0", 0, 128},
                        Case{"Some Provider", 128, 128}, Case{"Some Provider", 40, 40}}) {
    CryptoApiHeader h;
    h.provider = k.provider;
    h.keyBits = k.keyBits;
    for (const char* pw : {"/01Hannes Ruescher/01", "/07Copper Windmill/07"}) {
      const Bytes info = cryptoApiInfo(loadVerifier("cryptoapi", k.verifierBits, pw), h);
      EXPECT_EQ(pptVerdict(&info, 5, {{1, {20, 40, 60, 80, kCrypt}}}), "PPT") << k.provider << " " << pw;
    }
    const Bytes info = cryptoApiInfo(loadVerifier("cryptoapi", k.verifierBits, kUserPassword), h);
    EXPECT_EQ(pptVerdict(&info, 5, {{1, {20, 40, 60, 80, kCrypt}}}), "PPT-ENCRYPTED") << k.provider;
  }
}

TEST(PowerPointEncryption, PersistDirectoryLookup) {
  const Bytes user = cryptoApiInfo(loadVerifier("cryptoapi", 128, kUserPassword), CryptoApiHeader());
  // The reference just past the first entry's range is found in the next.
  EXPECT_EQ(pptVerdict(&user, 3, {{1, {20, 40}}, {3, {kCrypt}}}), "PPT-ENCRYPTED");
  // An entry that holds the reference but lists too few offsets.
  EXPECT_EQ(pptVerdict(&user, 3, {{1, {20, 40}}, {3, {}}}), "PPT");
  EXPECT_EQ(pptVerdict(&user, 9, {{1, {kCrypt}}}), "PPT") << "no entry holds the reference";
  EXPECT_EQ(pptVerdict(&user, 1, {{1, {kCrypt}}}, false), "PPT") << "no Current User stream";
  EXPECT_EQ(pptVerdict(nullptr, 0, {{1, {20}}}), "PPT");

  // Only RC4 with SHA-1 under provider type 1 is located at all.
  CryptoApiHeader h;
  h.providerType = 24;
  const Bytes aesProvider = cryptoApiInfo(loadVerifier("cryptoapi", 128, kUserPassword), h);
  EXPECT_EQ(pptVerdict(&aesProvider, 1, {{1, {kCrypt}}}), "PPT");
}

TEST(PowerPointEncryption, TruncatedStreamsNeverReadPastTheirEnd) {
  const Bytes user = cryptoApiInfo(loadVerifier("cryptoapi", 128, kUserPassword), CryptoApiHeader());
  const PptStreams s = pptStreams(&user, 1, {{1, {kCrypt}}});
  for (std::size_t n = 0; n <= s.document.size(); ++n) {
    CfbBuilder b;
    b.stream("Current User", s.currentUser);
    b.stream("PowerPoint Document", Bytes(s.document.begin(), s.document.begin() + n));
    const Classified c = classify(b.build());
    EXPECT_EQ(c.typeId, n == s.document.size() ? "PPT-ENCRYPTED" : "PPT") << n;
  }
}

}  // namespace
}  // namespace kpl
