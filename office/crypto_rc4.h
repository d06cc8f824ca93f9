// The RC4 stream cipher, used only to decrypt the 32- or 36-byte password
// verifiers of legacy Office files.
#pragma once

namespace kpl {

void swap_byte(unsigned char& a, unsigned char& b);

class RC4 {
 public:
  // keyLength -1: the key is a zero-terminated string. A key of length 0
  // (or a null key) leaves the identity permutation.
  RC4(const unsigned char* key, int keyLength);
  ~RC4();
  RC4(const RC4&) = delete;
  RC4& operator=(const RC4&) = delete;

  // XORs length bytes of keystream into out (in place when out is null);
  // successive calls continue the keystream.
  void process(unsigned char* in, int length, unsigned char* out = nullptr);

 private:
  unsigned char state_[256];
  unsigned char i_ = 0;
  unsigned char j_ = 0;
};

}  // namespace kpl
