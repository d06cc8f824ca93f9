#include "common/zip_index.h"

#include <cstring>

#include "common/byte_reader.h"
#include "common/limits.h"

namespace kpl {
namespace {

constexpr uint8_t kLocalSig[4] = {0x50, 0x4B, 0x03, 0x04};
constexpr uint8_t kCentralSig[4] = {0x50, 0x4B, 0x01, 0x02};
constexpr uint8_t kEndSig[4] = {0x50, 0x4B, 0x05, 0x06};
constexpr uint64_t kLocalHeaderLen = 30;
constexpr uint64_t kCentralHeaderLen = 46;
constexpr uint64_t kEndRecordLen = 22;
constexpr uint64_t kMaxCommentLen = 65535;

bool isSig(const uint8_t* p, const uint8_t (&sig)[4]) { return std::memcmp(p, sig, 4) == 0; }

}  // namespace

int64_t findZipEndRecordFromBottom(const InputFile& file) {
  const uint64_t fileSize = file.size();
  const uint64_t window = kMaxCommentLen + kEndRecordLen;
  const uint64_t start = fileSize > window ? fileSize - window : 0;
  const uint64_t last = fileSize > kEndRecordLen ? fileSize - kEndRecordLen : 0;
  // last - start + 4 <= 65,539; a file shorter than the record is searched
  // over its first 4 bytes only. Bytes that do not arrive stay zero.
  std::vector<uint8_t> buffer(window - kEndRecordLen + 5, 0);
  file.readAt(start, buffer.data(), static_cast<std::size_t>(last - start + 4));
  for (uint64_t i = last - start + 1; i-- > 0;)
    if (isSig(buffer.data() + i, kEndSig)) return static_cast<int64_t>(start + i);
  return -1;
}

int64_t findZipEndRecordFromTop(const InputFile& file) {
  const uint64_t fileSize = file.size();
  uint64_t pos = 0;
  for (uint32_t records = 0; pos < fileSize && records < limits::kZipTopWalkMaxRecords; ++records) {
    uint8_t head[kCentralHeaderLen] = {};
    file.readAt(pos, head, sizeof head);
    // Every advance is at least the fixed header's length, so the walk only
    // moves forward.
    if (isSig(head, kLocalSig)) {
      pos += kLocalHeaderLen + loadU16LE(head + 26) + loadU16LE(head + 28) + loadU32LE(head + 18);
    } else if (isSig(head, kCentralSig)) {
      pos += kCentralHeaderLen + loadU16LE(head + 28) + loadU16LE(head + 30) + loadU16LE(head + 32);
    } else {
      return isSig(head, kEndSig) ? static_cast<int64_t>(pos) : -1;
    }
  }
  return -1;
}

ZipIndex ZipIndex::build(const InputFile& file) {
  ZipIndex index;
  index.endRecordFromBottom_ = findZipEndRecordFromBottom(file);
  const int64_t end = index.endRecordFromBottom_ >= 0 ? index.endRecordFromBottom_ : findZipEndRecordFromTop(file);
  index.endRecord_ = end;
  if (end < 0) return index;

  uint8_t endRecord[kEndRecordLen] = {};
  file.readAt(static_cast<uint64_t>(end), endRecord, sizeof endRecord);
  const uint16_t entryCount = loadU16LE(endRecord + 10);
  // 32-bit like the format's own positions (and wrapping like them): a
  // directory beyond 4 GiB needs ZIP64, which is not read.
  uint32_t pos = loadU32LE(endRecord + 16);

  struct Pending {
    ZipEntry entry;
    std::size_t nameAt;
    std::size_t nameLen;
  };
  std::vector<Pending> pending;
  for (uint32_t seen = 0; pos < static_cast<uint64_t>(end) && seen < entryCount; ++seen) {
    uint8_t head[kCentralHeaderLen] = {};
    file.readAt(pos, head, sizeof head);
    if (!isSig(head, kCentralSig)) break;
    const uint16_t nameLen = loadU16LE(head + 28);
    if (nameLen == 0) break;
    if (nameLen > limits::kZipIndexMaxNameBytes - index.names_.size()) {
      index.truncatedByLimit_ = true;
      break;
    }
    const uint32_t namePos = pos + static_cast<uint32_t>(kCentralHeaderLen);
    pos = namePos + nameLen + loadU16LE(head + 30) + loadU16LE(head + 32);

    Pending p;
    p.entry.flags = loadU16LE(head + 8);
    p.entry.compression = loadU16LE(head + 10);
    p.entry.compressedSize = loadU32LE(head + 20);
    p.entry.uncompressedSize = loadU32LE(head + 24);
    p.entry.localHeaderOffset = loadU32LE(head + 42);
    p.nameAt = index.names_.size();
    p.nameLen = nameLen;
    // A short read leaves zeros, as a truncated directory should.
    index.names_.resize(p.nameAt + nameLen, '\0');
    file.readAt(namePos, &index.names_[p.nameAt], nameLen);
    pending.push_back(p);
  }
  // Views are taken once the name buffer no longer grows.
  index.entries_.reserve(pending.size());
  index.byName_.reserve(pending.size());
  for (Pending& p : pending) {
    p.entry.name = std::string_view(index.names_.data() + p.nameAt, p.nameLen);
    index.entries_.push_back(p.entry);
    index.byName_.emplace(p.entry.name, index.entries_.size() - 1);  // keeps the first of equal names
  }
  return index;
}

const ZipEntry* ZipIndex::find(std::string_view name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : &entries_[it->second];
}

}  // namespace kpl
