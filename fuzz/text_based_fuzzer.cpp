// The whole text classifier (bounded tag scan, calendar and message
// probes) on arbitrary bytes held in memory.
#include <cstdint>
#include <vector>

#include "common/byte_reader.h"
#include "text/text_based_fta_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile input = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  kpl::TextBasedFTAUtils::isTextBased(input);
  return 0;
}
