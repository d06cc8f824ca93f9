// The PDF step on arbitrary bytes, then the whole engine on the same file:
// the header and Illustrator probe, libqpdf's password test (which must
// stay silent and bounded), and scan's answer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "detect/pdf_probe.h"
#include "fuzz_temp_file.h"
#include "kpl_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    if (init() != 0) std::abort();  // run from outside an engine home
    return true;
  }();
  (void)started;
  // The probes from memory, then the engine on the bytes as a file.
  const kpl::InputFile bytes = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  const unsigned char kind = kpl::classifyPDFType(bytes, size);
  if (kind > kpl::PdfIllustrator) std::abort();
  kpl::isPDFPasswordProtection(bytes);
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  unsigned int status = 0;
  const char* json = nullptr;
  if (scan(input.path().c_str(), &status, &json) == 0) {
    if (json == nullptr || json[0] != '{' || json[std::strlen(json) - 1] != '}') std::abort();
    freeString(&json);
  }
  return 0;
}
