// Verifier checks of the legacy Office encryption schemes ([MS-OFFCRYPTO]
// 2.3.6 RC4, 2.3.5 RC4 CryptoAPI) inside the Excel BIFF8 FilePass record
// ([MS-XLS] 2.4.117) and the PowerPoint CryptSession10Container ([MS-PPT]
// 2.3.7). Every field is read from the bytes the compound-file reader
// actually delivered: records and containers are often shorter than their
// headers claim in damaged or hostile files.
#include "office/legacy_encryption.h"

#include <algorithm>
#include <cstring>

#include "common/limits.h"
#include "office/crypto_md5.h"
#include "office/crypto_rc4.h"
#include "office/crypto_sha1.h"

namespace kpl {

namespace {

// Records longer than this are not BIFF8 records (8224 = the largest
// record data a BIFF8 writer emits).
constexpr int kMaxBiffRecordData = 0x2020;
constexpr uint16_t kBiff8 = 0x0600;

constexpr uint32_t kAlgorithmRC4 = 0x6801;
constexpr uint32_t kHashSHA1 = 0x8004;
constexpr uint32_t kProviderRC4 = 1;
constexpr uint32_t kProviderAES = 24;  // Excel writes RC4 under this type too

// UTF-16LE provider names without terminator (86 and 94 bytes).
constexpr auto kBaseProvider = utf16leBytes("Microsoft Base Cryptographic Provider v1.0");
constexpr auto kEnhancedProvider = utf16leBytes("Microsoft Enhanced Cryptographic Provider v1.0");

constexpr const char* kCurrentUser = "Current User";
constexpr const char* kPowerPointDocument = "PowerPoint Document";
constexpr int kUserEditAtomSize = 40;

bool allZero(const unsigned char* p, std::size_t n) {
  return std::all_of(p, p + n, [](unsigned char c) { return c == 0; });
}

// RC4-decrypts verifier and verifier hash as one run with a 16-byte key
// and tells whether hash(verifier) equals the decrypted hash.
bool verifierMatchesMD5(const unsigned char* key16, const unsigned char* verifier16,
                        const unsigned char* verifierHash16) {
  unsigned char run[32], plain[32], hash[16];
  concateArrays(verifier16, 16, verifierHash16, 16, run);
  getRC4(run, sizeof run, key16, 16, plain);
  getMD5Hash(plain, 16, hash);
  return std::memcmp(hash, plain + 16, 16) == 0;
}

void cryptoApiHashes(const unsigned char* key16, const unsigned char* verifier16,
                     const unsigned char* verifierHash20, unsigned char* hash20, unsigned char* expected20) {
  unsigned char run[36], plain[36];
  concateArrays(verifier16, 16, verifierHash20, 20, run);
  getRC4(run, sizeof run, key16, 16, plain);
  getSHA1Hash(plain, 16, hash20);
  std::memcpy(expected20, plain + 16, 20);
}

bool cryptoApiVerifies(const unsigned char* password, std::size_t passwordBytes, const unsigned char* salt16,
                       uint32_t keyBytes, const unsigned char* verifier16, const unsigned char* verifierHash20) {
  unsigned char key[16], hash[20], expected[20];
  deriveCryptoApiKey(password, passwordBytes, salt16, key, keyBytes);
  cryptoApiHashes(key, verifier16, verifierHash20, hash, expected);
  return std::memcmp(hash, expected, 20) == 0;
}

}  // namespace

// ---- shared steps --------------------------------------------------------

void concateArrays(const unsigned char* a, std::size_t aLength, const unsigned char* b, std::size_t bLength,
                   unsigned char* out) {
  if (aLength > 0) std::memcpy(out, a, aLength);
  if (bLength > 0) std::memcpy(out + aLength, b, bLength);
}

void getMD5Hash(const unsigned char* data, std::size_t length, unsigned char* out16) {
  md5_context ctx;
  md5_starts(&ctx);
  md5_update(&ctx, data, static_cast<int>(length));
  md5_finish(&ctx, out16);
}

void getSHA1Hash(const unsigned char* data, std::size_t length, unsigned char* out20) {
  CSHA1 sha;
  sha.Update(data, static_cast<unsigned int>(length));
  sha.Final();
  sha.GetHash(out20);
}

void getRC4(const unsigned char* data, std::size_t length, const unsigned char* key, int keyLength,
            unsigned char* out) {
  RC4 cipher(key, keyLength);
  std::memcpy(out, data, length);
  cipher.process(out, static_cast<int>(length));
}

void deriveCryptoApiKey(const unsigned char* password, std::size_t passwordBytes, const unsigned char* salt16,
                        unsigned char* key16, uint32_t keyBytes) {
  std::vector<unsigned char> saltedPassword(16 + passwordBytes);
  concateArrays(salt16, 16, password, passwordBytes, saltedPassword.data());
  unsigned char h0[20], block[24], hFinal[20];
  getSHA1Hash(saltedPassword.data(), saltedPassword.size(), h0);
  const unsigned char blockNumber[4] = {0, 0, 0, 0};
  concateArrays(h0, 20, blockNumber, 4, block);
  getSHA1Hash(block, sizeof block, hFinal);
  // RC4 is always keyed with 16 bytes: a 40-bit key is followed by 11 zeros.
  std::memset(key16, 0, 16);
  std::memcpy(key16, hFinal, std::min<uint32_t>(keyBytes, 16));
}

// ---- Excel ---------------------------------------------------------------

bool Excel2003::getDataFromRecord(const Record& record, unsigned char* out, std::size_t offset, std::size_t length) {
  if (!inBounds(record.data.size(), offset, length)) return false;
  if (length > 0) std::memcpy(out, record.data.data() + offset, length);
  return true;
}

int Excel2003::parseBIFFRecord(CFStream& stream, int streamSize, int offset, Record& record) {
  record = Record();
  const std::vector<uint8_t> head = stream.read(offset, 4);
  if (head.size() < 4) return -1;
  const uint16_t type = loadU16LE(head.data());
  const uint16_t size = loadU16LE(head.data() + 2);
  if (size >= 0x8000 || type == 0) return -1;
  record.type = type;
  record.size = size;
  if (size == 0 || type == EOF_RECORD || size > kMaxBiffRecordData) return size;
  if (type == BOF_RECORD || type == FILEPASS_RECORD) {
    const int dataAt = offset + 4;
    const int present = streamSize > dataAt ? std::min<int>(size, streamSize - dataAt) : 0;
    record.data = stream.read(dataAt, present);
  }
  return size;
}

int Excel2003::findRecord(CFStream& stream, int streamSize, const RecordWalk& walk, RecordType type, Record& record) {
  constexpr uint64_t kHeaderLen = 4;
  if (streamSize < 0 || walk.startOffset < 0) return 2;
  const auto end = static_cast<uint64_t>(streamSize);
  uint64_t offset = static_cast<uint64_t>(walk.startOffset);
  for (std::size_t walked = 0; walked < walk.maxRecords && inBounds(end, offset, kHeaderLen); ++walked) {
    const int size = parseBIFFRecord(stream, streamSize, static_cast<int>(offset), record);
    if (size < 0 || size > kMaxBiffRecordData) return 1;
    if (walk.stopType != 0 && record.type == walk.stopType) return 2;
    if (record.type == type) {
      record.offset = static_cast<int32_t>(offset);
      return 0;
    }
    record.data.clear();
    offset += kHeaderLen + static_cast<uint64_t>(size);
  }
  return 2;
}

int Excel2003::searchStreamForRecord(CFStream stream, int streamSize, RecordType type, Record& record) {
  RecordWalk walk;
  walk.stopType = type == FILEPASS_RECORD ? WINDOW1_RECORD : EOF_RECORD;
  return findRecord(stream, streamSize, walk, type, record);
}

int Excel2003::parseBOF(const Record& record, short& substreamType) {
  unsigned char fields[4];
  if (!getDataFromRecord(record, fields, 0, sizeof fields)) return 1;
  RecordDataBOF bof;
  bof.version = loadU16LE(fields);
  bof.substreamType = loadU16LE(fields + 2);
  substreamType = static_cast<short>(bof.substreamType);
  return bof.version == kBiff8 ? 0 : 1;
}

// A FilePass record means the workbook is encrypted; only RC4 under the
// default password is not, because Excel opens such a file without asking
// (it writes one for a workbook whose structure is merely protected).
// Where the record is too short for its fields, the default password
// cannot be shown to apply, so the workbook counts as encrypted.
int Excel2003::parseFilePass(const Record& record, bool& encrypted) {
  encrypted = false;
  if (record.type != FILEPASS_RECORD) return 1;
  unsigned char field[2];
  if (!getDataFromRecord(record, field, 0, 2)) {
    encrypted = true;
    return 0;
  }
  const uint16_t encryptionType = loadU16LE(field);
  if (encryptionType == 0) {  // XOR obfuscation: the password is the key
    encrypted = true;
    return 0;
  }
  if (encryptionType != 1) return 1;
  if (!getDataFromRecord(record, field, 2, 2)) {
    encrypted = true;
    return 0;
  }
  const uint16_t major = loadU16LE(field);
  const auto opensWith = [&](const auto& password) {
    const auto bytes = static_cast<short>(password.size());
    return major == 1 ? passwordVerificationRC4(record, password.data(), bytes)
                      : passwordVerificationRC4API(record, password.data(), bytes);
  };
  if (major >= 1 && major <= 4) encrypted = !(opensWith(documentedDefaultPass) || opensWith(defaultPass));
  return 0;
}

bool Excel2003::readEncryptionHeader(const Record& record, RC4EncryptionHeader& header) {
  unsigned char raw[54];
  if (!getDataFromRecord(record, raw, 0, sizeof raw)) return false;
  header.encryptionType = loadU16LE(raw);
  header.majorVersion = loadU16LE(raw + 2);
  header.minorVersion = loadU16LE(raw + 4);
  std::memcpy(header.salt, raw + 6, 16);
  std::memcpy(header.verifier, raw + 22, 16);
  std::memcpy(header.verifierHash, raw + 38, 16);
  return true;
}

bool Excel2003::readEncryptionHeader(const Record& record, RC4CryptoAPIEncryptionHeader& header) {
  unsigned char raw[38];
  if (!getDataFromRecord(record, raw, 0, sizeof raw)) return false;
  header.headerSize = loadU32LE(raw + 10);
  header.algorithmId = loadU32LE(raw + 22);
  header.hashAlgorithmId = loadU32LE(raw + 26);
  header.keyBytes = loadU32LE(raw + 30) / 8;
  header.providerType = loadU32LE(raw + 34);
  return true;
}

bool Excel2003::readEncryptionVerifier(const Record& record, RC4CryptoAPIEncryptionHeader& header) {
  // The verifier follows the header, whose size the file states; the
  // offset wraps at 16 bits as the record data can never be larger.
  const auto base = static_cast<uint16_t>(14 + header.headerSize);
  unsigned char raw[60];
  if (!getDataFromRecord(record, raw, base, sizeof raw)) return false;
  header.saltSize = loadU32LE(raw);
  std::memcpy(header.salt, raw + 4, 16);
  std::memcpy(header.verifier, raw + 20, 16);
  std::memcpy(header.verifierHash, raw + 40, 20);
  return true;
}

void Excel2003::getEncryptionKeyRC4(const unsigned char* password, short passwordBytes, const unsigned char* salt,
                                    unsigned char* key16) {
  unsigned char h0[16];
  getMD5Hash(password, passwordBytes > 0 ? static_cast<std::size_t>(passwordBytes) : 0, h0);
  unsigned char intermediate[336];
  for (int i = 0; i < 16; ++i) concateArrays(h0, 5, salt, 16, intermediate + 21 * i);
  unsigned char h1[16];
  getMD5Hash(intermediate, sizeof intermediate, h1);
  unsigned char block[9] = {};
  std::memcpy(block, h1, 5);  // then block number 0, four zero bytes
  getMD5Hash(block, sizeof block, key16);
}

void Excel2003::getEncryptionKeyRC4API(const unsigned char* password, short passwordBytes, const unsigned char* salt,
                                       unsigned char* key16, const int& keyBytes) {
  deriveCryptoApiKey(password, passwordBytes > 0 ? static_cast<std::size_t>(passwordBytes) : 0, salt, key16,
                     keyBytes > 0 ? static_cast<uint32_t>(keyBytes) : 0);
}

bool Excel2003::passwordVerificationRC4(const Record& record, const unsigned char* password, short passwordBytes) {
  RC4EncryptionHeader header;
  if (!readEncryptionHeader(record, header)) return false;
  unsigned char key[16];
  getEncryptionKeyRC4(password, passwordBytes, header.salt, key);
  return verifierMatchesMD5(key, header.verifier, header.verifierHash);
}

bool Excel2003::passwordVerificationRC4API(const Record& record, const unsigned char* password, short passwordBytes) {
  RC4CryptoAPIEncryptionHeader header;
  if (!readEncryptionHeader(record, header) || !readEncryptionVerifier(record, header)) return false;
  if (header.algorithmId != kAlgorithmRC4 || header.hashAlgorithmId != kHashSHA1 ||
      (header.providerType != kProviderRC4 && header.providerType != kProviderAES) || header.saltSize != 16)
    return false;
  return cryptoApiVerifies(password, passwordBytes > 0 ? static_cast<std::size_t>(passwordBytes) : 0, header.salt,
                           header.keyBytes, header.verifier, header.verifierHash);
}

// ---- PowerPoint ----------------------------------------------------------

uint32_t PowerPoint2003::findOffsetToUserEditRecord(CFStorage& root) {
  CFStream currentUser;
  if (root.getStream(kCurrentUser, currentUser) != 0 || currentUser.size() < 28) return NOT_FOUND;
  // CurrentUserAtom: offsetToCurrentEdit at 16 (after the 8-byte header,
  // size and header token).
  const std::vector<uint8_t> field = currentUser.read(16, 4);
  if (field.size() < 4) return NOT_FOUND;
  return loadU32LE(field.data());
}

bool PowerPoint2003::parsePersistDirRecord(CFStorage& root, const uint32_t& userEditOffset,
                                           PersistDirecoryRecord& record, uint32_t& encryptSessionRef) {
  CFStream document;
  if (root.getStream(kPowerPointDocument, document) != 0) return false;
  const int64_t streamSize = document.size();
  if (!inBounds(streamSize < 0 ? 0 : static_cast<uint64_t>(streamSize), userEditOffset, kUserEditAtomSize))
    return false;
  // UserEditAtom: offsetPersistDirectory at 20, encryptSessionPersistIdRef
  // at 36 (counting its 8-byte header).
  const std::vector<uint8_t> userEdit = document.read(static_cast<int>(userEditOffset), kUserEditAtomSize);
  if (userEdit.size() < kUserEditAtomSize) return false;
  const uint32_t persistDirOffset = loadU32LE(&userEdit[20]);
  encryptSessionRef = loadU32LE(&userEdit[36]);

  // The directory is written before the edit that refers to it.
  if (userEditOffset <= persistDirOffset) return false;
  const std::vector<uint8_t> header = document.read(static_cast<int>(persistDirOffset), 8);
  if (header.size() < 8) return false;
  std::memcpy(record.header, header.data(), 8);
  const uint32_t length = loadU32LE(&header[4]);
  if (uint64_t{userEditOffset} < uint64_t{persistDirOffset} + length) return false;

  const std::vector<uint8_t> data =
      length == 0 ? std::vector<uint8_t>() : document.read(static_cast<int>(persistDirOffset + 8), static_cast<int>(length));
  record.entries.clear();
  std::size_t at = 0;
  while (data.size() - at >= 4) {
    const uint32_t word = loadU32LE(&data[at]);
    at += 4;
    PersistDirectoryEntry entry;
    entry.persistId = word & 0xFFFFF;
    entry.count = word >> 20;
    for (uint32_t k = 0; k < entry.count && data.size() - at >= 4; ++k, at += 4)
      entry.offsets.push_back(loadU32LE(&data[at]));
    record.entries.push_back(std::move(entry));
  }
  return true;
}

uint32_t PowerPoint2003::findOffsetToEncryptFormat(CFStorage& root) {
  const uint32_t userEditOffset = findOffsetToUserEditRecord(root);
  if (userEditOffset == NOT_FOUND) return NOT_FOUND;
  PersistDirecoryRecord directory;
  uint32_t reference = 0;
  if (!parsePersistDirRecord(root, userEditOffset, directory, reference)) return NOT_FOUND;
  for (const PersistDirectoryEntry& entry : directory.entries) {
    if (reference < entry.persistId || uint64_t{reference} >= uint64_t{entry.persistId} + entry.count) continue;
    const uint32_t index = reference - entry.persistId;
    return index < entry.offsets.size() ? entry.offsets[index] : NOT_FOUND;
  }
  return NOT_FOUND;
}

bool PowerPoint2003::getEncryptionInfo(CFStorage& root, const uint32_t& offset, uint32_t& keyBytes,
                                       unsigned char* salt16, unsigned char* verifier16,
                                       unsigned char* verifierHash20) {
  CFStream document;
  if (root.getStream(kPowerPointDocument, document) != 0) return false;
  const uint64_t streamSize = document.size() < 0 ? 0 : static_cast<uint64_t>(document.size());
  if (!inBounds(streamSize, offset, 8)) return false;
  const std::vector<uint8_t> header = document.read(static_cast<int>(offset), 8);
  if (header.size() < 8) return false;
  const uint32_t length = loadU32LE(&header[4]);
  if (!inBounds(streamSize, uint64_t{offset} + 8, length)) return false;
  const std::vector<uint8_t> data = document.read(static_cast<int>(offset + 8), static_cast<int>(length));

  // EncryptionInfo: version (4), flags (4), header size at 8, the
  // EncryptionHeader from 12, then the EncryptionVerifier.
  ByteReader r(data);
  const uint32_t headerSize = r.u32le(8);
  const uint32_t algorithmId = r.u32le(20);
  const uint32_t hashAlgorithmId = r.u32le(24);
  const uint32_t keyBits = r.u32le(28);
  const uint32_t providerType = r.u32le(32);
  if (!r.ok() || headerSize > data.size()) return false;
  const std::size_t verifierAt = 12 + std::size_t{headerSize};
  if (!r.has(verifierAt, 60)) return false;

  keyBytes = keyBits / 8;
  if (keyBytes == 0) {
    // A key size of 0 means the provider's default.
    const std::size_t nameLength = headerSize >= 32 ? headerSize - 32 : 0;
    const auto named = [&](const auto& provider) {
      return nameLength >= provider.size() && r.matches(44, provider.data(), provider.size());
    };
    keyBytes = named(kBaseProvider) ? 5 : named(kEnhancedProvider) ? 16 : 0;
  }
  if (algorithmId != kAlgorithmRC4 || hashAlgorithmId != kHashSHA1 || providerType != kProviderRC4) return false;
  keyBytes = std::min<uint32_t>(keyBytes, 16);
  std::memcpy(salt16, data.data() + verifierAt + 4, 16);
  std::memcpy(verifier16, data.data() + verifierAt + 20, 16);
  std::memcpy(verifierHash20, data.data() + verifierAt + 40, 20);
  return true;
}

namespace {

struct PptVerifier {
  uint32_t keyBytes = 0;
  unsigned char salt[16] = {};
  unsigned char verifier[16] = {};
  unsigned char verifierHash[20] = {};
};

bool locatePptVerifier(CFStorage& root, PptVerifier& v) {
  const uint32_t offset = PowerPoint2003::findOffsetToEncryptFormat(root);
  if (offset == PowerPoint2003::NOT_FOUND) return false;
  return PowerPoint2003::getEncryptionInfo(root, offset, v.keyBytes, v.salt, v.verifier, v.verifierHash);
}

// Encrypted unless the password verifies; both values zero is taken as a
// failed computation and also counts as encrypted.
bool pptEncryptedUnder(const PptVerifier& v, const unsigned char* password, std::size_t passwordBytes) {
  unsigned char key[16], hash[20], expected[20];
  deriveCryptoApiKey(password, passwordBytes, v.salt, key, v.keyBytes);
  cryptoApiHashes(key, v.verifier, v.verifierHash, hash, expected);
  if (allZero(hash, 20) && allZero(expected, 20)) return true;
  return std::memcmp(hash, expected, 20) != 0;
}

}  // namespace

bool PowerPoint2003::getHashVerifierAndExpectedHashVerifier(CFStorage& root, const unsigned char* password,
                                                            const unsigned int& passwordBytes, unsigned char* hash20,
                                                            unsigned char* expected20) {
  std::memset(hash20, 0, 20);
  std::memset(expected20, 0, 20);
  PptVerifier v;
  if (!locatePptVerifier(root, v)) return false;
  unsigned char key[16];
  deriveCryptoApiKey(password, passwordBytes, v.salt, key, v.keyBytes);
  cryptoApiHashes(key, v.verifier, v.verifierHash, hash20, expected20);
  return true;
}

bool PowerPoint2003::checkIsEncrypted(CFStorage& root, const unsigned char* password,
                                      const unsigned int& passwordBytes) {
  PptVerifier v;
  if (!locatePptVerifier(root, v)) return false;
  return pptEncryptedUnder(v, password, passwordBytes);
}

bool PowerPoint2003::checkIsEncryptedWithDefaults(CFStorage& root) {
  PptVerifier v;
  if (!locatePptVerifier(root, v)) return false;
  return pptEncryptedUnder(v, documentedDefaultPass.data(), documentedDefaultPass.size()) &&
         pptEncryptedUnder(v, defaultPass.data(), defaultPass.size());
}

}  // namespace kpl
