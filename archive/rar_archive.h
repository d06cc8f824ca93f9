// RAR 4 and RAR 5: markers and the main archive header.
#pragma once

#include <cstdint>

namespace kpl {

class InputFile;

// The marker blocks RAR 5 and RAR 4 archives start with.
inline constexpr uint8_t kRar5Marker[8] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};
inline constexpr uint8_t kRar4Marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};

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

}  // namespace kpl
