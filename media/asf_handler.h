// Advanced Systems Format containers: Windows Media Video, Windows Media
// Audio and other ASF files, told apart by the header's codec list.
#pragma once

#include <cstdint>
#include <string>

#include "common/byte_reader.h"

namespace kpl {

enum class MediaContainerFileType : uint8_t {
  None = 0,
  WMA = 13,  // audio codecs only
  WMV = 14,  // has a video codec
  ASF = 15,  // ASF, the codecs do not decide
};

class ASFHandler {
 public:
  static constexpr uint64_t ASF_Min_Size = 30;
  // Returned through codecListPosition when the header has no codec list.
  static constexpr uint64_t kNoCodecList = UINT64_MAX;

  struct ASF_Object_GUID {
    static const uint8_t ASFSignature[16];  // header object
    static const uint8_t ASFCodecList[16];  // codec list object
  };
  enum ASF_Codec_List_Object_Type : uint16_t { VideoCodec = 1, AudioCodec = 2, UnknownCodec = 0xFFFF };

  // The header object at offset 0 (30 bytes as stored).
  struct ASF_Header_Object {
    uint8_t guid[16] = {};
    uint64_t objectSize = 0;
    uint32_t numberOfHeaderObjects = 0;
    uint8_t reserved[2] = {};
    static constexpr std::size_t kSize = 30;
    void decode(const uint8_t* p);
  };
  // The codec list object up to its first entry (44 bytes as stored).
  struct ASF_Codec_List_Object {
    uint8_t guid[16] = {};
    uint64_t objectSize = 0;
    uint8_t reserved[16] = {};
    uint32_t codecEntriesCount = 0;
    static constexpr std::size_t kSize = 44;
    void decode(const uint8_t* p);
  };

  // 0 when the file is not ASF or cannot be opened, else WMA, WMV or ASF.
  static MediaContainerFileType isASFFileBased(const std::string& path);
  static MediaContainerFileType isASFFileBased(const InputFile& file);
  // Whether the file starts with an ASF header object; codecListPosition
  // receives the codec list object's offset, or kNoCodecList.
  static bool isASFFileType(const InputFile& file, const uint64_t& fileSize, uint64_t& codecListPosition);
  // WMA, WMV or ASF from the codec list at codecListPosition.
  static MediaContainerFileType classifyASFFileType(const InputFile& file, const uint64_t& fileSize,
                                                    const uint64_t& codecListPosition);
  // Writes the record of WMA, WMV or ASF; anything else gives "data".
  static void adjustASFBasedTypes(const MediaContainerFileType& type, std::string& typeId, std::string& mime,
                                  std::string& extensions, std::string& description);
};

}  // namespace kpl
