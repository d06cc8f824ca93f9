// PAC files open with a block whose byte 23 is a backquote and close with a
// fixed 31-byte block ending in the text "dummy end of file". Cavena 890
// files are made of 16-byte aligned blocks with 08 90 00 00 in the header
// block at offset 172.
#include "media/subtitle_fta_utils.h"

#include <cstring>

namespace kpl {

namespace {

const uint8_t kPacClosingBlock[31] = {
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 'd', 'u',
    'm',  'm',  'y',  ' ',  'e',  'n',  'd',  ' ',  'o',  'f',  ' ',  'f',  'i',  'l', 'e',
};
const uint8_t k890Marker[4] = {0x08, 0x90, 0x00, 0x00};

}  // namespace

unsigned char SubtitleFTAUtils::isSubtitle(const std::string& path) {
  InputFile file(path);
  return isSubtitle(file);
}

unsigned char SubtitleFTAUtils::isSubtitle(const InputFile& file) {
  if (!file.isOpen()) return SubtitleNone;
  if (unsigned char kind = isPACFile(file, file.size())) return kind;
  return is890File(file, file.size());
}

unsigned char SubtitleFTAUtils::isPACFile(const InputFile& file, uint64_t fileSize) {
  uint8_t head[24] = {};
  if (fileSize < 66 || !file.readExact(0, head, sizeof(head))) return SubtitleNone;
  if (head[0] != 0x01 || head[23] != 0x60) return SubtitleNone;
  uint8_t tail[sizeof(kPacClosingBlock)] = {};
  if (!file.readExact(fileSize - sizeof(tail), tail, sizeof(tail))) return SubtitleNone;
  return std::memcmp(tail, kPacClosingBlock, sizeof(tail)) == 0 ? SubtitlePAC : SubtitleNone;
}

unsigned char SubtitleFTAUtils::is890File(const InputFile& file, uint64_t fileSize) {
  if (fileSize < 512 || fileSize % 16 != 0) return SubtitleNone;
  uint8_t head[176] = {};
  if (!file.readExact(0, head, sizeof(head))) return SubtitleNone;
  bool startOk = head[0] == 0 && head[1] == 0 && (head[2] == 0x00 || head[2] == 0x20);
  if (!startOk || head[144] != 0 || head[145] != 0 || std::memcmp(head + 172, k890Marker, 4) != 0)
    return SubtitleNone;
  return Subtitle890;
}

}  // namespace kpl
