// The whole engine on arbitrary bytes: every analyzer of the chain, then
// libmagic, the signature library and the mapping table, through the scan
// export. Runs in the engine home (the fuzz runner and ctest start it there).
#include <cstdint>
#include <cstdlib>

#include "fuzz_json_check.h"
#include "fuzz_temp_file.h"
#include "kpl_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    if (init() != 0) std::abort();  // run from outside an engine home
    return true;
  }();
  (void)started;
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  unsigned int status = 0;
  const char* json = nullptr;
  if (scan(input.path().c_str(), &status, &json) == 0) {
    // Whatever was recognised, the answer is one well-formed object.
    if (json == nullptr || json[0] != '{') std::abort();
    kpl::fuzz::requireJson(json);
    freeString(&json);
  }
  return 0;
}
