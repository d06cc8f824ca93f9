// Tar archives recognised from their first header alone.
#pragma once

#include <cstdint>

namespace kpl {

class InputFile;

// A tar archive recognised from its first header alone (old archives carry
// no "ustar" magic at 257).
class TarArchive {
 public:
  static constexpr uint16_t headerSize = 512;
  static constexpr uint16_t sizeFieldLength = 12;
  static constexpr uint16_t nameFieldLength = 100;

  // Whether the first 512 bytes are a plausible header of a regular file
  // (with content), a link or a directory.
  bool isTAR(const InputFile& file, unsigned long fileSize);

  // On the header isTAR read: no character of : * ? " < > | in all 100
  // bytes of the name field.
  bool isValidFileName() const;
  char getTypeFlag() const;
  // The size field as octal text (leading spaces skipped); false when it
  // holds anything but octal digits, NUL and space, or no digit at all.
  bool getFileSize(unsigned long& size) const;

 private:
  uint8_t header_[headerSize] = {};
};

}  // namespace kpl
