// PNG: ISO/IEC 15948 chunk layout (length, type, data, CRC). BMP: the
// Windows bitmap file header followed by a DIB header whose size names its
// version. EMF: the EMR_HEADER record. TIFF: the byte-order mark and 42.
// JPEG: an APP1 segment right after SOI carrying "Exif\0\0".
#include "media/image_fta_utils.h"

#include <cstring>

#include "common/byte_utils.h"
#include "common/limits.h"

namespace kpl {

namespace {

const uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
const uint8_t kJpegExifStart[4] = {0xFF, 0xD8, 0xFF, 0xE1};
const uint8_t kExifIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};
const uint8_t kEmfSignature[4] = {0x20, 0x45, 0x4D, 0x46};  // " EMF"
const uint8_t kTiffBigEndian[4] = {0x4D, 0x4D, 0x00, 0x2A};
const uint8_t kTiffLittleEndian[4] = {0x49, 0x49, 0x2A, 0x00};

bool isChunkType(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

}  // namespace

unsigned char ImageFTAUtils::isImage(const std::string& path, uint64_t fileSize) {
  InputFile file(path);
  return isImage(file, fileSize);
}

unsigned char ImageFTAUtils::isImage(const InputFile& file, uint64_t fileSize) {
  if (!file.isOpen()) return ImageNone;
  for (auto probe : {&isPNG, &isBMP, &isEMF, &isTIFF, &isJPGEXIF}) {
    if (unsigned char kind = probe(file, fileSize)) return kind;
  }
  return ImageNone;
}

unsigned char ImageFTAUtils::isPNG(const InputFile& file, uint64_t fileSize) {
  uint8_t signature[8] = {};
  if (fileSize < sizeof(signature) || !file.readExact(0, signature, sizeof(signature)) ||
      std::memcmp(signature, kPngSignature, sizeof(signature)) != 0)
    return ImageNone;

  bool ihdrSeen = false;
  bool sterSeen = false;
  uint64_t position = sizeof(kPngSignature);
  // Each chunk moves the position on by at least 12 bytes, so the walk ends
  // at the end of the file; the limit only keeps a file of empty chunks from
  // being walked all the way.
  for (uint32_t chunks = 0; chunks < limits::kMaxPngChunksBeforeImageData; ++chunks) {
    // Length and type must both be there; running out before IDAT means the
    // file was cut and is not taken for a PNG at all.
    uint8_t header[8];
    if (!inBounds(fileSize, position, sizeof(header)) || !file.readExact(position, header, sizeof(header)))
      return ImageNone;
    uint32_t length = ByteUtils::bytesToUInt32BE(header);
    const uint8_t* type = header + 4;
    if (length & 0x80000000u) return ImagePNGBroken;

    if (isChunkType(type, "IHDR")) {
      if (ihdrSeen) return ImagePNGBroken;  // a second IHDR
      ihdrSeen = true;
    } else if (isChunkType(type, "sTER")) {
      if (!ihdrSeen || length != 1) return ImagePNGBroken;
      sterSeen = true;
    } else if (isChunkType(type, "IDAT")) {
      if (!ihdrSeen) return ImagePNGBroken;
      return sterSeen ? ImagePNGStereo : ImagePNG;
    }
    position += static_cast<uint64_t>(length) + 12;  // length < 2^31: no wrap
  }
  return ImagePNGBroken;
}

unsigned char ImageFTAUtils::isBMP(const InputFile& file, uint64_t fileSize) {
  uint8_t head[18] = {};
  if (fileSize < sizeof(head) || !file.readExact(0, head, sizeof(head))) return ImageNone;
  if (head[0] != 'B' || head[1] != 'M') return ImageNone;
  // The DIB header's size tells its version: core (12), info (40), V4 (108)
  // and V5 (124). Other sizes (OS/2 2.x's 64, Adobe's 52 and 56) are left
  // to libmagic.
  switch (loadU32LE(head + 14)) {
    case 12:
    case 40:
    case 108:
    case 124:
      return ImageBMP;
    default:
      return ImageNone;
  }
}

unsigned char ImageFTAUtils::isEMF(const InputFile& file, uint64_t fileSize) {
  uint8_t head[44] = {};
  if (fileSize < sizeof(head) || !file.readExact(0, head, sizeof(head))) return ImageNone;
  // Record type 1 is EMR_HEADER; its dSignature field sits at offset 40.
  if (loadU32LE(head) != 1 || std::memcmp(head + 40, kEmfSignature, 4) != 0) return ImageNone;
  return ImageEMF;
}

unsigned char ImageFTAUtils::isTIFF(const InputFile& file, uint64_t fileSize) {
  uint8_t head[4] = {};
  if (fileSize < sizeof(head) || !file.readExact(0, head, sizeof(head))) return ImageNone;
  if (std::memcmp(head, kTiffBigEndian, 4) != 0 && std::memcmp(head, kTiffLittleEndian, 4) != 0) return ImageNone;
  return ImageTIFF;
}

unsigned char ImageFTAUtils::isJPGEXIF(const InputFile& file, uint64_t fileSize) {
  uint8_t head[12] = {};
  if (fileSize <= 11 || !file.readExact(0, head, sizeof(head))) return ImageNone;
  if (std::memcmp(head, kJpegExifStart, 4) != 0 || std::memcmp(head + 6, kExifIdentifier, 6) != 0) return ImageNone;
  // The segment length counts from the length field at offset 4, so the
  // segment's last two bytes sit at L + 2. Cameras put a JPEG thumbnail at
  // the end of the EXIF block, whose EOI marker then closes the segment.
  uint64_t segmentLength = ByteUtils::bytesToUInt16BE(head + 4);
  if (segmentLength + 4 > fileSize) return ImageNone;
  uint8_t tail[2] = {};
  if (!file.readExact(segmentLength + 2, tail, sizeof(tail))) return ImageNone;
  return tail[0] == 0xFF && tail[1] == 0xD9 ? ImageJPGEXIF : ImageNone;
}

}  // namespace kpl
