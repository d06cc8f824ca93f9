// Whether a legacy Excel workbook or PowerPoint presentation in a compound
// file needs a password the user would have to type. Files encrypted with
// the application's built-in default password open without a prompt, so
// the verifier of the encryption scheme ([MS-OFFCRYPTO] RC4 and RC4
// CryptoAPI) is run with the default password: if it verifies, the file
// counts as not encrypted. Nothing is decrypted beyond the verifier.
//
// Two defaults are checked for each application: the documented one,
// "VelvetSweatshop" (Excel, [MS-OFFCRYPTO] 2.3.6) and
// "/01Hannes Ruescher/01" (PowerPoint, 2.4.2.3), which real files use, and
// the engine's own constants "MarbleFoxGlider" and "/07Copper Windmill/07".
// A verifier accepting either means "not encrypted".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/limits.h"
#include "office/compound_file.h"

namespace kpl {

// A password as the verifiers hash it: UTF-16LE, no terminator.
template <std::size_t N>
constexpr std::array<unsigned char, 2 * (N - 1)> utf16leBytes(const char (&text)[N]) {
  std::array<unsigned char, 2 * (N - 1)> out{};
  for (std::size_t i = 0; i + 1 < N; ++i) out[2 * i] = static_cast<unsigned char>(text[i]);
  return out;
}

// The BIFF8 record stream of a workbook ([MS-XLS]).
class Excel2003 {
 public:
  enum RecordType : uint16_t {
    EOF_RECORD = 0x000A,
    FILEPASS_RECORD = 0x002F,
    WINDOW1_RECORD = 0x003D,
    TEMPLATE_RECORD = 0x0060,
    BOF_RECORD = 0x0809,
  };

  struct Record {
    uint16_t type = 0;
    uint16_t size = 0;           // length of the data after the 4-byte header
    std::vector<uint8_t> data;   // loaded for BOF and FilePass only; may be short
    int32_t offset = -1;         // set when a search finds the record
  };

  struct RecordDataBOF {
    uint16_t version = 0;        // 0x0600 for BIFF8
    uint16_t substreamType = 0;  // 0x0005 workbook globals
  };

  struct RC4EncryptionHeader {
    uint16_t encryptionType = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    unsigned char salt[16] = {};
    unsigned char verifier[16] = {};
    unsigned char verifierHash[16] = {};
  };

  struct RC4CryptoAPIEncryptionHeader {
    uint32_t headerSize = 0;
    uint32_t algorithmId = 0;
    uint32_t hashAlgorithmId = 0;
    uint32_t keyBytes = 0;
    uint32_t providerType = 0;
    uint32_t saltSize = 0;
    unsigned char salt[16] = {};
    unsigned char verifier[16] = {};
    unsigned char verifierHash[20] = {};
  };

  static constexpr std::array<unsigned char, 30> defaultPass = utf16leBytes("MarbleFoxGlider");
  static constexpr std::array<unsigned char, 30> documentedDefaultPass = utf16leBytes("VelvetSweatshop");

  // The record size, or -1 for an unreadable header, a size of 0x8000 or
  // more, or type 0. The data of a BOF or FilePass record is loaded as far
  // as it lies within streamSize.
  static int parseBIFFRecord(CFStream& stream, int streamSize, int offset, Record& record);

  // Where a record search starts, how many records it reads at most, and the
  // record type that ends it unfound (0: none; no record has type 0).
  struct RecordWalk {
    int startOffset = 0;
    std::size_t maxRecords = limits::kMaxBiffRecordWalk;
    uint16_t stopType = 0;
  };
  // The one record walker: 0 found, 1 broken record, 2 not found. A record
  // is read while its 4-byte header lies wholly within streamSize (a header
  // ending exactly at the end is complete); a record whose data runs past
  // the end is found with the data that is there (shorter than its size),
  // and nothing follows it.
  static int findRecord(CFStream& stream, int streamSize, const RecordWalk& walk, RecordType type, Record& record);
  // The whole stream: a FilePass search stops at the first Window1, any
  // other search at EOF.
  static int searchStreamForRecord(CFStream stream, int streamSize, RecordType type, Record& record);
  // 0 for a BIFF8 BOF (its substream type handed out), else 1.
  static int parseBOF(const Record& record, short& substreamType);
  // The FilePass decision: 0 decided, 1 not a FilePass record or an
  // unsupported encryption type (then not encrypted).
  static int parseFilePass(const Record& record, bool& encrypted);

  static bool passwordVerificationRC4(const Record& record, const unsigned char* password, short passwordBytes);
  static bool passwordVerificationRC4API(const Record& record, const unsigned char* password, short passwordBytes);

  static void getEncryptionKeyRC4(const unsigned char* password, short passwordBytes, const unsigned char* salt,
                                  unsigned char* key16);
  static void getEncryptionKeyRC4API(const unsigned char* password, short passwordBytes, const unsigned char* salt,
                                     unsigned char* key16, const int& keyBytes);
  static bool readEncryptionHeader(const Record& record, RC4EncryptionHeader& header);
  static bool readEncryptionHeader(const Record& record, RC4CryptoAPIEncryptionHeader& header);
  static bool readEncryptionVerifier(const Record& record, RC4CryptoAPIEncryptionHeader& header);
  // Copies length bytes from offset of the record data; false (nothing
  // copied) when they are not all there.
  static bool getDataFromRecord(const Record& record, unsigned char* out, std::size_t offset, std::size_t length);
};

// The PowerPoint Document stream ([MS-PPT]): Current User -> UserEditAtom
// -> persist directory -> CryptSession10Container.
class PowerPoint2003 {
 public:
  struct PersistDirectoryEntry {
    uint32_t persistId = 0;  // low 20 bits of the entry's word
    uint32_t count = 0;      // high 12 bits
    std::vector<uint32_t> offsets;
  };
  struct PersistDirecoryRecord {
    unsigned char header[8] = {};
    std::vector<PersistDirectoryEntry> entries;
  };

  static constexpr uint32_t NOT_FOUND = 0xFFFFFFFF;
  static constexpr std::array<unsigned char, 42> defaultPass = utf16leBytes("/07Copper Windmill/07");
  static constexpr std::array<unsigned char, 42> documentedDefaultPass = utf16leBytes("/01Hannes Ruescher/01");

  // Encrypted unless the password verifies; a presentation whose
  // encryption information cannot be located is not encrypted.
  static bool checkIsEncrypted(CFStorage& root, const unsigned char* password, const unsigned int& passwordBytes);
  // The same with both default passwords: encrypted when neither verifies.
  static bool checkIsEncryptedWithDefaults(CFStorage& root);

  static bool getHashVerifierAndExpectedHashVerifier(CFStorage& root, const unsigned char* password,
                                                     const unsigned int& passwordBytes, unsigned char* hash20,
                                                     unsigned char* expected20);
  static uint32_t findOffsetToUserEditRecord(CFStorage& root);
  static bool parsePersistDirRecord(CFStorage& root, const uint32_t& userEditOffset, PersistDirecoryRecord& record,
                                    uint32_t& encryptSessionRef);
  static uint32_t findOffsetToEncryptFormat(CFStorage& root);
  static bool getEncryptionInfo(CFStorage& root, const uint32_t& offset, uint32_t& keyBytes, unsigned char* salt16,
                                unsigned char* verifier16, unsigned char* verifierHash20);
};

// Shared steps of the verifiers.
void concateArrays(const unsigned char* a, std::size_t aLength, const unsigned char* b, std::size_t bLength,
                   unsigned char* out);
void getMD5Hash(const unsigned char* data, std::size_t length, unsigned char* out16);
void getSHA1Hash(const unsigned char* data, std::size_t length, unsigned char* out20);
void getRC4(const unsigned char* data, std::size_t length, const unsigned char* key, int keyLength,
            unsigned char* out);
// RC4 CryptoAPI key of block 0: SHA-1(salt + password), then SHA-1 of that
// and the block number; the first keyBytes (at most 16) bytes, the rest of
// the 16-byte key zero.
void deriveCryptoApiKey(const unsigned char* password, std::size_t passwordBytes, const unsigned char* salt16,
                        unsigned char* key16, uint32_t keyBytes);

}  // namespace kpl
