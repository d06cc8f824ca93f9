// AMR speech files (RFC 4867 storage format), told by their magic line.
#pragma once

#include <string>

namespace kpl {

class InputFile;

class AMRFTAUtils {
 public:
  // True for single-channel narrow-band AMR ("#!AMR\n") and the multi-channel
  // variant ("#!AMR_MC1.0\n"). Wide-band files ("#!AMR-WB\n") are left to
  // the later stages.
  static bool isAMRFileBased(const std::string& path, unsigned long fileSize);
  static bool isAMRFileBased(const InputFile& file, unsigned long fileSize);
};

}  // namespace kpl
