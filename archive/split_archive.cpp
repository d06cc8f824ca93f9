// Pieces of split archives: files of a known archive type that end before
// their archive does (zip -s, 7-Zip -v volumes, split(1) pieces).
#include <cstring>

#include "archive/archive_fta_utils.h"
#include "archive/zip_archive.h"
#include "common/byte_reader.h"
#include "common/byte_utils.h"

namespace kpl {

namespace {

// The two empty 512-byte blocks that end a tar archive.
constexpr std::size_t kTarEndLen = 1024;
// The xz stream footer ends in "YZ".
constexpr uint16_t xzFooter = 0x5A59;
constexpr uint64_t k7zStartHeaderLen = 32;

}  // namespace

const std::map<std::string, ArchiveFTAUtils::SplitProbe> ArchiveFTAUtils::splitFuntionHandler = {
    {"ZIP", &ArchiveFTAUtils::isSplitZip}, {"TAR", &ArchiveFTAUtils::isSplitTar},
    {"XZ", &ArchiveFTAUtils::isSplitXZ},   {"7Z", &ArchiveFTAUtils::isSplit7z},
    {"GZ", &ArchiveFTAUtils::isSplitGZ},
};

const std::map<std::string, std::string> ArchiveFTAUtils::splitMimeType = {
    {"ZIP", "application/zip"},
    {"TAR", "application/x-tar"},
};

bool ArchiveFTAUtils::isSplitZip(const InputFile& file, const uint64_t& fileSize) {
  return ZipArchive::findEndCentralDirFromBot(file, fileSize) < 0;
}

bool ArchiveFTAUtils::isSplitTar(const InputFile& file, const uint64_t& fileSize) {
  if (fileSize < kTarEndLen + 1) return true;
  uint8_t tail[kTarEndLen] = {};
  if (!file.readExact(fileSize - kTarEndLen, tail, kTarEndLen)) return true;
  return !ByteUtils::compareArrayValue(tail, kTarEndLen, 0);
}

bool ArchiveFTAUtils::isSplitXZ(const InputFile& file, const uint64_t& fileSize) {
  if (fileSize < 5) return true;
  uint8_t tail[4] = {};
  if (!file.readExact(fileSize - 4, tail, 4)) return true;
  // A complete stream ends in 59 5A. Stream padding is not allowed after
  // the footer of a single .xz file, but an exact match at any of the three
  // 2-byte positions keeps a trailing byte or two of garbage from turning a
  // whole file into a piece.
  const uint32_t v = loadU32LE(tail);
  for (int shift : {0, 8, 16})
    if (((v >> shift) & 0xFFFF) == xzFooter) return false;
  return true;
}

bool ArchiveFTAUtils::isSplit7z(const InputFile& file, const uint64_t& fileSize) {
  if (fileSize < k7zStartHeaderLen + 1) return true;
  uint8_t start[k7zStartHeaderLen] = {};
  if (!file.readExact(0, start, sizeof start)) return true;
  const uint64_t nextHeaderOffset = loadU64LE(start + 12);
  const uint64_t nextHeaderSize = loadU64LE(start + 20);
  // offset + size + 32 > fileSize, without letting the sum wrap.
  const uint64_t room = fileSize - k7zStartHeaderLen;
  return nextHeaderOffset > room || nextHeaderSize > room - nextHeaderOffset;
}

bool ArchiveFTAUtils::isSplitGZ(const InputFile& file, const uint64_t& fileSize) {
  // A gzip member records no length of its own up front, so a piece cannot
  // be told from a whole file cheaply; the split extension decides.
  (void)file;
  (void)fileSize;
  return true;
}

}  // namespace kpl
