// The ZIP central directory probe: both searches for the end record and
// member lookups, on arbitrary bytes.
#include <cstdint>
#include <vector>

#include "archive/archive_fta_utils.h"
#include "archive/zip_archive.h"
#include "common/byte_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile file = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  kpl::ZipArchive::findEndCentralDirFromBot(file, file.size());
  kpl::ZipArchive::findEndCentralDirFromTop(file, file.size());
  for (const char* name : {"META-INF/MANIFEST.MF", "[Content_Types].xml", "a", ""})
    kpl::ZipArchive::checkFileNameExistInZip(file, file.size(), std::string(name));
  kpl::ArchiveFTAUtils::isSplitZip(file, file.size());
  return 0;
}
