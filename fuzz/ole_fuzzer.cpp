// The compound-document classifier on arbitrary bytes: the reader, every
// probe and the legacy encryption checks together.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "office/ole_classifier.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char path[] = "/tmp/ole_fuzz.XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return 0;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  std::string typeId, mime, extensions, description;
  bool encrypted = false;
  kpl::OLEFTAUtil::isOLEFileType(path, size, typeId, mime, extensions, description, encrypted);
  ::unlink(path);
  return 0;
}
