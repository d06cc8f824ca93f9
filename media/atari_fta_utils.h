// Atari 8-bit binary load files (".xex"): a 0xFFFF marker, then segments of
// a little-endian start and end address followed by end - start + 1 bytes.
// Later segments may repeat the marker. A segment over the run address
// (0x2E0) or the init address (0x2E2) is what makes a file executable.
#pragma once

#include <string>

namespace kpl {

class InputFile;

class AtariFTAUtils {
 public:
  enum Result : int { kNotAtari = 0, kAtariExecutable = 1, kMalformed = 2 };

  // kAtariExecutable for a load file whose segments are consistent with the
  // file; kMalformed when it starts like one but its segments are not.
  static int isAtariFileBased(const std::string& path, unsigned long fileSize);
  static int isAtariFileBased(const InputFile& file, unsigned long fileSize);
};

}  // namespace kpl
