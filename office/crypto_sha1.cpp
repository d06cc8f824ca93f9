// SHA-1 as FIPS 180-1 describes it: big-endian words, an 80-word message
// schedule, four groups of twenty rounds.
#include "office/crypto_sha1.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "common/byte_reader.h"

namespace kpl {

namespace {

// Large blocks keep the number of reads small for big files.
constexpr std::size_t kHashFileBlock = 524800;

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

CSHA1::CSHA1() { Reset(); }

CSHA1::~CSHA1() { Reset(); }

void CSHA1::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xEFCDAB89;
  state_[2] = 0x98BADCFE;
  state_[3] = 0x10325476;
  state_[4] = 0xC3D2E1F0;
  count_[0] = 0;
  count_[1] = 0;
  std::memset(buffer_, 0, sizeof buffer_);
  std::memset(digest_, 0, sizeof digest_);
}

void CSHA1::transform(const unsigned char block[64]) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) w[i] = loadU32BE(block + 4 * i);
  for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t t = rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = rotl(b, 30);
    b = a;
    a = t;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
}

void CSHA1::Update(const unsigned char* data, unsigned int length) {
  if (data == nullptr || length == 0) return;
  uint32_t used = (count_[0] >> 3) & 63;
  const uint32_t bitsLow = length << 3;
  count_[0] += bitsLow;
  if (count_[0] < bitsLow) count_[1]++;
  count_[1] += length >> 29;

  uint32_t i = 0;
  if (used + length > 63) {
    i = 64 - used;
    std::memcpy(buffer_ + used, data, i);
    transform(buffer_);
    for (; i + 63 < length; i += 64) transform(data + i);
    used = 0;
  }
  std::memcpy(buffer_ + used, data + i, length - i);
}

void CSHA1::Final() {
  unsigned char length[8];
  for (int i = 0; i < 4; ++i) {
    length[i] = static_cast<unsigned char>(count_[1] >> (24 - 8 * i));
    length[i + 4] = static_cast<unsigned char>(count_[0] >> (24 - 8 * i));
  }
  const unsigned char one = 0x80, zero = 0;
  Update(&one, 1);
  while ((count_[0] & 504) != 448) Update(&zero, 1);
  Update(length, 8);
  for (int i = 0; i < 20; ++i) digest_[i] = static_cast<unsigned char>(state_[i >> 2] >> (24 - 8 * (i & 3)));

  std::memset(buffer_, 0, sizeof buffer_);
  std::memset(state_, 0, sizeof state_);
  std::memset(count_, 0, sizeof count_);
}

bool CSHA1::GetHash(unsigned char* out20) const {
  if (out20 == nullptr) return false;
  std::memcpy(out20, digest_, 20);
  return true;
}

bool CSHA1::HashFile(const char* path) {
  if (path == nullptr) return false;
  InputFile file(path);
  if (!file.isOpen()) return false;
  unsigned char* block = new (std::nothrow) unsigned char[kHashFileBlock];
  if (block == nullptr) return false;
  uint64_t offset = 0;
  bool reachedEnd = true;
  while (offset < file.size()) {
    const std::size_t got = file.readAt(offset, block, kHashFileBlock);
    if (got == 0) {
      reachedEnd = false;
      break;
    }
    Update(block, static_cast<unsigned int>(got));
    offset += got;
  }
  delete[] block;
  return reachedEnd;
}

bool CSHA1::ReportHash(char* out, REPORT_TYPE type) const {
  if (out == nullptr) return false;
  std::string text;
  if (!ReportHashStl(text, type)) return false;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

bool CSHA1::ReportHashStl(std::string& out, REPORT_TYPE type) const {
  const char* format;
  switch (type) {
    case REPORT_HEX: format = "%02X"; break;
    case REPORT_HEX_SHORT: format = "%02X"; break;
    case REPORT_DIGIT: format = "%u"; break;
    default: return false;
  }
  out.clear();
  char piece[8];
  for (int i = 0; i < 20; ++i) {
    if (i > 0 && type != REPORT_HEX_SHORT) out += ' ';
    std::snprintf(piece, sizeof piece, format, static_cast<unsigned>(digest_[i]));
    out += piece;
  }
  return true;
}

}  // namespace kpl
