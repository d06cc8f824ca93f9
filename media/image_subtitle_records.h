// The records written for the kinds of the image and subtitle probes
// (ImageFTAUtils::isImage, SubtitleFTAUtils::isSubtitle).
#pragma once

#include <string>

#include "media/image_fta_utils.h"
#include "media/subtitle_fta_utils.h"

namespace kpl {

// BMP, EMF, PNG, stereo PNG (PNS), TIFF and EXIF JPEG; any other kind
// (ImagePNGBroken, a PNG with a broken chunk structure, included) gives the
// unidentified-data record.
void adjustImageTypes(ImageType kind, std::string& typeId, std::string& mime, std::string& extensions,
                      std::string& description);

// PAC and 890; any other kind gives the unidentified-data record.
void adjustSubtitleTypes(SubtitleType kind, std::string& typeId, std::string& mime, std::string& extensions,
                         std::string& description);

}  // namespace kpl
