// The signature library on arbitrary bytes: as a file submitted, analysed
// and read back through the code behind the library's entry points, with
// the shipped definitions; and as a definitions file of its own.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_temp_file.h"
#include "tridlib/library.h"

namespace {

// The shipped definitions: the engine home's copy when run from the home
// (as ctest does), else the source tree's.
tridlib::Library& library() {
  static tridlib::Library lib;
  static const bool loaded = [] {
    if (lib.loadDefinitions("database\\trid\\") > 0) return true;
    std::string source = __FILE__;
    source = source.substr(0, source.rfind('/') + 1) + "../tridlib/defs";
    return lib.loadDefinitions(source.c_str()) > 0;
  }();
  if (!loaded) std::abort();
  return lib;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tridlib::Library& lib = library();
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  const std::string& path = input.path();
  char buffer[tridlib::kInfoBufferSize];
  if (lib.submit(path.c_str()) && lib.analyze()) {
    const int count = lib.info(1, 0, buffer);
    for (int i = 0; i <= count + 1; ++i) {
      lib.info(2, i, buffer);
      lib.info(3, i, buffer);
      lib.info(4, i, buffer);
    }
  }

  // The same bytes as a definitions file, ranked against themselves.
  std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<tridlib::Definition> parsed;
  std::string error;
  if (tridlib::parseDefinitions(text, "fuzz.trd", parsed, error) && !parsed.empty()) {
    tridlib::Sample sample;
    sample.head.assign(data, data + std::min(size, tridlib::kHeadWindow));
    sample.tail.assign(data + size - std::min(size, tridlib::kTailWindow), data + size);
    sample.fileSize = size;
    tridlib::rank(parsed, sample);
  }
  return 0;
}
