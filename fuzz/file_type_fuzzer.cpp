// The file-type entry point on arbitrary bytes with an extension drawn from
// the input: up to the first NUL of its first 12 bytes is the extension the
// host passes, the rest is the file. Every split-volume, sibling, text and
// XML rule is reachable this way. Runs in the engine home.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_temp_file.h"
#include "kpl_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    if (init() != 0) std::abort();  // run from outside an engine home
    return true;
  }();
  (void)started;
  const std::size_t window = size < 12 ? size : 12;
  const void* nul = std::memchr(data, 0, window);
  const std::size_t extLength = nul ? static_cast<const uint8_t*>(nul) - data : 0;
  const std::string extension(reinterpret_cast<const char*>(data), extLength);
  const std::size_t skip = nul ? extLength + 1 : 0;
  kpl::fuzz::TempInput input(data + skip, size - skip);
  if (!input.ok()) return 0;
  const char* json = nullptr;
  if (kplFileType(input.path().c_str(), extension.c_str(), &json) == 0 && json != nullptr) {
    if (json[0] != '{' || json[std::strlen(json) - 1] != '}' || std::strstr(json, "\"type_ids\":[") == nullptr)
      std::abort();
    freeString(&json);
  }
  return 0;
}
