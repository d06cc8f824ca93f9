#include "office/crypto_rc4.h"

#include <cstring>

namespace kpl {

void swap_byte(unsigned char& a, unsigned char& b) {
  const unsigned char t = a;
  a = b;
  b = t;
}

RC4::RC4(const unsigned char* key, int keyLength) {
  for (int k = 0; k < 256; ++k) state_[k] = static_cast<unsigned char>(k);
  if (key != nullptr && keyLength == -1) keyLength = static_cast<int>(std::strlen(reinterpret_cast<const char*>(key)));
  if (key == nullptr || keyLength < 1) return;
  unsigned char j = 0;
  for (int k = 0; k < 256; ++k) {
    j = static_cast<unsigned char>(j + state_[k] + key[k % keyLength]);
    swap_byte(state_[k], state_[j]);
  }
}

RC4::~RC4() {
  std::memset(state_, 0, sizeof state_);
  i_ = j_ = 0;
}

void RC4::process(unsigned char* in, int length, unsigned char* out) {
  if (in == nullptr) return;
  if (out == nullptr) out = in;
  for (int n = 0; n < length; ++n) {
    i_ = static_cast<unsigned char>(i_ + 1);
    j_ = static_cast<unsigned char>(j_ + state_[i_]);
    swap_byte(state_[i_], state_[j_]);
    out[n] = static_cast<unsigned char>(in[n] ^ state_[static_cast<unsigned char>(state_[i_] + state_[j_])]);
  }
}

}  // namespace kpl
