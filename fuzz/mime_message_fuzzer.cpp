// The message handler on arbitrary bytes held in memory: the header parse,
// both judgements and the boundary search that reads on into the body.
#include <cstdint>
#include <vector>

#include "common/byte_reader.h"
#include "text/mime_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile input = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  kpl::MIMEHandler handler;
  if (handler.parseMIMEHeader(input)) {
    handler.isMHTFileType();
    handler.isEMLFileType();
  }
  return 0;
}
