// Structural probes that confirm or refine an archive type beyond its
// leading signature: tar headers without the ustar magic, SAP archives, the
// RAR main header (volume flag), and PIM headers. All read at absolute
// positions and answer false on short reads.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_fta_utils.h"

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

// A SAP archive: "CAR " plus a version of at least 2.0, then a first entry
// of a known type.
class SARArchive {
 public:
  SARArchive();
  bool isSAR(const InputFile& file, unsigned long fileSize);

 private:
  std::string signature_;
  std::string version_;
  std::string entryTypes_[5];
  uint8_t header_[8] = {};
  uint8_t firstEntry_[34] = {};
};

// A RAR 5 variable-length integer: 7 value bits per byte, lowest group
// first, 0x80 set when another byte follows.
class VInt {
 public:
  static constexpr int maxByteCount = 10;

  // Reads from position (advanced by each byte), at most maxByteCount bytes
  // and never at or past limit. False when no byte could be read.
  bool ReadVIntValue(const InputFile& file, uint64_t& position, uint64_t limit);
  uint64_t GetVIntValue() const { return value_; }

 private:
  uint64_t value_ = 0;
};

// The main archive header of RAR 4 and RAR 5, read for its volume flag.
class RARHeaderParser {
 public:
  struct RAR5Header {
    uint32_t headerCrc = 0;
    VInt headerSize, headerType, headerFlags, extraAreaSize, archiveFlags, volumeNumber;
  };

  explicit RARHeaderParser(const InputFile* file) { open(file); }
  void open(const InputFile* file);
  void close();
  // True when a RAR 4 or RAR 5 marker was found and its main header read;
  // isVolume is then whether the archive is one volume of a set.
  bool parseRARHeader(bool& isVolume);

 private:
  const InputFile* file_ = nullptr;
  uint64_t fileSize_ = 0;
};

// PIM archives in their two header forms ("\2PIM", type 43, and "PIM2",
// type 44): a name, two sizes, and either the end of the file or the next
// header right after the data.
class PIMArchive {
 public:
  static bool isPIM(const InputFile& file, const unsigned long& fileSize, const ArchiveType& type);
};

}  // namespace kpl
