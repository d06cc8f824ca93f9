// The whole archive detection on arbitrary bytes: the signature walk over
// the file and over memory, every correction it leads to, and the ignore
// marker.
#include <cstdint>

#include "archive/archive_fta_utils.h"
#include "fuzz_temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = [] {
    kpl::ArchiveFTAUtils::init();
    return true;
  }();
  (void)initialised;
  const unsigned long bufferSize = size;
  kpl::ArchiveFTAUtils::checkArchiveSignBytes(data, bufferSize);
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  kpl::ArchiveFTAUtils::isArchive(input.path(), size);
  kpl::ArchiveFTAUtils::ignoreDetectionFiletype(input.path(), size);
  return 0;
}
