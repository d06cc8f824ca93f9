// Small builders for archive and PE test inputs, from the published layouts.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_fta_utils.h"

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
inline void putText(Bytes& b, std::size_t at, const std::string& s) {
  if (b.size() < at + s.size()) b.resize(at + s.size());
  for (std::size_t i = 0; i < s.size(); ++i) b[at + i] = static_cast<uint8_t>(s[i]);
}
inline void append(Bytes& b, const Bytes& tail) { b.insert(b.end(), tail.begin(), tail.end()); }
inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Stored-only ZIP archives: ZipBuilder().entry("a.txt", "hi").bytes().
class ZipBuilder {
 public:
  ZipBuilder& prefix(const Bytes& stub) {
    data_ = stub;
    return *this;
  }
  ZipBuilder& entry(const std::string& name, const std::string& content, bool inDirectory = true) {
    const uint32_t local = static_cast<uint32_t>(data_.size());
    Bytes h(30, 0);
    putU32(h, 0, 0x04034B50);
    putU32(h, 18, static_cast<uint32_t>(content.size()));
    putU32(h, 22, static_cast<uint32_t>(content.size()));
    putU16(h, 26, static_cast<uint16_t>(name.size()));
    append(data_, h);
    append(data_, bytesOf(name));
    append(data_, bytesOf(content));
    if (inDirectory) {
      Bytes c(46, 0);
      putU32(c, 0, 0x02014B50);
      putU32(c, 20, static_cast<uint32_t>(content.size()));
      putU32(c, 24, static_cast<uint32_t>(content.size()));
      putU16(c, 28, static_cast<uint16_t>(name.size()));
      putU32(c, 42, local);
      append(c, bytesOf(name));
      append(central_, c);
      ++count_;
    }
    return *this;
  }
  ZipBuilder& comment(const std::string& text) {
    comment_ = text;
    return *this;
  }
  Bytes bytes() const {
    Bytes out = data_;
    const uint32_t cdOffset = static_cast<uint32_t>(out.size());
    append(out, central_);
    Bytes e(22, 0);
    putU32(e, 0, 0x06054B50);
    putU16(e, 8, count_);
    putU16(e, 10, count_);
    putU32(e, 12, static_cast<uint32_t>(central_.size()));
    putU32(e, 16, cdOffset);
    putU16(e, 20, static_cast<uint16_t>(comment_.size()));
    append(out, e);
    append(out, bytesOf(comment_));
    return out;
  }

 private:
  Bytes data_, central_;
  std::string comment_;
  uint16_t count_ = 0;
};

// Minimal PE images: a DOS header, the COFF header, sections whose raw data
// is 512-aligned, then an optional overlay.
class PeBuilder {
 public:
  static constexpr uint32_t kPeOffset = 64;
  static constexpr uint16_t kOptionalHeaderSize = 16;

  PeBuilder& section(const std::string& name, uint32_t virtualAddress, const Bytes& raw) {
    sections_.push_back({name, virtualAddress, raw});
    return *this;
  }
  PeBuilder& overlay(const Bytes& bytes) {
    overlay_ = bytes;
    return *this;
  }
  Bytes bytes() const {
    Bytes b(kPeOffset, 0);
    putText(b, 0, "MZ");
    putU32(b, 60, kPeOffset);
    putText(b, kPeOffset, std::string("PE\0\0", 4));
    putU16(b, kPeOffset + 4, 0x8664);
    putU16(b, kPeOffset + 6, static_cast<uint16_t>(sections_.size()));
    putU16(b, kPeOffset + 20, kOptionalHeaderSize);
    const std::size_t table = kPeOffset + 24 + kOptionalHeaderSize;
    std::size_t raw = (table + 40 * sections_.size() + 511) / 512 * 512;
    b.resize(raw, 0);
    for (std::size_t i = 0; i < sections_.size(); ++i) {
      const Section& s = sections_[i];
      const std::size_t h = table + 40 * i;
      putText(b, h, s.name.substr(0, 8));
      putU32(b, h + 8, static_cast<uint32_t>(s.raw.size()));
      putU32(b, h + 12, s.virtualAddress);
      const std::size_t size = (s.raw.size() + 511) / 512 * 512;
      putU32(b, h + 16, static_cast<uint32_t>(size));
      putU32(b, h + 20, static_cast<uint32_t>(b.size()));
      Bytes padded = s.raw;
      padded.resize(size, 0);
      append(b, padded);
    }
    append(b, overlay_);
    return b;
  }

 private:
  struct Section {
    std::string name;
    uint32_t virtualAddress;
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
  const std::size_t n = payloads.size();
  const std::size_t dataAt = 0x30 + 16 + 8 * n;
  Bytes s(dataAt + 16 * n, 0);
  putU16(s, 14, 1);
  putU32(s, 16, type);
  putU32(s, 20, 0x80000000u | 0x18);
  putU16(s, 0x18 + 14, 1);
  putU32(s, 0x18 + 16, 1);
  putU32(s, 0x18 + 20, 0x80000000u | 0x30);
  putU16(s, 0x30 + 14, static_cast<uint16_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    putU32(s, 0x30 + 16 + 8 * i, static_cast<uint32_t>(0x409 + i));
    putU32(s, 0x30 + 20 + 8 * i, static_cast<uint32_t>(dataAt + 16 * i));
    putU32(s, dataAt + 16 * i, rva + static_cast<uint32_t>(s.size()));
    putU32(s, dataAt + 16 * i + 4, static_cast<uint32_t>(payloads[i].size()));
    append(s, payloads[i]);
  }
  return s;
}
inline Bytes resourceSection(uint32_t type, const Bytes& payload, uint32_t rva) {
  return resourceSection(type, std::vector<Bytes>{payload}, rva);
}

// RAR 4 and RAR 5 main headers, with or without the volume flag.
inline Bytes rar4(bool volume) {
  Bytes b = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
  Bytes main = {0x00, 0x00, 0x73, static_cast<uint8_t>(volume ? 0x01 : 0x00), 0x00, 0x0D, 0x00, 0, 0, 0, 0, 0, 0};
  append(b, main);
  append(b, Bytes(20, 0x11));
  return b;
}

inline Bytes rar5(bool volume) {
  // CRC, size, type 1 (main), flags 0x0001 (extra area follows), extra
  // area size, archive flags (0x0001 volume, 0x0002 number present), number.
  Bytes b = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x06, 0x01, 0x01, 0x80, 0x00};
  b.push_back(volume ? 0x03 : 0x00);
  b.push_back(0x00);
  append(b, Bytes(20, 0x11));
  return b;
}

// A raw CD image of 2352-byte sectors of one mode.
inline Bytes rawCd(std::size_t sectors, uint8_t mode) {
  Bytes b(sectors * 2352, 0x5A);
  for (std::size_t k = 0; k < sectors; ++k) {
    const std::size_t at = k * 2352;
    b[at] = 0;
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(at + 1), b.begin() + static_cast<std::ptrdiff_t>(at + 11), 0xFF);
    b[at + 11] = 0;
    b[at + 15] = mode;
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(at + 2068), b.begin() + static_cast<std::ptrdiff_t>(at + 2076), 0);
  }
  return b;
}

// A SAP archive header ("CAR " and a version) and a first entry type.
inline Bytes sarArchive(const std::string& version, const std::string& entry) {
  Bytes b = bytesOf("CAR " + version + entry);
  b.resize(8 + 40, 0);
  return b;
}

// A PIM header: magic, two bytes, a name, sizes A and B, B bytes of data,
// then `extra` more bytes.
inline Bytes pimArchive(const std::string& magic, uint32_t a, uint32_t b, uint32_t extra) {
  Bytes p = bytesOf(magic + "..name.dat");
  p.push_back(0);
  const std::size_t at = p.size();
  putU32(p, at, a);
  putU32(p, at + 4, b);
  p.resize(p.size() + b + extra, 0x44);
  return p;
}

// The files generate.sh makes and the archive type each one is.
inline const std::vector<std::pair<const char*, ArchiveType>>& archiveFixtures() {
  static const std::vector<std::pair<const char*, ArchiveType>> fixtures = {
      {"plain.zip", ArchiveType::Zip},         {"streamed.zip", ArchiveType::Zip},          {"commented.zip", ArchiveType::Zip},
      {"jar_upper.jar", ArchiveType::Jar},     {"jar_lower.jar", ArchiveType::Jar},         {"apk.apk", ArchiveType::Apk},
      {"android_only.zip", ArchiveType::Zip},  {"xpi_json.xpi", ArchiveType::Xpi},          {"xpi_rdf.xpi", ArchiveType::Xpi},
      {"cdr_meta_inf.cdr", ArchiveType::Cdr},  {"cdr_metadata.cdr", ArchiveType::Cdr},      {"cdr_half.zip", ArchiveType::Zip},
      {"a.7z", ArchiveType::SevenZip},         {"ustar.tar", ArchiveType::Tar},             {"v7_dir.tar", ArchiveType::Tar},       {"v7_file.tar", ArchiveType::None},
      {"noise.gz", ArchiveType::Gzip},         {"a.bz2", ArchiveType::Bzip2},               {"noise.xz", ArchiveType::Xz},
      {"a.lzma", ArchiveType::Lzma},           {"noise.Z", ArchiveType::Compress},          {"a_newc.cpio", ArchiveType::Cpio},
      {"a_odc.cpio", ArchiveType::Cpio},       {"a_bin.cpio", ArchiveType::Cpio},           {"fixture.deb", ArchiveType::Deb},
      {"fixture.rpm", ArchiveType::Rpm},       {"a.cab", ArchiveType::Cab},                 {"a.arj", ArchiveType::Arj},
      {"a.arc", ArchiveType::Arc},             {"a.lzh", ArchiveType::Lzh},                 {"a.wim", ArchiveType::Wim},
      {"head.iso", ArchiveType::Iso},          {"head.udf", ArchiveType::Udf},              {"dynamic.vhd", ArchiveType::Vhd},
      {"zipsplit.z01", ArchiveType::Zip},      {"vol.7z.001", ArchiveType::SevenZip},       {"plain.exe", ArchiveType::None},
      {"plain.dll", ArchiveType::None},        {"rcdata_cab.exe", ArchiveType::ExeSfx},     {"sfx_7z.exe", ArchiveType::ExeSfx},
      {"sfx_7z_padded.exe", ArchiveType::ExeSfx}, {"sfx_zip.exe", ArchiveType::ExeSfx},     {"sfx_zip_comment.exe", ArchiveType::ExeSfx},
      {"sfx_zip_padded.exe", ArchiveType::ExeSfx},
  };
  return fixtures;
}

}  // namespace kpl::test
