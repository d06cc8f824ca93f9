// Self-extracting executables. A self-extractor is a PE image with the
// archive either appended after its last section (the overlay: RAR, 7-Zip
// and ZIP stubs) or stored as a raw-data resource (cabinet-based
// installers). Stubs differ in how they pad: RAR stubs put the archive right
// at the overlay start, 7-Zip and ZIP stubs may leave some bytes first.
#include <algorithm>
#include <cstring>

#include "archive/archive_fta_utils.h"
#include "archive/pe_file_parser.h"
#include "archive/rar_archive.h"
#include "common/byte_reader.h"
#include "common/zip_index.h"

namespace kpl {

namespace {

constexpr uint8_t k7zSignature[6] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
// How far into the overlay the 7-Zip signature and the first ZIP local
// header are looked for.
constexpr std::size_t k7zSearchLen = 1029;
constexpr std::size_t kZipSearchPositions = 1024;
constexpr uint32_t kRcDataType = 10;

uint64_t sizeOf(const long long& fileSize) { return fileSize > 0 ? static_cast<uint64_t>(fileSize) : 0; }

}  // namespace

bool ArchiveFTAUtils::checkIsSfxArchive(const InputFile& file, const long long& fileSize) {
  const uint64_t size = sizeOf(fileSize);
  PEFileParser::Headers headers;
  if (!PEFileParser(file, size).readHeaders(headers) || !headers.peSignature || headers.sections.empty())
    return false;
  // The overlay starts where the last section's raw data ends; 32-bit like
  // the fields.
  const PEFileParser::SectionTable& last = headers.sections.back();
  const uint32_t overlayStart = last.pointerToRawData + last.sizeOfRawData;
  if (overlayStart >= size) return false;
  return isWinRarSfx(file, overlayStart, fileSize) || is7zSfx(file, overlayStart, fileSize) ||
         isZipSfx(file, overlayStart, fileSize);
}

bool ArchiveFTAUtils::isWinRarSfx(const InputFile& file, uint32_t overlayStart, const long long& fileSize) {
  (void)fileSize;
  uint8_t marker[8] = {};
  file.readAt(overlayStart, marker, sizeof marker);
  return std::memcmp(marker, kRar5Marker, sizeof kRar5Marker) == 0 ||
         std::memcmp(marker, kRar4Marker, sizeof kRar4Marker) == 0;
}

bool ArchiveFTAUtils::is7zSfx(const InputFile& file, uint32_t overlayStart, const long long& fileSize) {
  const uint64_t size = sizeOf(fileSize);
  if (overlayStart >= size) return false;
  const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(size - overlayStart, k7zSearchLen));
  std::vector<uint8_t> bytes = file.read(overlayStart, n);
  if (bytes.size() < sizeof k7zSignature) return false;
  return std::search(bytes.begin(), bytes.end(), std::begin(k7zSignature), std::end(k7zSignature)) != bytes.end();
}

bool ArchiveFTAUtils::isZipSfx(const InputFile& file, uint32_t overlayStart, const long long& fileSize) {
  const uint64_t size = sizeOf(fileSize);
  uint8_t endBytes[ZipEndRecord::kLength] = {};
  if (size >= ZipEndRecord::kLength) file.readAt(size - ZipEndRecord::kLength, endBytes, sizeof endBytes);

  if (!isZipSignature(endBytes, ZipEndRecord::kSignature)) {
    // An archive with a comment (or no end record at all): look for the
    // first local header near the overlay start instead.
    if (overlayStart >= size) return false;
    std::vector<uint8_t> bytes = file.read(overlayStart, kZipSearchPositions + 3);
    for (std::size_t i = 0; i < kZipSearchPositions; ++i) {
      if (i + 4 > bytes.size()) return false;
      if (isZipSignature(bytes.data() + i, ZipLocalHeader::kSignature)) return true;
    }
    return false;
  }

  // No comment: follow the end record to the first central entry and its
  // local header, neither of which may lie in the executable part.
  const uint64_t cdOffset = ZipEndRecord::decode(endBytes).directoryOffset;
  if (cdOffset < overlayStart || !inBounds(size, cdOffset, ZipCentralHeader::kLength)) return false;
  uint8_t central[ZipCentralHeader::kLength] = {};
  if (!file.readExact(cdOffset, central, sizeof central)) return false;
  if (!isZipSignature(central, ZipCentralHeader::kSignature)) return false;
  const uint64_t localOffset = ZipCentralHeader::decode(central).localHeaderOffset;
  if (localOffset < overlayStart || !inBounds(size, localOffset, 4)) return false;
  uint8_t local[4] = {};
  return file.readExact(localOffset, local, 4) && isZipSignature(local, ZipLocalHeader::kSignature);
}

bool ArchiveFTAUtils::checkPErsrc(const InputFile& file, const long long& fileSize) {
  const uint64_t size = sizeOf(fileSize);
  PEFileParser parser(file, size);
  for (const PEFileParser::DataRepresentStructure& resource : parser.getListResourceObjects()) {
    if (resource.typeId != kRcDataType) continue;
    // The first raw-data resource too close to the end settles it.
    if (size < 4 || resource.fileOffset >= size - 4) return false;
    uint8_t head[4] = {};
    if (!file.readExact(resource.fileOffset, head, 4)) return false;
    if (std::memcmp(head, "MSCF", 4) == 0 || std::memcmp(head, "ISc(", 4) == 0) return true;
  }
  return false;
}

}  // namespace kpl
