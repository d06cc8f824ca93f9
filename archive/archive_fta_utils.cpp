// Archive detection: the signature table, the corrections that confirm or
// refine its first answer, and the record each archive type is reported as.
#include "archive/archive_fta_utils.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "archive/pim_archive.h"
#include "archive/rar_archive.h"
#include "archive/sap_archive.h"
#include "archive/tar_archive.h"
#include "archive/zip_archive.h"
#include "catalogue/file_type_catalogue.h"
#include "common/byte_reader.h"
#include "common/byte_utils.h"
#include "common/limits.h"

namespace kpl {

namespace {

std::vector<ArchiveSignature> sSignatures;
std::map<std::string, ArchiveType> fileTypeMap;

// Every row's bytes fit in the window (the longest signature has 31).
constexpr std::size_t kWindowLen = 64;

// Where a row's bytes lie in a file or buffer of `size` bytes; false when
// the row does not apply to it. A row counted from the start needs bytes
// beyond its signature (offset + length < size, strictly).
bool rowPosition(const ArchiveSignature& row, uint64_t size, uint64_t& position) {
  const uint64_t length = row.signature.size();
  if (row.origin == ArchiveSignature::kFromEnd) {
    if (size < row.offset) return false;
    position = size - row.offset;
    return true;
  }
  if (length >= size || row.offset >= size - length) return false;
  position = row.offset;
  return true;
}

// ---- corrections -------------------------------------------------------------

ArchiveType correctZip(const InputFile& file, uint64_t fileSize) {
  auto has = [&](const char* name) { return ZipArchive::checkFileNameExistInZip(file, fileSize, std::string(name)); };
  // Both spellings of the manifest occur in real archives; the lookup is
  // case-sensitive, so each is asked for.
  if (has("META-INF/manifest.mf") || has("META-INF/MANIFEST.MF")) {
    if (has("AndroidManifest.xml")) return ArchiveType::Apk;
    if (has("manifest.json") || has("install.rdf")) return ArchiveType::Xpi;
    return ArchiveType::Jar;
  }
  if ((has("META-INF/metadata.xml") && has("META-INF/textinfo.xml")) ||
      (has("metadata/metadata.xml") && has("metadata/textinfo.xml")))
    return ArchiveType::Cdr;
  return ArchiveType::Zip;
}

ArchiveType correctBootImage(const InputFile& file, uint64_t fileSize) {
  uint8_t mark[2] = {};
  file.readAt(510, mark, 2);
  // A lone boot sector: BOOTMGR's message inside an MBR-sized file.
  return loadU16LE(mark) == 0xAA55 && fileSize <= 512 ? ArchiveType::None : ArchiveType::BootImage;
}

// An Apple disk image is a bzip2 or zlib stream with a 512-byte "koly"
// trailer.
ArchiveType correctCompressedStream(const InputFile& file, uint64_t fileSize, ArchiveType type) {
  if (fileSize < 513) return type;
  uint8_t trailer[4] = {};
  if (file.readExact(fileSize - 512, trailer, 4) && std::memcmp(trailer, "koly", 4) == 0) return ArchiveType::Dmg;
  return type;
}

ArchiveType correctMbr(const InputFile& file, uint64_t fileSize) {
  ArchiveType type = ArchiveType::Mbr;
  uint8_t bootIndicator = 0xFF;
  file.readAt(446, &bootIndicator, 1);
  if (bootIndicator != 0x00 && bootIndicator != 0x80) type = ArchiveType::None;
  // A hybrid CD image starts with an MBR; its ISO 9660 volume descriptors
  // decide, whatever the partition entry says.
  for (uint64_t offset : {32769u, 34817u, 36865u}) {
    if (fileSize <= offset + 5) break;
    uint8_t id[5] = {};
    if (file.readExact(offset, id, 5) && std::memcmp(id, "CD001", 5) == 0) {
      type = ArchiveType::Iso;
      break;
    }
  }
  return type;
}

// A raw CD image of 2352-byte sectors: every sector starts with the sync
// pattern and a mode byte of 0, 1 or 2 (mode 1 with its 8 reserved bytes
// zero). Only the headers are read, never the sectors' data.
ArchiveType correctRawCd(const InputFile& file, uint64_t fileSize) {
  constexpr uint64_t kSector = 2352;
  constexpr std::size_t kHeader = 16;
  constexpr uint64_t kMode1ReservedAt = 2068;
  if (fileSize % kSector != 0) return ArchiveType::None;
  const uint64_t sectors = fileSize / kSector;
  if (sectors > limits::kRawCdMaxSectors) return ArchiveType::None;
  for (uint64_t k = 0; k < sectors; ++k) {
    uint8_t h[kHeader] = {};
    if (!file.readExact(k * kSector, h, kHeader)) return ArchiveType::None;
    if (h[0] != 0x00 || !ByteUtils::compareArrayValue(h + 1, 10, 0xFF) || h[11] != 0x00) return ArchiveType::None;
    const uint8_t mode = h[15];
    if (mode == 1) {
      uint8_t reserved[8] = {};
      if (!file.readExact(k * kSector + kMode1ReservedAt, reserved, 8) || !ByteUtils::compareArrayValue(reserved, 8, 0))
        return ArchiveType::None;
    } else if (mode != 0 && mode != 2) {
      return ArchiveType::None;
    }
  }
  return ArchiveType::RawCd;
}

}  // namespace

ArchiveSignature::ArchiveSignature(const std::string& hexBytes, uint32_t offset_, ArchiveType type_, int origin_)
    : offset(offset_), type(type_), origin(origin_) {
  std::string text = hexBytes;
  for (char& c : text)
    if (c == ',') c = ' ';
  std::istringstream tokens(text);
  std::string token;
  while (tokens >> token) {
    char* end = nullptr;
    unsigned long value = std::strtoul(token.c_str(), &end, 16);
    if (end == token.c_str() || *end != '\0' || value > 0xFF) continue;
    signature.push_back(static_cast<uint8_t>(value));
  }
}

const std::vector<ArchiveSignature>& GetArchiveSignatures() { return sSignatures; }
const std::map<std::string, ArchiveType>& GetArchiveFileTypeMap() { return fileTypeMap; }

void ArchiveFTAUtils::init() {
  sSignatures.clear();
  fileTypeMap.clear();
  for (const ArchiveSignatureRow& row : kArchiveSignatureRows)
    sSignatures.emplace_back(row.hexBytes, row.offset, row.type, row.origin);
  for (const auto& [id, type] : kArchiveFileTypeRows) fileTypeMap.emplace(id, type);
}

ArchiveType ArchiveFTAUtils::isArchive(const std::string& path, unsigned long fileSize) {
  InputFile file(path);
  return isArchive(file, fileSize);
}

ArchiveType ArchiveFTAUtils::isArchive(const InputFile& file, unsigned long fileSize) {
  if (!file.isOpen()) return ArchiveType::None;
  const long long size = static_cast<long long>(fileSize);
  ArchiveType type = postHandlingArchive(file, size, checkArchiveMagicNumber(file, size));
  if (type == ArchiveType::None && TarArchive().isTAR(file, fileSize)) type = ArchiveType::Tar;
  return type;
}

ArchiveType ArchiveFTAUtils::checkArchiveMagicNumber(const InputFile& file, const long long& fileSize) {
  if (fileSize <= 0) return ArchiveType::None;
  const uint64_t size = static_cast<uint64_t>(fileSize);
  uint8_t window[kWindowLen];
  bool haveWindow = false;
  uint64_t windowAt = 0;
  for (const ArchiveSignature& row : sSignatures) {
    uint64_t position = 0;
    if (!rowPosition(row, size, position)) continue;
    // Rows sharing an offset share one read.
    if (!haveWindow || position != windowAt) {
      std::memset(window, 0, sizeof window);
      file.readAt(position, window, sizeof window);
      haveWindow = true;
      windowAt = position;
    }
    if (std::memcmp(window, row.signature.data(), row.signature.size()) == 0) return row.type;
  }
  return ArchiveType::None;
}

ArchiveType ArchiveFTAUtils::checkArchiveSignBytes(const unsigned char* buffer, const unsigned long& size) {
  if (buffer == nullptr) return ArchiveType::None;
  for (const ArchiveSignature& row : sSignatures) {
    uint64_t position = 0;
    if (!rowPosition(row, size, position)) continue;
    if (!inBounds(size, position, row.signature.size())) continue;
    if (std::memcmp(buffer + position, row.signature.data(), row.signature.size()) == 0) return row.type;
  }
  return ArchiveType::None;
}

ArchiveType ArchiveFTAUtils::postHandlingArchive(const InputFile& file, const long long& fileSize, ArchiveType type) {
  const uint64_t size = fileSize > 0 ? static_cast<uint64_t>(fileSize) : 0;
  switch (type) {
    case ArchiveType::Zip:
      return correctZip(file, size);
    case ArchiveType::Rar: {
      bool volume = false;
      RARHeaderParser parser(&file);
      return parser.parseRARHeader(volume) && volume ? ArchiveType::RarVolume : ArchiveType::Rar;
    }
    case ArchiveType::BootImage:
      return correctBootImage(file, size);
    case ArchiveType::Bzip2:
    case ArchiveType::Zlib:
      return correctCompressedStream(file, size, type);
    case ArchiveType::Mbr:
      return correctMbr(file, size);
    case ArchiveType::RawCd:
      return correctRawCd(file, size);
    case ArchiveType::PeCandidate:
      return checkIsSfxArchive(file, fileSize) || checkPErsrc(file, fileSize) ? ArchiveType::ExeSfx
                                                                              : ArchiveType::None;
    case ArchiveType::Sar:
      return SARArchive().isSAR(file, size) ? ArchiveType::Sar : ArchiveType::None;
    case ArchiveType::PimCandidate:
    case ArchiveType::Pim2Candidate:
      return PIMArchive::isPIM(file, size, type) ? ArchiveType::Pim : ArchiveType::None;
    default:
      return type;
  }
}

void ArchiveFTAUtils::adjustArchiveTypes(ArchiveType type, std::string& typeId, std::string& mime,
                                         std::string& extensions, std::string& description) {
  const std::size_t index = static_cast<std::size_t>(type);
  const ArchiveRecordRow& row = index < kArchiveRecordRows.size() ? kArchiveRecordRows[index] : kArchiveRecordRows[0];
  typeId = row.typeId;
  mime = row.mime;
  extensions = row.extensions;
  description = describe(typeId);
}

bool ArchiveFTAUtils::isArchiveFileType(const std::string& typeId) { return fileTypeMap.count(typeId) != 0; }

bool ArchiveFTAUtils::isSplitExtension(const std::string& extension) {
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  std::size_t i = 0;
  while (i < extension.size() && !isDigit(extension[i])) ++i;
  if (i == extension.size()) return false;
  for (; i < extension.size(); ++i)
    if (isLetter(extension[i])) return false;
  return true;
}

bool ArchiveFTAUtils::ignoreDetectionFiletype(const std::string& path, unsigned long fileSize) {
  if (fileSize <= 512) return false;
  InputFile file(path);
  return ignoreDetectionFiletype(file, fileSize);
}

bool ArchiveFTAUtils::ignoreDetectionFiletype(const InputFile& file, unsigned long fileSize) {
  static constexpr char kMarker[] = "!NOT MSG FILE!";
  constexpr std::size_t kMarkerLen = sizeof kMarker - 1;
  if (fileSize <= 512) return false;
  if (!file.isOpen()) return false;
  uint8_t head[4] = {};
  if (!file.readExact(0, head, 4)) return false;
  const uint32_t magic = loadU32LE(head);
  // Compound files (both the final and the beta signature) and gzip.
  if (magic != 0xE011CFD0u && magic != 0xE11AB1A1u && (magic & 0xFFFF) != 0x8B1F) return false;
  uint8_t tail[kMarkerLen] = {};
  return file.readExact(fileSize - kMarkerLen, tail, kMarkerLen) && std::memcmp(tail, kMarker, kMarkerLen) == 0;
}

}  // namespace kpl
