// The RAR 4 and RAR 5 main header and RAR 5 variable-length integers, on
// arbitrary bytes.
#include <cstdint>

#include "archive/rar_archive.h"
#include "common/byte_reader.h"
#include "fuzz_temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  kpl::InputFile file(input.path());
  if (!file.isOpen()) return 0;
  bool volume = false;
  kpl::RARHeaderParser(&file).parseRARHeader(volume);
  kpl::VInt v;
  uint64_t pos = 0;
  while (pos < file.size() && v.ReadVIntValue(file, pos, file.size())) {
  }
  return 0;
}
