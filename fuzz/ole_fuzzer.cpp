// The compound-document classifier on arbitrary bytes: the reader, every
// probe and the legacy encryption checks together.
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "office/ole_classifier.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile file = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  std::string typeId, mime, extensions, description;
  bool encrypted = false;
  kpl::OLEFTAUtil::isOLEFileType(file, typeId, mime, extensions, description, encrypted);
  return 0;
}
