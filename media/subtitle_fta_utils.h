// Binary subtitle files: PAC (broadcast subtitle editors) and Cavena 890.
#pragma once

#include <cstdint>
#include <string>

#include "common/byte_reader.h"

namespace kpl {

enum SubtitleType : unsigned char {
  SubtitleNone = 0,
  SubtitlePAC = 1,
  Subtitle890 = 2,
};

class SubtitleFTAUtils {
 public:
  // PAC first, then 890; 0 for neither or an unopenable path.
  static unsigned char isSubtitle(const std::string& path);
  static unsigned char isSubtitle(const InputFile& file);

  static unsigned char isPACFile(const InputFile& file, uint64_t fileSize);
  static unsigned char is890File(const InputFile& file, uint64_t fileSize);
};

}  // namespace kpl
