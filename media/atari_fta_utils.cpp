#include "media/atari_fta_utils.h"

#include "common/byte_reader.h"
#include "common/limits.h"

namespace kpl {

namespace {

constexpr uint16_t kHeaderMarker = 0xFFFF;
// The two-byte vectors DOS reads after loading: run address at 0x2E0 and
// init address at 0x2E2. A segment that writes either one is a program.
constexpr uint32_t kRunAddress = 0x2E0;
constexpr uint32_t kInitAddress = 0x2E2;

bool touches(uint32_t start, uint32_t length, uint32_t vector) {
  return start < vector + 2 && start + length > vector - 1;
}

}  // namespace

int AtariFTAUtils::isAtariFileBased(const std::string& path, unsigned long fileSize) {
  InputFile file(path);
  return isAtariFileBased(file, fileSize);
}

int AtariFTAUtils::isAtariFileBased(const InputFile& file, unsigned long fileSize) {
  if (!file.isOpen()) return kNotAtari;
  uint8_t head[6];
  if (!file.readExact(0, head, sizeof(head))) return kNotAtari;
  if (loadU16LE(head) != kHeaderMarker) return kNotAtari;
  uint32_t start = loadU16LE(head + 2);
  uint32_t end = loadU16LE(head + 4);
  if (end < start) return kMalformed;
  uint32_t length = end - start + 1;
  if (length >= fileSize) return kMalformed;

  // Segments after the first: start and end words, then the bytes. The
  // walk stops at a fixed count; a file that is consistent that far is
  // taken as a load file.
  uint64_t position = static_cast<uint64_t>(length) + 6;
  for (int segments = 0;; ++segments) {
    if (position >= fileSize || segments >= limits::kAtariMaxSegments)
      return position == fileSize || segments == limits::kAtariMaxSegments ? kAtariExecutable : kMalformed;
    uint8_t header[6] = {};
    const std::size_t got = file.readAt(position, header, sizeof(header));
    if (got >= 2 && loadU16LE(header) == kHeaderMarker) return kAtariExecutable;  // a new load header
    if (got < 4) return kMalformed;  // a segment header cut short by the end of the file
    start = loadU16LE(header);
    end = loadU16LE(header + 2);
    if (end < start) return kMalformed;
    length = end - start + 1;
    if (touches(start, length, kRunAddress) || touches(start, length, kInitAddress)) return kAtariExecutable;
    position += static_cast<uint64_t>(length) + 4;
  }
}

}  // namespace kpl
