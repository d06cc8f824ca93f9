// The hash and cipher primitives against their published test vectors.
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

std::string md5Hex(const std::string& s) {
  unsigned char out[16];
  md5(bytes(s), static_cast<int>(s.size()), out);
  return hex(out, 16);
}

std::string sha1Hex(const std::string& s, int repeat = 1) {
  CSHA1 sha;
  for (int i = 0; i < repeat; ++i) sha.Update(bytes(s), static_cast<unsigned int>(s.size()));
  sha.Final();
  unsigned char out[20];
  EXPECT_TRUE(sha.GetHash(out));
  return hex(out, 20);
}

TEST(Md5, Rfc1321Vectors) {
  EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(md5Hex(std::string("1234567890") + "1234567890" + "1234567890" + "1234567890" + "1234567890" +
                   "1234567890" + "1234567890" + "1234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecewiseUpdatesAndNegativeLengths) {
  const std::string text = "The quick brown fox jumps over the lazy dog, twice over and then some more bytes";
  md5_context ctx;
  md5_starts(&ctx);
  md5_update(&ctx, bytes(text), -5);  // ignored
  for (std::size_t i = 0; i < text.size(); i += 7)
    md5_update(&ctx, bytes(text) + i, static_cast<int>(std::min<std::size_t>(7, text.size() - i)));
  unsigned char out[16];
  md5_finish(&ctx, out);
  EXPECT_EQ(hex(out, 16), md5Hex(text));
}

TEST(Md5, HmacRfc2202AndLongKeys) {
  unsigned char out[16];
  const std::string key1(16, '\x0b');
  md5_hmac(bytes(key1), 16, bytes(std::string("Hi There")), 8, out);
  EXPECT_EQ(hex(out, 16), "9294727a3638bb1c13f48ef8158bfc9d");
  const std::string data2 = "what do ya want for nothing?";
  md5_hmac(bytes(std::string("Jefe")), 4, bytes(data2), static_cast<int>(data2.size()), out);
  EXPECT_EQ(hex(out, 16), "750c783e6ab0b503eaa86e310a5db738");
  const std::string key3(16, '\xaa'), data3(50, '\xdd');
  md5_hmac(bytes(key3), 16, bytes(data3), 50, out);
  EXPECT_EQ(hex(out, 16), "56be34521d144c88dbb8c733f0e8b3f6");

  // Keys longer than the block are cut to 64 bytes, not hashed first.
  std::string longKey(100, '\0');
  for (std::size_t i = 0; i < longKey.size(); ++i) longKey[i] = static_cast<char>(i);
  unsigned char cut[16];
  md5_hmac(bytes(longKey), 100, bytes(data2), static_cast<int>(data2.size()), out);
  md5_hmac(bytes(longKey), 64, bytes(data2), static_cast<int>(data2.size()), cut);
  EXPECT_EQ(hex(out, 16), hex(cut, 16));
}

TEST(Sha1, Rfc3174Vectors) {
  EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(sha1Hex(std::string(1000, 'a'), 1000), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(sha1Hex("0123456701234567012345670123456701234567012345670123456701234567", 10),
            "dea356a2cddd90c7a7ecedc5ebb563934f460452");
  EXPECT_EQ(sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(Sha1, Reports) {
  CSHA1 sha;
  sha.Update(bytes(std::string("abc")), 3);
  sha.Final();
  std::string text;
  ASSERT_TRUE(sha.ReportHashStl(text, CSHA1::REPORT_HEX));
  EXPECT_EQ(text.size(), 59u);
  EXPECT_EQ(text.substr(0, 9), "A9 99 3E ");
  ASSERT_TRUE(sha.ReportHashStl(text, CSHA1::REPORT_HEX_SHORT));
  EXPECT_EQ(text, "A9993E364706816ABA3E25717850C26C9CD0D89D");
  ASSERT_TRUE(sha.ReportHashStl(text, CSHA1::REPORT_DIGIT));
  EXPECT_EQ(text.substr(0, 12), "169 153 62 5");
  char buffer[80];
  EXPECT_FALSE(sha.ReportHash(nullptr));
  EXPECT_FALSE(sha.ReportHash(buffer, static_cast<CSHA1::REPORT_TYPE>(7)));
  EXPECT_FALSE(sha.GetHash(nullptr));
}

std::string rc4Hex(const std::string& key, const std::string& plain) {
  std::string buffer = plain;
  RC4 cipher(bytes(key), static_cast<int>(key.size()));
  cipher.process(reinterpret_cast<unsigned char*>(&buffer[0]), static_cast<int>(buffer.size()));
  return hex(bytes(buffer), buffer.size());
}

TEST(Rc4, PublishedVectorsAndRoundTrip) {
  EXPECT_EQ(rc4Hex("Key", "Plaintext"), "bbf316e8d940af0ad3");
  EXPECT_EQ(rc4Hex("Wiki", "pedia"), "1021bf0420");
  EXPECT_EQ(rc4Hex("Secret", "Attack at dawn"), "45a01f645fc35b383552544b9bf5");
  // RFC 6229, 128-bit key 0x0102...10, keystream offset 0.
  std::string key;
  for (int i = 1; i <= 16; ++i) key += static_cast<char>(i);
  EXPECT_EQ(rc4Hex(key, std::string(16, '\0')), "9ac7cc9a609d1ef7b2932899cde41b97");

  // A zero-terminated key, keystream continued across calls, and a fresh
  // object with the same key restoring the input.
  unsigned char data[10] = {'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't', 0};
  unsigned char enc[9];
  RC4 a(bytes(std::string("Key")), -1);
  a.process(data, 4, enc);
  a.process(data + 4, 5, enc + 4);
  EXPECT_EQ(hex(enc, 9), "bbf316e8d940af0ad3");
  RC4 b(bytes(key), 16);
  unsigned char once[9];
  std::memcpy(once, data, 9);
  b.process(once, 9);
  RC4 c(bytes(key), 16);
  c.process(once, 9);
  EXPECT_EQ(std::memcmp(once, data, 9), 0);
}

}  // namespace
}  // namespace kpl
