// SHA-1 message digest (FIPS 180-1, RFC 3174). The RC4 CryptoAPI verifiers
// of legacy Office files are SHA-1 based.
#pragma once

#include <cstdint>
#include <string>

namespace kpl {

class CSHA1 {
 public:
  // A fixed underlying type: a host may pass any number, and "any other
  // type gives false" must hold for it.
  enum REPORT_TYPE : int { REPORT_HEX = 0, REPORT_DIGIT = 1, REPORT_HEX_SHORT = 2 };

  CSHA1();
  ~CSHA1();

  void Reset();
  void Update(const unsigned char* data, unsigned int length);
  // Pads the message, stores the digest and wipes buffer, state and count.
  void Final();
  // Copies the 20-byte digest; false when out is null.
  bool GetHash(unsigned char* out20) const;

  // Feeds a whole file through Update; Final is left to the caller. True
  // exactly when the end of the file was reached.
  bool HashFile(const char* path);

  // REPORT_HEX: "AB 01 ..." (59 characters), REPORT_HEX_SHORT: "AB01..."
  // (40), REPORT_DIGIT: decimal bytes separated by blanks (at most 79).
  // `out` must hold 80 characters; false for a null out or another type.
  bool ReportHash(char* out, REPORT_TYPE type = REPORT_HEX) const;
  bool ReportHashStl(std::string& out, REPORT_TYPE type = REPORT_HEX) const;

 private:
  void transform(const unsigned char block[64]);

  uint32_t state_[5];
  uint32_t count_[2];  // message length in bits: low word, high word
  unsigned char buffer_[64];
  unsigned char digest_[20];
};

}  // namespace kpl
