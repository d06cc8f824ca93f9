// The image, subtitle, Photoshop and ASF probes on arbitrary bytes, read
// from memory.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "media/asf_handler.h"
#include "media/image_fta_utils.h"
#include "media/photoshop_fta_utils.h"
#include "media/subtitle_fta_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile file = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  kpl::ImageFTAUtils::isImage(file, size);
  kpl::SubtitleFTAUtils::isSubtitle(file);
  kpl::PhotoshopFTAUtils::isPTSFileBased(file, size);
  kpl::ASFHandler::isASFFileBased(file);
  return 0;
}
