// SAP archives ("CAR " header and the first entry's type).
#include "archive/sap_archive.h"

#include <cstring>

#include "common/byte_reader.h"

namespace kpl {

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

}  // namespace kpl
