// ASF files begin with the header object, whose children include the codec
// list object: one entry per stream, each giving the codec's kind (video,
// audio, unknown), name, description and opaque information. All fields are
// little-endian. Only that list is read: it is what tells a Windows Media
// Video file from an audio-only one.
#include "media/asf_handler.h"

#include <algorithm>
#include <cstring>

#include "catalogue/file_type_catalogue.h"
#include "common/limits.h"

namespace kpl {

const uint8_t ASFHandler::ASF_Object_GUID::ASFSignature[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t ASFHandler::ASF_Object_GUID::ASFCodecList[16] = {0x40, 0x52, 0xD1, 0x86, 0x1D, 0x31, 0xD0, 0x11,
                                                                0xA3, 0xA4, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0xF6};

namespace {

constexpr uint64_t kObjectHeaderSize = 24;  // GUID and object size

// The u16 at p, or false when it is not wholly inside the file.
bool readU16(const InputFile& file, uint64_t fileSize, uint64_t p, uint16_t& value) {
  uint8_t b[2];
  if (!inBounds(fileSize, p, 2) || !file.readExact(p, b, 2)) return false;
  value = loadU16LE(b);
  return true;
}

}  // namespace

void ASFHandler::ASF_Header_Object::decode(const uint8_t* p) {
  std::memcpy(guid, p, 16);
  objectSize = loadU64LE(p + 16);
  numberOfHeaderObjects = loadU32LE(p + 24);
  std::memcpy(reserved, p + 28, 2);
}

void ASFHandler::ASF_Codec_List_Object::decode(const uint8_t* p) {
  std::memcpy(guid, p, 16);
  objectSize = loadU64LE(p + 16);
  std::memcpy(reserved, p + 24, 16);
  codecEntriesCount = loadU32LE(p + 40);
}

MediaContainerFileType ASFHandler::isASFFileBased(const std::string& path) {
  InputFile file(path);
  return isASFFileBased(file);
}

MediaContainerFileType ASFHandler::isASFFileBased(const InputFile& file) {
  if (!file.isOpen()) return MediaContainerFileType::None;
  uint64_t fileSize = file.size();
  uint64_t codecListPosition = kNoCodecList;
  if (!isASFFileType(file, fileSize, codecListPosition)) return MediaContainerFileType::None;
  return classifyASFFileType(file, fileSize, codecListPosition);
}

bool ASFHandler::isASFFileType(const InputFile& file, const uint64_t& fileSize, uint64_t& codecListPosition) {
  codecListPosition = kNoCodecList;
  if (fileSize < ASF_Min_Size) return false;
  uint8_t raw[ASF_Header_Object::kSize];
  if (!file.readExact(0, raw, sizeof(raw))) return false;
  ASF_Header_Object header;
  header.decode(raw);
  if (std::memcmp(header.guid, ASF_Object_GUID::ASFSignature, 16) != 0) return false;

  uint64_t position = ASF_Header_Object::kSize;
  uint32_t objects = std::min(header.numberOfHeaderObjects, limits::kMaxAsfHeaderObjects);
  for (uint32_t i = 0; i < objects; ++i) {
    uint8_t object[kObjectHeaderSize];
    if (!inBounds(fileSize, position, sizeof(object)) || !file.readExact(position, object, sizeof(object))) break;
    if (std::memcmp(object, ASF_Object_GUID::ASFCodecList, 16) == 0) {
      codecListPosition = position;
      break;
    }
    // An object spans at least its own header: a smaller size (zero in a
    // damaged file) would keep the walk on the same object.
    uint64_t objectSize = std::max(loadU64LE(object + 16), kObjectHeaderSize);
    if (objectSize > fileSize - position) break;  // the next object would start past the end
    position += objectSize;
  }
  return true;
}

MediaContainerFileType ASFHandler::classifyASFFileType(const InputFile& file, const uint64_t& fileSize,
                                                       const uint64_t& codecListPosition) {
  MediaContainerFileType result = MediaContainerFileType::ASF;
  const uint64_t position = codecListPosition;
  if (position >= fileSize || ASF_Codec_List_Object::kSize >= fileSize - position) return result;
  uint8_t raw[ASF_Codec_List_Object::kSize];
  if (!file.readExact(position, raw, sizeof(raw))) return result;
  ASF_Codec_List_Object list;
  list.decode(raw);
  if (std::memcmp(list.guid, ASF_Object_GUID::ASFCodecList, 16) != 0) return result;

  // Every entry moves p on by at least 8 bytes and every read is checked
  // against the end of the file, so a count larger than the entries present
  // ends there with what was found so far.
  uint64_t p = position + ASF_Codec_List_Object::kSize;
  bool audioSeen = false;
  uint32_t entries = std::min(list.codecEntriesCount, limits::kMaxAsfCodecEntries);
  for (uint32_t i = 0; i < entries; ++i) {
    uint16_t type = 0;
    if (!readU16(file, fileSize, p, type)) return result;
    p += 2;
    if (type == VideoCodec) {
      result = MediaContainerFileType::WMV;
      break;
    }
    if (type == AudioCodec) audioSeen = true;
    uint16_t length = 0;
    if (!readU16(file, fileSize, p, length)) return result;  // name, UTF-16 characters
    p += 2 + 2 * static_cast<uint64_t>(length);
    if (!readU16(file, fileSize, p, length)) return result;  // description, UTF-16 characters
    p += 2 + 2 * static_cast<uint64_t>(length);
    if (!readU16(file, fileSize, p, length)) return result;  // information, bytes
    p += 2 + static_cast<uint64_t>(length);
  }
  if (audioSeen && result == MediaContainerFileType::ASF) result = MediaContainerFileType::WMA;
  return result;
}

void ASFHandler::adjustASFBasedTypes(const MediaContainerFileType& type, std::string& typeId, std::string& mime,
                                     std::string& extensions, std::string& description) {
  switch (type) {
    case MediaContainerFileType::WMA:
      typeId = "WMA";
      mime = "audio/x-ms-wma";
      extensions = "wma";
      break;
    case MediaContainerFileType::WMV:
      typeId = "WMV";
      mime = "video/x-ms-wmv";
      extensions = "wmv";
      break;
    case MediaContainerFileType::ASF:
      typeId = "ASF";
      mime = "video/x-ms-asf";
      extensions = "asf,wmv,wma";
      break;
    default:
      typeId = "data";
      mime = "application/octet-stream";
      extensions.clear();
      break;
  }
  description = describe(typeId);
}

}  // namespace kpl
