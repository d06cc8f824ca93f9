// PIM archives in their two header forms.
#include "archive/pim_archive.h"

#include <cstring>

#include "common/byte_reader.h"

namespace kpl {

bool PIMArchive::isPIM(const InputFile& file, const unsigned long& fileSize, const ArchiveType& type) {
  constexpr uint64_t kNameAt = 6;
  constexpr std::size_t kMaxName = 255;
  uint8_t name[kMaxName + 1] = {};
  const std::size_t got = file.readAt(kNameAt, name, sizeof name);
  const void* nul = std::memchr(name, 0, got);
  if (nul == nullptr) return false;
  const uint64_t sizesAt = kNameAt + static_cast<uint64_t>(static_cast<const uint8_t*>(nul) - name) + 1;

  uint8_t sizes[8] = {};
  if (!file.readExact(sizesAt, sizes, sizeof sizes)) return false;
  const uint32_t a = loadU32LE(sizes);
  const uint32_t b = loadU32LE(sizes + 4);
  if (a < b) return false;

  // Header fields are 32-bit; so is the position they lead to.
  uint32_t end = b + static_cast<uint32_t>(sizesAt + sizeof sizes);
  static const uint8_t kPimNext[4] = {0x02, 0x50, 0x49, 0x4D};
  static const uint8_t kPim2Next[4] = {0x50, 0x49, 0x4D, 0x32};
  const uint8_t* next = nullptr;
  if (type == ArchiveType::PimCandidate) {
    next = kPimNext;
  } else if (type == ArchiveType::Pim2Candidate) {
    end += 4;
    next = kPim2Next;
  } else {
    return false;
  }
  if (end == fileSize) return true;
  if (end > fileSize) return false;
  uint8_t following[4] = {};
  return file.readExact(end, following, sizeof following) && std::memcmp(following, next, 4) == 0;
}

}  // namespace kpl
