// Tar (POSIX/GNU header layout), SAP archive headers, RAR 4 and RAR 5 main
// archive headers, and PIM headers.
#include "archive/archive_structure.h"

#include <cstring>

#include "common/byte_reader.h"

namespace kpl {

// ---- tar ------------------------------------------------------------------

namespace {
constexpr std::size_t kTarSizeAt = 124;
constexpr std::size_t kTarTypeFlagAt = 156;
}  // namespace

bool TarArchive::isValidFileName() const {
  // All 100 bytes count, also those after the terminating NUL: text with
  // such characters is far more likely than a tar header holding them.
  static const char kForbidden[] = {':', '*', '?', '"', '<', '>', '|'};
  for (std::size_t i = 0; i < nameFieldLength; ++i) {
    for (char c : kForbidden)
      if (header_[i] == static_cast<uint8_t>(c)) return false;
  }
  return true;
}

char TarArchive::getTypeFlag() const { return static_cast<char>(header_[kTarTypeFlagAt]); }

bool TarArchive::getFileSize(unsigned long& size) const {
  const uint8_t* field = header_ + kTarSizeAt;
  for (std::size_t i = 0; i < sizeFieldLength; ++i) {
    uint8_t c = field[i];
    if (!((c >= '0' && c <= '7') || c == 0 || c == ' ')) return false;
  }
  std::size_t i = 0;
  while (i < sizeFieldLength && field[i] == ' ') ++i;
  bool anyDigit = false;
  unsigned long value = 0;
  // At most 12 octal digits: 36 bits, no overflow.
  for (; i < sizeFieldLength && field[i] >= '0' && field[i] <= '7'; ++i) {
    value = value * 8 + (field[i] - '0');
    anyDigit = true;
  }
  if (!anyDigit) return false;
  size = value;
  return true;
}

bool TarArchive::isTAR(const InputFile& file, unsigned long fileSize) {
  if (fileSize < headerSize) return false;
  std::memset(header_, 0, sizeof header_);
  if (!file.readExact(0, header_, headerSize)) return false;
  if (!isValidFileName()) return false;
  unsigned long size = 0;
  if (!getFileSize(size)) return false;
  switch (getTypeFlag()) {
    case '0':  // a regular file needs content: an empty one proves nothing
      return size != 0;
    case '1':  // hard link
    case '2':  // symbolic link
    case '5':  // directory
      return size == 0;
    default:  // also NUL, the pre-POSIX regular file
      return false;
  }
}

// ---- SAP archive -----------------------------------------------------------

SARArchive::SARArchive()
    : signature_("CAR"), version_("2.00"), entryTypes_{"RG", "DR", "SC", "LK", "SV"} {}

bool SARArchive::isSAR(const InputFile& file, unsigned long fileSize) {
  (void)fileSize;  // reads are bounded by the file itself
  std::memset(header_, 0, sizeof header_);
  std::memset(firstEntry_, 0, sizeof firstEntry_);
  if (file.readAt(0, header_, sizeof header_) == sizeof header_) {
    if (std::memcmp(header_, signature_.data(), 3) != 0) return false;
    // "2.00", "2.01": compare the "X.Y" part; 1.x archives are refused.
    if (std::memcmp(header_ + 4, version_.data(), 3) < 0) return false;
  }
  if (file.readAt(sizeof header_, firstEntry_, sizeof firstEntry_) != sizeof firstEntry_) return false;
  for (const std::string& type : entryTypes_)
    if (std::memcmp(firstEntry_, type.data(), 2) == 0) return true;
  return false;
}

// ---- RAR -------------------------------------------------------------------

namespace {
constexpr uint8_t kRar5Marker[8] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};
constexpr uint8_t kRar4Marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
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

// ---- PIM -------------------------------------------------------------------

bool PIMArchive::isPIM(const InputFile& file, const unsigned long& fileSize, const ArchiveType& type) {
  constexpr uint64_t kNameAt = 6;
  constexpr std::size_t kMaxName = 255;
  uint8_t name[kMaxName + 1] = {};
  const std::size_t got = file.readAt(kNameAt, name, sizeof name);
  const void* nul = std::memchr(name, 0, got);
  if (nul == nullptr) return false;
  const uint64_t sizesAt = kNameAt + static_cast<uint64_t>(static_cast<const uint8_t*>(nul) - name) + 1;

  uint8_t sizes[8] = {};
  if (!file.readExact(sizesAt, sizes, sizeof sizes)) return false;
  const uint32_t a = loadU32LE(sizes);
  const uint32_t b = loadU32LE(sizes + 4);
  if (a < b) return false;

  // Header fields are 32-bit; so is the position they lead to.
  uint32_t end = b + static_cast<uint32_t>(sizesAt + sizeof sizes);
  static const uint8_t kPimNext[4] = {0x02, 0x50, 0x49, 0x4D};
  static const uint8_t kPim2Next[4] = {0x50, 0x49, 0x4D, 0x32};
  const uint8_t* next = nullptr;
  if (type == ArchiveType::PimCandidate) {
    next = kPimNext;
  } else if (type == ArchiveType::Pim2Candidate) {
    end += 4;
    next = kPim2Next;
  } else {
    return false;
  }
  if (end == fileSize) return true;
  if (end > fileSize) return false;
  uint8_t following[4] = {};
  return file.readExact(end, following, sizeof following) && std::memcmp(following, next, 4) == 0;
}

}  // namespace kpl
