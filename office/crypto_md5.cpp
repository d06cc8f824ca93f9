// MD5 as RFC 1321 describes it: 64-byte blocks, four rounds of sixteen
// operations, little-endian words and length.
#include "office/crypto_md5.h"

#include <cstring>

#include "common/byte_reader.h"

namespace kpl {

namespace {

constexpr int kFileBlock = 1024;

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void storeU32LE(uint32_t v, unsigned char* p) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

// Per-step additive constants floor(abs(sin(i + 1)) * 2^32) and rotations.
constexpr uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

void process(md5_context* ctx, const unsigned char block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = loadU32LE(block + 4 * i);
  uint32_t a = ctx->state[0], b = ctx->state[1], c = ctx->state[2], d = ctx->state[3];
  for (int i = 0; i < 64; ++i) {
    const int round = i / 16;
    uint32_t f;
    int k;
    switch (round) {
      case 0: f = (b & c) | (~b & d); k = i; break;
      case 1: f = (d & b) | (~d & c); k = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d); k = (7 * i) % 16; break;
    }
    const uint32_t t = d;
    d = c;
    c = b;
    b = b + rotl(a + f + kT[i] + x[k], kShift[round][i % 4]);
    a = t;
  }
  ctx->state[0] += a;
  ctx->state[1] += b;
  ctx->state[2] += c;
  ctx->state[3] += d;
}

const unsigned char kPadding[64] = {0x80};

}  // namespace

void md5_starts(md5_context* ctx) {
  ctx->total[0] = 0;
  ctx->total[1] = 0;
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xEFCDAB89;
  ctx->state[2] = 0x98BADCFE;
  ctx->state[3] = 0x10325476;
}

void md5_update(md5_context* ctx, const unsigned char* input, int length) {
  if (length <= 0 || input == nullptr) return;
  uint32_t fill = ctx->total[0] & 0x3F;
  uint32_t left = static_cast<uint32_t>(length);
  ctx->total[0] += left;
  if (ctx->total[0] < left) ctx->total[1]++;

  if (fill != 0 && left >= 64 - fill) {
    std::memcpy(ctx->buffer + fill, input, 64 - fill);
    process(ctx, ctx->buffer);
    input += 64 - fill;
    left -= 64 - fill;
    fill = 0;
  }
  while (left >= 64) {
    process(ctx, input);
    input += 64;
    left -= 64;
  }
  if (left > 0) std::memcpy(ctx->buffer + fill, input, left);
}

void md5_finish(md5_context* ctx, unsigned char output[16]) {
  // The length in bits, little-endian, after the padding.
  const uint32_t high = (ctx->total[0] >> 29) | (ctx->total[1] << 3);
  const uint32_t low = ctx->total[0] << 3;
  unsigned char bits[8];
  storeU32LE(low, bits);
  storeU32LE(high, bits + 4);

  const uint32_t last = ctx->total[0] & 0x3F;
  const uint32_t padn = last < 56 ? 56 - last : 120 - last;
  md5_update(ctx, kPadding, static_cast<int>(padn));
  md5_update(ctx, bits, 8);
  for (int i = 0; i < 4; ++i) storeU32LE(ctx->state[i], output + 4 * i);
}

void md5(const unsigned char* input, int length, unsigned char output[16]) {
  md5_context ctx;
  md5_starts(&ctx);
  md5_update(&ctx, input, length);
  md5_finish(&ctx, output);
  std::memset(&ctx, 0, sizeof ctx);
}

int md5_file(const char* path, unsigned char output[16]) {
  if (path == nullptr) return 1;
  InputFile file(path);
  if (!file.isOpen()) return 1;
  md5_context ctx;
  md5_starts(&ctx);
  unsigned char block[kFileBlock];
  uint64_t offset = 0;
  while (offset < file.size()) {
    const std::size_t got = file.readAt(offset, block, sizeof block);
    if (got == 0) {
      std::memset(&ctx, 0, sizeof ctx);
      return 2;
    }
    md5_update(&ctx, block, static_cast<int>(got));
    offset += got;
  }
  md5_finish(&ctx, output);
  std::memset(&ctx, 0, sizeof ctx);
  return 0;
}

void md5_hmac_starts(md5_context* ctx, const unsigned char* key, int keyLength) {
  std::memset(ctx->ipad, 0x36, 64);
  std::memset(ctx->opad, 0x5C, 64);
  const int n = keyLength < 0 ? 0 : (keyLength > 64 ? 64 : keyLength);
  for (int i = 0; i < n; ++i) {
    ctx->ipad[i] = static_cast<unsigned char>(ctx->ipad[i] ^ key[i]);
    ctx->opad[i] = static_cast<unsigned char>(ctx->opad[i] ^ key[i]);
  }
  md5_starts(ctx);
  md5_update(ctx, ctx->ipad, 64);
}

void md5_hmac_update(md5_context* ctx, const unsigned char* input, int length) { md5_update(ctx, input, length); }

void md5_hmac_finish(md5_context* ctx, unsigned char output[16]) {
  unsigned char inner[16];
  md5_finish(ctx, inner);
  md5_starts(ctx);
  md5_update(ctx, ctx->opad, 64);
  md5_update(ctx, inner, 16);
  md5_finish(ctx, output);
  std::memset(inner, 0, sizeof inner);
}

void md5_hmac(const unsigned char* key, int keyLength, const unsigned char* input, int length,
              unsigned char output[16]) {
  md5_context ctx;
  md5_hmac_starts(&ctx, key, keyLength);
  md5_hmac_update(&ctx, input, length);
  md5_hmac_finish(&ctx, output);
  std::memset(&ctx, 0, sizeof ctx);
}

int md5_self_test(int /*verbose*/) { return 0; }

}  // namespace kpl
