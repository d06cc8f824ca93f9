// The ZIP central directory probe: both searches for the end record and
// member lookups, on arbitrary bytes.
#include <cstdint>

#include "archive/archive_fta_utils.h"
#include "archive/zip_archive.h"
#include "common/byte_reader.h"
#include "fuzz_temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  kpl::InputFile file(input.path());
  if (!file.isOpen()) return 0;
  kpl::ZipArchive::findEndCentralDirFromBot(file, file.size());
  kpl::ZipArchive::findEndCentralDirFromTop(file, file.size());
  for (const char* name : {"META-INF/MANIFEST.MF", "[Content_Types].xml", "a", ""})
    kpl::ZipArchive::checkFileNameExistInZip(file, file.size(), std::string(name));
  kpl::ArchiveFTAUtils::isSplitZip(file, file.size());
  return 0;
}
