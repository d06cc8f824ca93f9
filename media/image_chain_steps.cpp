// The image, subtitle, ASF and Photoshop steps of the scan chain. A non-zero
// kind ends the chain even when its record is "data" (a PNG signature over a
// broken chunk structure): such a file is not left to libmagic, which would
// call it a picture.
#include "media/asf_handler.h"
#include "media/image_fta_utils.h"
#include "media/image_subtitle_records.h"
#include "media/media_chain_steps.h"
#include "media/photoshop_fta_utils.h"
#include "media/subtitle_fta_utils.h"

namespace kpl {

bool chainStepImage(const ScanInput& input, DetectionRecord& record) {
  const auto kind = static_cast<ImageType>(ImageFTAUtils::isImage(input, input.size()));
  if (kind == ImageNone) return false;
  adjustImageTypes(kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

bool chainStepSubtitle(const ScanInput& input, DetectionRecord& record) {
  const auto kind = static_cast<SubtitleType>(SubtitleFTAUtils::isSubtitle(input));
  if (kind == SubtitleNone) return false;
  adjustSubtitleTypes(kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

bool chainStepAsf(const ScanInput& input, DetectionRecord& record) {
  MediaContainerFileType kind = ASFHandler::isASFFileBased(input);
  if (kind == MediaContainerFileType::None) return false;
  ASFHandler::adjustASFBasedTypes(kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

bool chainStepPhotoshop(const ScanInput& input, DetectionRecord& record) {
  PhotoshopType kind = PhotoshopFTAUtils::isPTSFileBased(input, input.size());
  if (kind == PhotoshopNone) return false;
  PhotoshopFTAUtils::adjustPTSBasedTypes(kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

}  // namespace kpl
