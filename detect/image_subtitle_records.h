// The records written for the kinds of the image and subtitle probes
// (ImageFTAUtils::isImage, SubtitleFTAUtils::isSubtitle).
#pragma once

#include <string>

namespace kpl {

// 2 BMP, 3 EMF, 6 PNG, 7 PNS, 8 TIFF, 9 JPG; any other kind (1, a PNG with a
// broken chunk structure, included) gives the unidentified-data record.
void adjustImageTypes(unsigned char kind, std::string& typeId, std::string& mime, std::string& extensions,
                      std::string& description);

// 1 PAC, 2 890; any other kind gives the unidentified-data record.
void adjustSubtitleTypes(unsigned char kind, std::string& typeId, std::string& mime, std::string& extensions,
                         std::string& description);

}  // namespace kpl
