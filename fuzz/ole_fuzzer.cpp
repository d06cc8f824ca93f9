// The compound-document classifier on arbitrary bytes: the reader, every
// probe and the legacy encryption checks together.
#include <cstdint>
#include <string>

#include "fuzz_temp_file.h"
#include "office/ole_classifier.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  std::string typeId, mime, extensions, description;
  bool encrypted = false;
  kpl::OLEFTAUtil::isOLEFileType(input.path(), size, typeId, mime, extensions, description, encrypted);
  return 0;
}
