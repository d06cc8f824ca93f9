// Big-endian field decoding for the formats that store their numbers that
// way (PNG, JPEG, Photoshop, MPEG audio headers), and hexadecimal digits.
// The caller guarantees the bytes exist; bounds are the business of the
// reader that fetched them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/byte_reader.h"

namespace kpl {

class ByteUtils {
 public:
  static uint16_t bytesToUInt16BE(const uint8_t* p) { return loadU16BE(p); }
  static uint32_t bytesToUInt24BE(const uint8_t* p) { return loadU24BE(p); }
  static uint32_t bytesToUInt32BE(const uint8_t* p) { return loadU32BE(p); }

  // Whether all n bytes equal value (true for n == 0).
  static bool compareArrayValue(const uint8_t* p, std::size_t n, uint8_t value) {
    for (std::size_t i = 0; i < n; ++i)
      if (p[i] != value) return false;
    return true;
  }

  // The value of one hexadecimal digit, either case; -1 for anything else.
  static int hexDigitValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
};

}  // namespace kpl
