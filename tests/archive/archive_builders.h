// Small builders for archive and PE test inputs, from the published layouts.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kpl::test {

using Bytes = std::vector<uint8_t>;

inline void putU16(Bytes& b, std::size_t at, uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(Bytes& b, std::size_t at, uint32_t v) {
  putU16(b, at, static_cast<uint16_t>(v));
  putU16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
// Little-endian fields {offset, width 2 or 4, value} written into `b`.
struct Field {
  std::size_t at;
  int width;
  uint64_t value;
};
inline Bytes& put(Bytes& b, std::initializer_list<Field> fields) {
  for (const Field& f : fields) {
    if (f.width == 2) putU16(b, f.at, static_cast<uint16_t>(f.value));
    if (f.width == 4) putU32(b, f.at, static_cast<uint32_t>(f.value));
  }
  return b;
}
inline void putText(Bytes& b, std::size_t at, const std::string& s) {
  if (b.size() < at + s.size()) b.resize(at + s.size());
  std::copy(s.begin(), s.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}
inline void append(Bytes& b, const Bytes& tail) { b.insert(b.end(), tail.begin(), tail.end()); }
inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }
// `size` bytes of zeros with `text` at `at`.
inline Bytes textAt(std::size_t size, std::size_t at, const std::string& text) {
  Bytes b(size, 0);
  putText(b, at, text);
  return b;
}

// Stored-only ZIP archives with right checksums (libzip verifies them):
// ZipBuilder().entry("a.txt", "hi").bytes(). `flags` and `version` (needed
// to extract) go into both headers.
class ZipBuilder {
 public:
  ZipBuilder& prefix(const Bytes& stub) { return data_ = stub, *this; }
  ZipBuilder& comment(const std::string& text) { return comment_ = text, *this; }
  ZipBuilder& entry(const std::string& name, const std::string& content, bool inDirectory = true,
                    uint16_t flags = 0, uint16_t version = 10) {
    const std::size_t size = content.size(), local = data_.size();
    const uint32_t crc = crc32(content);
    Bytes h(30, 0), c(46, 0);
    append(data_, put(h, {{0, 4, 0x04034B50}, {4, 2, version}, {6, 2, flags}, {14, 4, crc}, {18, 4, size},
                          {22, 4, size}, {26, 2, name.size()}}));
    append(data_, bytesOf(name + content));
    if (!inDirectory) return *this;
    append(central_, put(c, {{0, 4, 0x02014B50}, {4, 2, 20}, {6, 2, version}, {8, 2, flags}, {16, 4, crc},
                             {20, 4, size}, {24, 4, size}, {28, 2, name.size()}, {42, 4, local}}));
    append(central_, bytesOf(name));
    return ++count_, *this;
  }
  static uint32_t crc32(const std::string& data) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
      c ^= byte;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
  }
  Bytes bytes() const {
    Bytes out = data_, e(22, 0);
    put(e, {{0, 4, 0x06054B50}, {8, 2, count_}, {10, 2, count_}, {12, 4, central_.size()}, {16, 4, out.size()},
            {20, 2, comment_.size()}});
    append(out, central_);
    append(out, e);
    append(out, bytesOf(comment_));
    return out;
  }

 private:
  Bytes data_, central_;
  std::string comment_;
  uint16_t count_ = 0;
};

// Minimal PE images: a DOS header, the COFF header (16-byte optional
// header), sections whose raw data is 512-aligned, then an optional overlay.
class PeBuilder {
 public:
  PeBuilder& section(const std::string& name, uint32_t va, const Bytes& raw) {
    return sections_.push_back({name, va, raw}), *this;
  }
  PeBuilder& overlay(const Bytes& bytes) { return overlay_ = bytes, *this; }
  Bytes bytes() const {
    Bytes b = textAt(64, 0, "MZ");
    putText(b, 64, std::string("PE\0\0", 4));
    put(b, {{60, 4, 64}, {68, 2, 0x8664}, {70, 2, sections_.size()}, {84, 2, 16}});
    b.resize((104 + 40 * sections_.size() + 511) / 512 * 512, 0);
    for (std::size_t i = 0; i < sections_.size(); ++i) {
      const Section& s = sections_[i];
      const std::size_t h = 104 + 40 * i, size = (s.raw.size() + 511) / 512 * 512;
      putText(b, h, s.name.substr(0, 8));
      put(b, {{h + 8, 4, s.raw.size()}, {h + 12, 4, s.va}, {h + 16, 4, size}, {h + 20, 4, b.size()}});
      append(b, s.raw);
      b.resize(b.size() + size - s.raw.size(), 0);
    }
    return append(b, overlay_), b;
  }

 private:
  struct Section {
    std::string name;
    uint32_t va;
    Bytes raw;
  };
  std::vector<Section> sections_;
  Bytes overlay_;
};

// A ".rsrc" section holding resources of one type (three levels: type,
// name 1, then one language entry per payload, 0x409 upwards), placed at
// virtual address rva. Layout: root at 0, type directory at 0x18, name
// directory at 0x30, data entries after it, then the payloads.
inline Bytes resourceSection(uint32_t type, const std::vector<Bytes>& payloads, uint32_t rva) {
  const std::size_t n = payloads.size(), dataAt = 0x30 + 16 + 8 * n;
  Bytes s(dataAt + 16 * n, 0);
  put(s, {{14, 2, 1}, {16, 4, type}, {20, 4, 0x80000018u}, {0x18 + 14, 2, 1}, {0x18 + 16, 4, 1},
          {0x18 + 20, 4, 0x80000030u}, {0x30 + 14, 2, n}});
  for (std::size_t i = 0; i < n; ++i) {
    put(s, {{0x30 + 16 + 8 * i, 4, 0x409 + i}, {0x30 + 20 + 8 * i, 4, dataAt + 16 * i},
            {dataAt + 16 * i, 4, rva + s.size()}, {dataAt + 16 * i + 4, 4, payloads[i].size()}});
    append(s, payloads[i]);
  }
  return s;
}

// A resource section of `levels` distinct directories, each the only entry
// of the one before, the last holding a data entry.
inline Bytes resourceChain(uint32_t levels) {
  Bytes c(levels * 24 + 16, 0);
  for (uint32_t d = 0; d < levels; ++d)
    put(c, {{d * 24 + 14, 2, 1}, {d * 24 + 20, 4, d + 1 < levels ? (0x80000000u | (d + 1) * 24) : levels * 24}});
  return c;
}

}  // namespace kpl::test
