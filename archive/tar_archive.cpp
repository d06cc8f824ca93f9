// Tar archives by their first header (POSIX/GNU header layout); old
// archives carry no "ustar" magic, so the header's fields decide.
#include "archive/tar_archive.h"

#include <cstring>

#include "common/byte_reader.h"

namespace kpl {

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

}  // namespace kpl
