// Photoshop documents: PSD (version 1) and large documents, PSB (version 2).
#pragma once

#include <cstdint>
#include <string>

namespace kpl {

class InputFile;

enum PhotoshopType : uint8_t {
  PhotoshopNone = 0,
  PhotoshopPSD = 1,
  PhotoshopPSB = 2,
};

class PhotoshopFTAUtils {
 public:
  // Judges the 26-byte file header; 0 when it is not a plausible Photoshop
  // header or the path cannot be opened.
  static PhotoshopType isPTSFileBased(const std::string& path, uint64_t fileSize);
  static PhotoshopType isPTSFileBased(const InputFile& file, uint64_t fileSize);

  // Writes the record for PSD and PSB; any other value leaves it unchanged.
  static void adjustPTSBasedTypes(const PhotoshopType& type, std::string& typeId, std::string& mime,
                                  std::string& extensions, std::string& description);
};

}  // namespace kpl
