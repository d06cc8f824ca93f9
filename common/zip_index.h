// The central directory of a ZIP file, read once and indexed (PKWARE
// APPNOTE 4.3.12 central file header, 4.3.16 end of central directory
// record; little-endian). Nothing is decompressed here: this answers "is
// there a member named X" and "which members, in directory order", which is
// what every package probe asks, in one pass over the directory however
// many questions follow.
//
// The walk keeps the lookup rules the probes were written against: the end
// record is the last signature within the final 65,557 bytes, or else the
// one reached by stepping over local and central headers from the start of
// the file; the walk reads at most the end record's 16-bit entry count of
// central headers, and stops at the first header whose signature is wrong or
// whose name is empty. Entries after such a stop do not exist for a lookup.
// ZIP64 records are not read, so positions are 32-bit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kpl {

class InputFile;

// The fixed parts of the three records this engine reads, decoded from
// their little-endian bytes. Every ZIP reader here decodes them through
// these, so an offset is written down once.
// The fields both headers share, laid out alike from "version needed to
// extract" on (the central header has "version made by" before it).
struct ZipHeaderFields {
  uint16_t flags = 0;
  uint16_t compression = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t nameLength = 0;
  uint16_t extraLength = 0;
};

struct ZipLocalHeader : ZipHeaderFields {
  static constexpr uint8_t kSignature[4] = {0x50, 0x4B, 0x03, 0x04};
  static constexpr uint64_t kLength = 30;
  static ZipLocalHeader decode(const uint8_t* p);  // the kLength bytes at p
  // The header with its name, extra field and stored data.
  uint64_t recordLength() const { return kLength + nameLength + extraLength + compressedSize; }
};

struct ZipCentralHeader : ZipHeaderFields {
  static constexpr uint8_t kSignature[4] = {0x50, 0x4B, 0x01, 0x02};
  static constexpr uint64_t kLength = 46;
  uint16_t commentLength = 0;
  uint32_t localHeaderOffset = 0;
  static ZipCentralHeader decode(const uint8_t* p);  // the kLength bytes at p
  // The header with its name, extra field and comment.
  uint64_t recordLength() const { return kLength + nameLength + extraLength + commentLength; }
};

struct ZipEndRecord {
  static constexpr uint8_t kSignature[4] = {0x50, 0x4B, 0x05, 0x06};
  static constexpr uint64_t kLength = 22;
  uint16_t entryCount = 0;  // on this disk, the one a lookup trusts
  uint32_t directoryOffset = 0;
  static ZipEndRecord decode(const uint8_t* p);  // the kLength bytes at p
};

// Whether the four bytes at p are the signature sig.
bool isZipSignature(const uint8_t* p, const uint8_t (&sig)[4]);

struct ZipEntry {
  std::string_view name;       // bytes as stored: case-sensitive, no path normalisation
  uint16_t flags = 0;          // general-purpose bit flag; bit 0 = encrypted
  uint16_t compression = 0;    // method: 0 stored, 8 deflated, 99 AES, ...
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t localHeaderOffset = 0;

  bool encrypted() const { return (flags & 1u) != 0; }
};

// The end record's signature position by the backwards search over the last
// 65,557 bytes (largest comment plus the record), or -1. The last
// occurrence wins, even one inside the comment.
int64_t findZipEndRecordFromBottom(const InputFile& file);
// The end record reached by stepping over local and central headers from
// the start of the file, or -1. Fails on a stub before the ZIP data and on
// entries written with a data descriptor.
int64_t findZipEndRecordFromTop(const InputFile& file);

class ZipIndex {
 public:
  // Builds the index of file (whose size the file knows).
  static ZipIndex build(const InputFile& file);

  // Where the end record's signature lies, found either way, or -1.
  int64_t endRecordOffset() const { return endRecord_; }
  // The end record found by the backwards search over the last 65,557
  // bytes alone, or -1 (the split-volume probe asks exactly this).
  int64_t endRecordFromBottom() const { return endRecordFromBottom_; }

  // Entries in directory order, up to the first stop.
  const std::vector<ZipEntry>& entries() const { return entries_; }
  // The first entry named exactly name, or null.
  const ZipEntry* find(std::string_view name) const;
  bool contains(std::string_view name) const { return find(name) != nullptr; }

  ZipIndex() = default;
  ZipIndex(ZipIndex&&) noexcept = default;
  ZipIndex& operator=(ZipIndex&&) noexcept = default;
  ZipIndex(const ZipIndex&) = delete;
  ZipIndex& operator=(const ZipIndex&) = delete;

 private:
  int64_t endRecord_ = -1;
  int64_t endRecordFromBottom_ = -1;
  // Every entry's name, back to back; entries_ and byName_ view into it. A
  // vector, not a string: moving it keeps its buffer (a short string's would
  // move inline and leave the views dangling).
  std::vector<char> names_;
  std::vector<ZipEntry> entries_;
  std::unordered_map<std::string_view, std::size_t> byName_;
};

}  // namespace kpl
