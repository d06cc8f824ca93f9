// Outlook personal folders (PST/OST), by the file header of [MS-PST] 2.2.2.6.
// ANSI files (format versions 14 and 15) and Unicode files (23 and later)
// share the first 24 bytes; the sentinel and encryption method sit at 460
// and 461 in the ANSI layout and at 512 and 513 in the Unicode one.
#pragma once

#include <cstdint>
#include <string>

namespace kpl {

class InputFile;

// The header fields the probe judges, at their Unicode positions whatever
// the file's layout.
struct PSTHeader {
  uint32_t magic = 0;          // "!BDN"
  uint32_t crcPartial = 0;
  uint16_t magicClient = 0;    // "SM"
  uint16_t version = 0;        // 14, 15: ANSI; 23 and later: Unicode
  uint16_t clientVersion = 0;
  uint8_t platformCreate = 0;  // always 1
  uint8_t platformAccess = 0;  // always 1
  uint32_t reserved1 = 0;
  uint32_t reserved2 = 0;
  bool unicode = false;
  uint8_t sentinel = 0;        // 0x80
  uint8_t cryptMethod = 0;     // 0 none, 1 permute, 2 cyclic, 0x10 protected by another means
};

class PSTFTAUtils {
 public:
  static bool isPSTFileBased(const std::string& path, unsigned long fileSize);
  static bool isPSTFileBased(const InputFile& file, unsigned long fileSize);
  // Fills out from the file; false when the file is too short for its layout.
  static bool readPSTHeader(const std::string& path, unsigned long fileSize, PSTHeader& out);
  static bool readPSTHeader(const InputFile& file, unsigned long fileSize, PSTHeader& out);
};

}  // namespace kpl
