// RAR 4 and RAR 5 main archive headers, read for the volume flag.
#include "archive/rar_archive.h"

#include <cstring>

#include "common/byte_reader.h"

namespace kpl {

namespace {
constexpr uint64_t kRar5FlagExtraArea = 0x0001;
constexpr uint64_t kRar5ArchiveVolume = 0x0001;
constexpr uint16_t kRar4MainVolume = 0x0001;
}  // namespace

bool VInt::ReadVIntValue(const InputFile& file, uint64_t& position, uint64_t limit) {
  value_ = 0;
  int i = 0;
  for (; i < maxByteCount && position < limit; ++i) {
    uint8_t byte = 0;
    if (file.readAt(position, &byte, 1) != 1) break;
    ++position;
    value_ |= static_cast<uint64_t>(byte & 0x7F) << (7 * i);
    if ((byte & 0x80) == 0) return true;
  }
  return i > 0;
}

void RARHeaderParser::open(const InputFile* file) {
  close();
  file_ = file;
  fileSize_ = file ? file->size() : 0;
}

void RARHeaderParser::close() {
  file_ = nullptr;
  fileSize_ = 0;
}

bool RARHeaderParser::parseRARHeader(bool& isVolume) {
  isVolume = false;
  if (file_ == nullptr || fileSize_ < sizeof kRar5Marker) return false;
  uint8_t marker[8] = {};
  if (!file_->readExact(0, marker, sizeof marker)) return false;

  if (std::memcmp(marker, kRar5Marker, sizeof kRar5Marker) == 0) {
    RAR5Header h;
    uint8_t crc[4] = {};
    file_->readAt(8, crc, sizeof crc);
    h.headerCrc = loadU32LE(crc);
    uint64_t pos = 12;
    h.headerSize.ReadVIntValue(*file_, pos, fileSize_);
    h.headerType.ReadVIntValue(*file_, pos, fileSize_);
    h.headerFlags.ReadVIntValue(*file_, pos, fileSize_);
    if (h.headerFlags.GetVIntValue() & kRar5FlagExtraArea) h.extraAreaSize.ReadVIntValue(*file_, pos, fileSize_);
    h.archiveFlags.ReadVIntValue(*file_, pos, fileSize_);
    h.volumeNumber.ReadVIntValue(*file_, pos, fileSize_);
    isVolume = (h.archiveFlags.GetVIntValue() & kRar5ArchiveVolume) != 0;
    return true;
  }
  if (std::memcmp(marker, kRar4Marker, sizeof kRar4Marker) == 0) {
    // Main header: CRC (2), type (1), flags (2), size (2), reserved (6).
    uint8_t main[13] = {};
    file_->readAt(sizeof kRar4Marker, main, sizeof main);
    isVolume = (loadU16LE(main + 3) & kRar4MainVolume) != 0;
    return true;
  }
  return false;
}

}  // namespace kpl
