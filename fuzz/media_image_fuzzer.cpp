// The image, subtitle, Photoshop and ASF probes on arbitrary bytes. They
// take a path, so the input goes to a temporary file first.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_temp_file.h"
#include "media/asf_handler.h"
#include "media/image_fta_utils.h"
#include "media/photoshop_fta_utils.h"
#include "media/subtitle_fta_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  const std::string& path = input.path();
  kpl::ImageFTAUtils::isImage(path, size);
  kpl::SubtitleFTAUtils::isSubtitle(path);
  kpl::PhotoshopFTAUtils::isPTSFileBased(path, size);
  kpl::ASFHandler::isASFFileBased(path);
  return 0;
}
