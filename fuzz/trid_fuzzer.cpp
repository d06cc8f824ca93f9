// The signature library's definition parser and matcher on arbitrary bytes:
// the input is parsed as a definitions file, and also ranked as a file's
// sample against the shipped-style definitions below.
#include <cstdint>
#include <string>
#include <vector>

#include "tridlib/definitions.h"
#include "tridlib/matcher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<tridlib::Definition> parsed;
  std::string error;
  tridlib::parseDefinitions(text, "fuzz.trd", parsed, error);

  static const std::vector<tridlib::Definition> defs = [] {
    std::vector<tridlib::Definition> d;
    std::string e;
    tridlib::parseDefinitions(
        "def PNG\n type png\n at 0 89 50 4E 47\n atend 12 00 00 00 00 \"IEND\"\nend\n"
        "def X\n type x\n findi 65536 \"<html\"\n find 100 \"ab\"\nend\n",
        "seed.trd", d, e);
    return d;
  }();
  tridlib::Sample sample;
  sample.head.assign(data, data + std::min(size, tridlib::kHeadWindow));
  sample.tail.assign(data + size - std::min(size, tridlib::kTailWindow), data + size);
  sample.fileSize = size;
  tridlib::rank(defs, sample);
  if (!parsed.empty()) tridlib::rank(parsed, sample);
  return 0;
}
