// The hash and cipher primitives against published test vectors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "office/crypto_md5.h"
#include "office/crypto_rc4.h"
#include "office/crypto_sha1.h"

namespace kpl {
namespace {

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
  EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  std::string eighty;  // crosses a block boundary
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
  EXPECT_EQ(sha1Hex("abc", 1), "a9993e364706816aba3e25717850c26c9cd0d89d");
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
