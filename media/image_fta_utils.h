// Header probes for images whose libmagic answer does not settle the type:
// PNG (and stereo PNG), BMP, EMF, TIFF and JPEG carrying an EXIF thumbnail.
#pragma once

#include <cstdint>
#include <string>

#include "common/byte_reader.h"

namespace kpl {

// Kinds answered by ImageFTAUtils::isImage; adjustImageTypes turns them into
// a detection record. The gaps (4, 5) are kinds no probe produces.
enum ImageType : unsigned char {
  ImageNone = 0,
  ImagePNGBroken = 1,  // PNG signature present, chunk structure broken
  ImageBMP = 2,
  ImageEMF = 3,
  ImagePNG = 6,
  ImagePNGStereo = 7,  // has an sTER chunk before the image data
  ImageTIFF = 8,
  ImageJPGEXIF = 9,
};

class ImageFTAUtils {
 public:
  // Tries the probes below in order on one open file; the first non-zero
  // answer wins. 0 for anything else, including an unopenable path.
  static unsigned char isImage(const std::string& path, uint64_t fileSize);
  static unsigned char isImage(const InputFile& file, uint64_t fileSize);

  static unsigned char isPNG(const InputFile& file, uint64_t fileSize);
  static unsigned char isBMP(const InputFile& file, uint64_t fileSize);
  static unsigned char isEMF(const InputFile& file, uint64_t fileSize);
  static unsigned char isTIFF(const InputFile& file, uint64_t fileSize);
  static unsigned char isJPGEXIF(const InputFile& file, uint64_t fileSize);
};

}  // namespace kpl
