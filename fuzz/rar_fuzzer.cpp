// The RAR 4 and RAR 5 main header and RAR 5 variable-length integers, on
// arbitrary bytes.
#include <cstdint>
#include <vector>

#include "archive/rar_archive.h"
#include "common/byte_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile file = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  bool volume = false;
  kpl::RARHeaderParser(&file).parseRARHeader(volume);
  kpl::VInt v;
  uint64_t pos = 0;
  while (pos < file.size() && v.ReadVIntValue(file, pos, file.size())) {
  }
  return 0;
}
