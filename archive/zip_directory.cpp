// The ZIP central directory, read straight from the file (PKWARE APPNOTE:
// local file header, central directory file header, end-of-central-
// directory record; all little-endian). ZIP64 records, data descriptors and
// multi-disk fields are not consulted, so positions are 32-bit.
//
// Real files to keep in mind: self-extractors put an executable stub in
// front of the ZIP data (only the search from the end finds them), archives
// written to a pipe carry data descriptors with zero sizes in the local
// headers (only the search from the end finds them either), and a comment of
// up to 65,535 bytes may follow the end record.
#include <cstring>

#include "archive/zip_archive.h"
#include "common/byte_reader.h"
#include "common/limits.h"

namespace kpl {

namespace {

constexpr uint64_t kEndRecordLen = 22;
constexpr uint64_t kMaxCommentLen = 65535;
// Entry count and central directory offset within the end record.
constexpr uint64_t kEndEntryCountAt = 10;
constexpr uint64_t kEndCentralDirOffsetAt = 16;
// File name, extra field and comment lengths within a central header.
constexpr uint64_t kCentralLengthsAt = 28;

bool isSig(const uint8_t* p, const uint8_t (&sig)[4]) { return std::memcmp(p, sig, 4) == 0; }

}  // namespace

ZipArchive::LocalFileHeader ZipArchive::LocalFileHeader::decode(const uint8_t* p) {
  LocalFileHeader h;
  h.signature = loadU32LE(p);
  h.versionNeeded = loadU16LE(p + 4);
  h.flags = loadU16LE(p + 6);
  h.compression = loadU16LE(p + 8);
  h.modTime = loadU16LE(p + 10);
  h.modDate = loadU16LE(p + 12);
  h.crc32 = loadU32LE(p + 14);
  h.compressedSize = loadU32LE(p + 18);
  h.uncompressedSize = loadU32LE(p + 22);
  h.fileNameLength = loadU16LE(p + 26);
  h.extraFieldLength = loadU16LE(p + 28);
  return h;
}

ZipArchive::CentralDirFileHeader ZipArchive::CentralDirFileHeader::decode(const uint8_t* p) {
  CentralDirFileHeader h;
  h.signature = loadU32LE(p);
  h.versionMadeBy = loadU16LE(p + 4);
  h.versionNeeded = loadU16LE(p + 6);
  h.flags = loadU16LE(p + 8);
  h.compression = loadU16LE(p + 10);
  h.modTime = loadU16LE(p + 12);
  h.modDate = loadU16LE(p + 14);
  h.crc32 = loadU32LE(p + 16);
  h.compressedSize = loadU32LE(p + 20);
  h.uncompressedSize = loadU32LE(p + 24);
  h.fileNameLength = loadU16LE(p + 28);
  h.extraFieldLength = loadU16LE(p + 30);
  h.fileCommentLength = loadU16LE(p + 32);
  h.diskNumberStart = loadU16LE(p + 34);
  h.internalAttributes = loadU16LE(p + 36);
  h.externalAttributes = loadU32LE(p + 38);
  h.localHeaderOffset = loadU32LE(p + 42);
  return h;
}

int64_t ZipArchive::findEndCentralDirFromBot(const InputFile& file, uint64_t fileSize) {
  const uint64_t window = kMaxCommentLen + kEndRecordLen;
  const uint64_t start = fileSize > window ? fileSize - window : 0;
  const uint64_t last = fileSize > kEndRecordLen ? fileSize - kEndRecordLen : 0;
  // last - start + 4 <= 65,539; a file shorter than the record is searched
  // over its first 4 bytes only. Bytes that do not arrive stay zero.
  std::vector<uint8_t> buffer(window - kEndRecordLen + 5, 0);
  const std::size_t want = static_cast<std::size_t>(last - start + 4);
  file.readAt(start, buffer.data(), want);
  for (uint64_t i = last - start + 1; i-- > 0;) {
    if (isSig(buffer.data() + i, endCentralDirSig)) return static_cast<int64_t>(start + i);
  }
  return -1;
}

int64_t ZipArchive::findEndCentralDirFromTop(const InputFile& file, uint64_t fileSize) {
  uint64_t pos = 0;
  for (uint32_t records = 0; pos < fileSize && records < limits::kZipTopWalkMaxRecords; ++records) {
    uint8_t head[centralDirHeaderLen] = {};
    file.readAt(pos, head, sizeof head);
    // Every advance is at least the fixed header's length, so the walk
    // only moves forward.
    if (isSig(head, localFileHeaderSig)) {
      LocalFileHeader h = LocalFileHeader::decode(head);
      pos += uint64_t{localHeaderLen} + h.fileNameLength + h.extraFieldLength + h.compressedSize;
    } else if (isSig(head, centralDirHeaderSig)) {
      CentralDirFileHeader h = CentralDirFileHeader::decode(head);
      pos += uint64_t{centralDirHeaderLen} + h.fileNameLength + h.extraFieldLength + h.fileCommentLength;
    } else {
      return isSig(head, endCentralDirSig) ? static_cast<int64_t>(pos) : -1;
    }
  }
  return -1;
}

bool ZipArchive::checkFileNameExistInZip(const InputFile& file, uint64_t fileSize, const char* name,
                                         uint16_t nameLength) {
  int64_t end = findEndCentralDirFromBot(file, fileSize);
  if (end < 0) end = findEndCentralDirFromTop(file, fileSize);
  if (end < 0) return false;

  uint8_t endRecord[kEndRecordLen] = {};
  file.readAt(static_cast<uint64_t>(end), endRecord, sizeof endRecord);
  const uint16_t entryCount = loadU16LE(endRecord + kEndEntryCountAt);
  // 32-bit like the format's own positions: a directory beyond 4 GiB needs
  // ZIP64, which is not read.
  uint32_t pos = loadU32LE(endRecord + kEndCentralDirOffsetAt);

  std::vector<uint8_t> entryName;
  for (uint32_t seen = 0; pos < static_cast<uint64_t>(end) && seen < entryCount;) {
    uint8_t head[centralDirHeaderLen] = {};
    file.readAt(pos, head, sizeof head);
    if (!isSig(head, centralDirHeaderSig)) return false;
    ++seen;
    const uint16_t nameLen = loadU16LE(head + kCentralLengthsAt);
    const uint16_t extraLen = loadU16LE(head + kCentralLengthsAt + 2);
    const uint16_t commentLen = loadU16LE(head + kCentralLengthsAt + 4);
    if (nameLen == 0) return false;
    const uint32_t namePos = pos + centralDirHeaderLen;
    pos = namePos + nameLen + extraLen + commentLen;
    // Only a name of the wanted length can match, so only such a name is
    // read; a short read leaves zeros, as a truncated directory should.
    if (nameLen != nameLength) continue;
    entryName.assign(nameLen, 0);
    file.readAt(namePos, entryName.data(), nameLen);
    if (std::memcmp(entryName.data(), name, nameLen) == 0) return true;
  }
  return false;
}

bool ZipArchive::checkFileNameExistInZip(const InputFile& file, uint64_t fileSize, const std::string& name) {
  if (name.size() > UINT16_MAX) return false;
  return checkFileNameExistInZip(file, fileSize, name.data(), static_cast<uint16_t>(name.size()));
}

}  // namespace kpl
