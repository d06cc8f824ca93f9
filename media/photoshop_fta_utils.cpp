// The Photoshop file header: "8BPS", version, six reserved zero bytes, then
// channels, height, width, depth and colour mode, all big-endian. Every field
// has a small documented range, which is what tells a real header from four
// matching bytes.
#include "media/photoshop_fta_utils.h"

#include <cstring>

#include "catalogue/file_type_catalogue.h"
#include "common/byte_reader.h"
#include "common/byte_utils.h"

namespace kpl {

namespace {

constexpr uint64_t kHeaderSize = 26;
constexpr uint32_t kMaxPsdDimension = 30000;   // version 1
constexpr uint32_t kMaxPsbDimension = 300000;  // version 2
constexpr uint16_t kMaxChannels = 56;

bool validDepth(uint16_t depth) { return depth == 1 || depth == 8 || depth == 16 || depth == 32; }

// Bitmap, grayscale, indexed, RGB, CMYK (0-4); multichannel, duotone, Lab
// (7-9). Modes 5 and 6 were never assigned.
bool validColourMode(uint16_t mode) { return mode <= 4 || (mode >= 7 && mode <= 9); }

}  // namespace

PhotoshopType PhotoshopFTAUtils::isPTSFileBased(const std::string& path, uint64_t fileSize) {
  if (fileSize < kHeaderSize) return PhotoshopNone;
  InputFile file(path);
  return isPTSFileBased(file, fileSize);
}

PhotoshopType PhotoshopFTAUtils::isPTSFileBased(const InputFile& file, uint64_t fileSize) {
  if (fileSize < kHeaderSize) return PhotoshopNone;
  uint8_t h[kHeaderSize] = {};
  if (!file.isOpen() || !file.readExact(0, h, sizeof(h))) return PhotoshopNone;

  uint16_t version = ByteUtils::bytesToUInt16BE(h + 4);
  uint16_t channels = ByteUtils::bytesToUInt16BE(h + 12);
  uint32_t height = ByteUtils::bytesToUInt32BE(h + 14);
  uint32_t width = ByteUtils::bytesToUInt32BE(h + 18);
  uint16_t depth = ByteUtils::bytesToUInt16BE(h + 22);
  uint16_t mode = ByteUtils::bytesToUInt16BE(h + 24);

  if (std::memcmp(h, "8BPS", 4) != 0 || !ByteUtils::compareArrayValue(h + 6, 6, 0)) return PhotoshopNone;
  if (channels < 1 || channels > kMaxChannels || !validDepth(depth) || !validColourMode(mode)) return PhotoshopNone;

  auto dimensionsUpTo = [&](uint32_t limit) { return height >= 1 && height <= limit && width >= 1 && width <= limit; };
  if (version == 1 && dimensionsUpTo(kMaxPsdDimension)) return PhotoshopPSD;
  if (version == 2 && dimensionsUpTo(kMaxPsbDimension)) return PhotoshopPSB;
  return PhotoshopNone;
}

void PhotoshopFTAUtils::adjustPTSBasedTypes(const PhotoshopType& type, std::string& typeId, std::string& mime,
                                            std::string& extensions, std::string& description) {
  const char* id = nullptr;
  const char* ext = nullptr;
  switch (type) {
    case PhotoshopPSD:
      id = "PSD";
      ext = "psd";
      break;
    case PhotoshopPSB:
      id = "PSB";
      ext = "psb";
      break;
    default:
      return;
  }
  typeId = id;
  mime = "image/vnd.adobe.photoshop";
  extensions = ext;
  description = describe(typeId);
}

}  // namespace kpl
