#include "media/amr_fta_utils.h"

#include "common/byte_reader.h"

namespace kpl {

namespace {

constexpr char kAmrMagic[] = "#!AMR\n";                    // 6 bytes
constexpr char kAmrMultiChannelMagic[] = "#!AMR_MC1.0\n";  // 12 bytes
constexpr std::size_t kAmrMagicSize = sizeof(kAmrMagic) - 1;
constexpr std::size_t kAmrMultiChannelMagicSize = sizeof(kAmrMultiChannelMagic) - 1;

}  // namespace

bool AMRFTAUtils::isAMRFileBased(const std::string& path, unsigned long fileSize) {
  if (fileSize < kAmrMagicSize) return false;
  InputFile file(path);
  return isAMRFileBased(file, fileSize);
}

bool AMRFTAUtils::isAMRFileBased(const InputFile& file, unsigned long fileSize) {
  if (fileSize < kAmrMagicSize) return false;
  if (!file.isOpen()) return false;
  // A multi-channel file is named only when something follows its 12-byte
  // magic line; shorter files are only asked for the single-channel magic.
  uint8_t head[kAmrMultiChannelMagicSize] = {};
  const std::size_t want = fileSize < 13 ? kAmrMagicSize : kAmrMultiChannelMagicSize;
  const std::size_t got = file.readAt(0, head, want);
  ByteReader r(head, got);
  return r.matches(0, kAmrMagic, kAmrMagicSize) || r.matches(0, kAmrMultiChannelMagic, kAmrMultiChannelMagicSize);
}

}  // namespace kpl
