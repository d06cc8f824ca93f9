// Encrypted-or-not verdicts for Excel and PowerPoint files built from the
// published record layouts, with verifiers from an independent
// implementation: the documented default password and the alternative
// spelling both mean "not encrypted", a user password means encrypted. Then
// the hash and cipher primitives against published test vectors.
#include <gtest/gtest.h>

#include "common/byte_reader.h"
#include "office/compound_file.h"
#include "office/crypto_md5.h"
#include "office/crypto_rc4.h"
#include "office/crypto_sha1.h"
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

std::string hex(const unsigned char* p, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) (s += digits[p[i] >> 4]) += digits[p[i] & 15];
  return s;
}
const unsigned char* bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }
int len(const std::string& s) { return static_cast<int>(s.size()); }

std::string md5Hex(const std::string& s) {
  unsigned char out[16];
  md5(bytes(s), len(s), out);
  return hex(out, 16);
}

TEST(Md5, VectorsPiecewiseUpdatesAndHmac) {
  // Single-block messages are checked by the verifiers above; this one
  // crosses a block boundary.
  std::string eighty;
  for (int i = 0; i < 8; ++i) eighty += "1234567890";
  EXPECT_EQ(md5Hex(eighty), "57edf4a22be3c955ac49da2e2107b67a");

  // Pieces of 7 bytes give the one-shot digest; a negative length is ignored.
  md5_context ctx;
  md5_starts(&ctx);
  md5_update(&ctx, bytes(eighty), -5);
  for (std::size_t i = 0; i < eighty.size(); i += 7)
    md5_update(&ctx, bytes(eighty) + i, static_cast<int>(std::min<std::size_t>(7, eighty.size() - i)));
  unsigned char out[16];
  md5_finish(&ctx, out);
  EXPECT_EQ(hex(out, 16), md5Hex(eighty));

  const std::string data = "what do ya want for nothing?";  // RFC 2202, test case 2
  md5_hmac(bytes(std::string("Jefe")), 4, bytes(data), len(data), out);
  EXPECT_EQ(hex(out, 16), "750c783e6ab0b503eaa86e310a5db738");
}

TEST(Sha1, Vectors) {
  auto sha1Hex = [](const std::string& s, int repeat) {
    CSHA1 sha;
    for (int i = 0; i < repeat; ++i) sha.Update(bytes(s), static_cast<unsigned int>(s.size()));
    sha.Final();
    unsigned char out[20];
    EXPECT_TRUE(sha.GetHash(out));
    return hex(out, 20);
  };
  EXPECT_EQ(sha1Hex("", 1), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(sha1Hex(std::string(1000, 'a'), 1000), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  CSHA1 sha;
  sha.Final();
  EXPECT_FALSE(sha.GetHash(nullptr));
}

TEST(Rc4, VectorsContinuationAndRoundTrip) {
  auto rc4Hex = [](const std::string& key, std::string buffer) {
    RC4 cipher(bytes(key), len(key));
    cipher.process(reinterpret_cast<unsigned char*>(&buffer[0]), len(buffer));
    return hex(bytes(buffer), buffer.size());
  };
  EXPECT_EQ(rc4Hex("Secret", "Attack at dawn"), "45a01f645fc35b383552544b9bf5");
  std::string key;  // 128-bit key 0x0102...10, keystream offset 0
  for (int i = 1; i <= 16; ++i) key += static_cast<char>(i);
  EXPECT_EQ(rc4Hex(key, std::string(16, '\0')), "9ac7cc9a609d1ef7b2932899cde41b97");

  // A zero-terminated key, the keystream continued across calls, and a
  // fresh object with the same key restoring the input.
  unsigned char data[10] = {'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't', 0}, enc[9];
  RC4 a(bytes(std::string("Key")), -1);
  a.process(data, 4, enc);
  a.process(data + 4, 5, enc + 4);
  EXPECT_EQ(hex(enc, 9), "bbf316e8d940af0ad3");
  RC4(bytes(key), 16).process(enc, 9);
  RC4(bytes(key), 16).process(enc, 9);
  EXPECT_EQ(hex(enc, 9), "bbf316e8d940af0ad3");
}

}  // namespace
}  // namespace kpl
