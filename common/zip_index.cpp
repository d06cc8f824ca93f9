#include "common/zip_index.h"

#include <cstring>

#include "common/byte_reader.h"
#include "common/limits.h"

namespace kpl {
namespace {

constexpr uint64_t kMaxCommentLen = 65535;

// p points at "version needed to extract".
void decodeSharedFields(const uint8_t* p, ZipHeaderFields& h) {
  h.flags = loadU16LE(p + 2);
  h.compression = loadU16LE(p + 4);
  h.compressedSize = loadU32LE(p + 14);
  h.uncompressedSize = loadU32LE(p + 18);
  h.nameLength = loadU16LE(p + 22);
  h.extraLength = loadU16LE(p + 24);
}

}  // namespace

ZipLocalHeader ZipLocalHeader::decode(const uint8_t* p) {
  ZipLocalHeader h;
  decodeSharedFields(p + 4, h);
  return h;
}

ZipCentralHeader ZipCentralHeader::decode(const uint8_t* p) {
  ZipCentralHeader h;
  decodeSharedFields(p + 6, h);
  h.commentLength = loadU16LE(p + 32);
  h.localHeaderOffset = loadU32LE(p + 42);
  return h;
}

ZipEndRecord ZipEndRecord::decode(const uint8_t* p) {
  ZipEndRecord r;
  r.entryCount = loadU16LE(p + 10);
  r.directoryOffset = loadU32LE(p + 16);
  return r;
}

bool isZipSignature(const uint8_t* p, const uint8_t (&sig)[4]) { return std::memcmp(p, sig, 4) == 0; }

int64_t findZipEndRecordFromBottom(const InputFile& file) {
  const uint64_t fileSize = file.size();
  const uint64_t recordLen = ZipEndRecord::kLength;
  const uint64_t window = kMaxCommentLen + recordLen;
  const uint64_t start = fileSize > window ? fileSize - window : 0;
  const uint64_t last = fileSize > recordLen ? fileSize - recordLen : 0;
  // last - start + 4 <= 65,539; a file shorter than the record is searched
  // over its first 4 bytes only. Bytes that do not arrive stay zero.
  std::vector<uint8_t> buffer(window - recordLen + 5, 0);
  file.readAt(start, buffer.data(), static_cast<std::size_t>(last - start + 4));
  for (uint64_t i = last - start + 1; i-- > 0;)
    if (isZipSignature(buffer.data() + i, ZipEndRecord::kSignature)) return static_cast<int64_t>(start + i);
  return -1;
}

int64_t findZipEndRecordFromTop(const InputFile& file) {
  const uint64_t fileSize = file.size();
  uint64_t pos = 0;
  for (uint32_t records = 0; pos < fileSize && records < limits::kZipTopWalkMaxRecords; ++records) {
    uint8_t head[ZipCentralHeader::kLength] = {};
    file.readAt(pos, head, sizeof head);
    // Every advance is at least the fixed header's length, so the walk only
    // moves forward.
    if (isZipSignature(head, ZipLocalHeader::kSignature)) {
      pos += ZipLocalHeader::decode(head).recordLength();
    } else if (isZipSignature(head, ZipCentralHeader::kSignature)) {
      pos += ZipCentralHeader::decode(head).recordLength();
    } else {
      return isZipSignature(head, ZipEndRecord::kSignature) ? static_cast<int64_t>(pos) : -1;
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

  uint8_t endBytes[ZipEndRecord::kLength] = {};
  file.readAt(static_cast<uint64_t>(end), endBytes, sizeof endBytes);
  const ZipEndRecord endRecord = ZipEndRecord::decode(endBytes);
  // 32-bit like the format's own positions (and wrapping like them): a
  // directory beyond 4 GiB needs ZIP64, which is not read.
  uint32_t pos = endRecord.directoryOffset;

  struct Pending {
    ZipEntry entry;
    std::size_t nameAt;
    std::size_t nameLen;
  };
  std::vector<Pending> pending;
  for (uint32_t seen = 0; pos < static_cast<uint64_t>(end) && seen < endRecord.entryCount; ++seen) {
    uint8_t head[ZipCentralHeader::kLength] = {};
    file.readAt(pos, head, sizeof head);
    if (!isZipSignature(head, ZipCentralHeader::kSignature)) break;
    const ZipCentralHeader header = ZipCentralHeader::decode(head);
    const uint16_t nameLen = header.nameLength;
    if (nameLen == 0) break;
    if (nameLen > limits::kZipIndexMaxNameBytes - index.names_.size()) break;  // as if the directory ended
    const uint32_t namePos = pos + static_cast<uint32_t>(ZipCentralHeader::kLength);
    pos = namePos + nameLen + header.extraLength + header.commentLength;

    Pending p;
    p.entry.flags = header.flags;
    p.entry.compression = header.compression;
    p.entry.compressedSize = header.compressedSize;
    p.entry.uncompressedSize = header.uncompressedSize;
    p.entry.localHeaderOffset = header.localHeaderOffset;
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
