// The tag reader on arbitrary bytes, NUL bytes included, and on the same
// bytes as a string (cut at the first NUL).
#include <cstdint>
#include <string>

#include "text/html_tag_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  kpl::HTMLReader bytes;
  bytes.readFromBytes(text, size);
  kpl::HTMLReader string;
  string.readFromString(std::string(text, size));
  // Every collected name came with its full tag.
  if (bytes.getListTag().size() != bytes.getListFullTag().size()) __builtin_trap();
  return 0;
}
