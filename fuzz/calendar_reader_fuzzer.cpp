// The calendar reader on arbitrary bytes held in memory.
#include <cstdint>
#include <vector>

#include "common/byte_reader.h"
#include "text/calendar_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile input = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  kpl::CalendarReader reader;
  reader.open(input);
  if (reader.parseCalObj() != 0) reader.checkDocumentType();
  return 0;
}
