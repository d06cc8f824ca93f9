// MD5 message digest (RFC 1321) and HMAC-MD5 (RFC 2104, 64-byte block).
// C-style functions over a caller-owned context; the legacy Office RC4
// verifier derives its keys with md5_starts/md5_update/md5_finish.
#pragma once

#include <cstdint>

namespace kpl {

struct md5_context {
  uint32_t total[2];        // bytes processed: low word, carry into high word
  uint32_t state[4];        // chaining words
  unsigned char buffer[64]; // partial block
  unsigned char ipad[64];   // HMAC inner pad
  unsigned char opad[64];   // HMAC outer pad
};

void md5_starts(md5_context* ctx);
// A length of 0 or less does nothing.
void md5_update(md5_context* ctx, const unsigned char* input, int length);
void md5_finish(md5_context* ctx, unsigned char output[16]);

// One-shot digest; the temporary context is wiped afterwards.
void md5(const unsigned char* input, int length, unsigned char output[16]);
// 0 on success, 1 when the file cannot be opened, 2 on a read error.
int md5_file(const char* path, unsigned char output[16]);

// HMAC-MD5. A key longer than the 64-byte block is not hashed first: only
// its first 64 bytes are used.
void md5_hmac_starts(md5_context* ctx, const unsigned char* key, int keyLength);
void md5_hmac_update(md5_context* ctx, const unsigned char* input, int length);
void md5_hmac_finish(md5_context* ctx, unsigned char output[16]);
void md5_hmac(const unsigned char* key, int keyLength, const unsigned char* input, int length,
              unsigned char output[16]);

// Kept for callers of the classic interface; the unit tests hold the real
// test vectors. Returns 0.
int md5_self_test(int verbose);

}  // namespace kpl
