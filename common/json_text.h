// Text that goes into a JSON string: whatever bytes a file or a file name
// carried, the result is well-formed JSON that any strict parser accepts.
// Header-only, because the command-line host (which loads the engine
// rather than linking it) writes file names with the same rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kpl::json_text {

// The length of the well-formed UTF-8 sequence that starts text[pos]
// (1 to 4), or 0 when none starts there. With 0, *invalidLength receives the
// length of the maximal ill-formed subpart (at least 1): the bytes that one
// U+FFFD replaces, the way the Unicode standard recommends, so that a
// truncated sequence costs one replacement and a stray byte one each.
inline std::size_t utf8SequenceLength(std::string_view text, std::size_t pos, std::size_t* invalidLength) {
  const auto byteAt = [&](std::size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byteAt(pos);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  }
  std::size_t good = 1;
  if (length != 0) {
    for (; good < length && pos + good < text.size(); ++good) {
      const uint8_t b = byteAt(pos + good);
      const uint8_t lo = good == 1 ? low : 0x80, hi = good == 1 ? high : 0xBF;
      if (b < lo || b > hi) break;
    }
    if (good == length) return length;
  }
  if (invalidLength != nullptr) *invalidLength = good;
  return 0;
}

inline bool isValidUtf8(std::string_view text) {
  for (std::size_t pos = 0, n; pos < text.size(); pos += n)
    if ((n = utf8SequenceLength(text, pos, nullptr)) == 0) return false;
  return true;
}

// The text with every ill-formed UTF-8 subpart replaced by U+FFFD, for
// writers that escape by themselves but copy bytes as they are.
inline std::string mendedUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t invalid = 1;
    const std::size_t n = utf8SequenceLength(text, pos, &invalid);
    if (n == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      pos += invalid;
    } else {
      out.append(text.substr(pos, n));
      pos += n;
    }
  }
  return out;
}

// Appends the byte as two lower-case hexadecimal digits.
inline void appendHexByte(std::string& out, uint8_t byte) {
  static const char kHex[] = "0123456789abcdef";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// Appends text as the inside of a JSON string: the seven short escapes
// (\b \t \n \f \r \" \\), every other byte below 0x20 as \u00XX, every
// ill-formed UTF-8 subpart as U+FFFD; valid text otherwise unchanged.
inline void appendEscaped(std::string& out, std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const char c = text[pos];
    std::size_t invalid = 1;
    const std::size_t n = utf8SequenceLength(text, pos, &invalid);
    if (n == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      pos += invalid;
      continue;
    }
    switch (c) {
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default:
        if (static_cast<uint8_t>(c) < 0x20) {
          out += "\\u00";
          appendHexByte(out, static_cast<uint8_t>(c));
        } else {
          out.append(text.data() + pos, n);
        }
    }
    pos += n;
  }
}

}  // namespace kpl::json_text
