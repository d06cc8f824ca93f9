// The image, subtitle, Photoshop and ASF probes on arbitrary bytes. They
// take a path, so the input goes to a temporary file first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/asf_handler.h"
#include "media/image_fta_utils.h"
#include "media/photoshop_fta_utils.h"
#include "media/subtitle_fta_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char path[] = "/tmp/kpl_media_fuzz_XXXXXX";
  int fd = ::mkstemp(path);
  if (fd < 0) return 0;
  bool written = true;
  for (size_t done = 0; done < size && written;) {
    ssize_t n = ::write(fd, data + done, size - done);
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  ::close(fd);
  if (written) {
    kpl::ImageFTAUtils::isImage(path, size);
    kpl::SubtitleFTAUtils::isSubtitle(path);
    kpl::PhotoshopFTAUtils::isPTSFileBased(path, size);
    kpl::ASFHandler::isASFFileBased(path);
  }
  ::unlink(path);
  return 0;
}
