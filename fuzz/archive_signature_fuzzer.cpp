// The whole archive detection on arbitrary bytes: the signature walk over
// the file and over memory, every correction it leads to, and the ignore
// marker.
#include <cstdint>
#include <vector>

#include "archive/archive_fta_utils.h"
#include "common/byte_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = [] {
    kpl::ArchiveFTAUtils::init();
    return true;
  }();
  (void)initialised;
  const unsigned long bufferSize = size;
  kpl::ArchiveFTAUtils::checkArchiveSignBytes(data, bufferSize);
  const kpl::InputFile file = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  kpl::ArchiveFTAUtils::isArchive(file, bufferSize);
  kpl::ArchiveFTAUtils::ignoreDetectionFiletype(file, bufferSize);
  return 0;
}
