// Archives, compressed streams, disk images and self-extracting executables:
// a table of byte signatures gives a first answer, and format checks confirm
// or correct it (ZIP member names, RAR volume flags, PE overlays and
// resources, raw CD sectors, ...).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kpl {

class InputFile;

// What a file is, as far as archives go. 0 means not an archive; 38, 43 and
// 44 are candidates that the correction step always resolves.
enum class ArchiveType : uint8_t {
  None = 0,
  Zip = 1,
  PkliteExe = 2,
  SevenZip = 3,
  WinZipSfx = 4,
  Jar = 5,
  Jarcs = 6,
  Rar = 7,
  Tar = 8,
  Compress = 9,
  Iso = 10,
  Udf = 11,
  BootImage = 12,
  Gzip = 13,
  Cab = 14,
  Arc = 15,
  Arj = 16,
  Lha = 17,
  Lzh = 18,
  Rpm = 19,
  Deb = 20,
  Lzma = 21,
  Wim = 22,
  Xz = 23,
  Cpio = 24,
  Chm = 25,
  Apk = 26,
  Xar = 27,
  Xpi = 28,
  Cdr = 29,
  Dmg = 30,
  Bzip2 = 31,
  Mbr = 32,
  Hfs = 33,
  Zlib = 34,
  Vdi = 35,
  Vhd = 36,
  RawCd = 37,
  PeCandidate = 38,
  ExeSfx = 39,
  Sar = 40,
  RarVolume = 41,
  Pim = 42,
  PimCandidate = 43,
  Pim2Candidate = 44,
};

// One row of the signature table.
struct ArchiveSignature {
  static constexpr int kFromStart = 0;  // the offset counts from the start
  static constexpr int kFromEnd = 2;    // ... from the end of the file

  // hexBytes: byte values separated by commas and/or spaces, with or without
  // a 0x prefix ("0x50, 0x4B, 0x03, 0x04"); tokens that do not parse as one
  // hexadecimal byte are skipped.
  ArchiveSignature(const std::string& hexBytes, uint32_t offset, ArchiveType type, int origin = kFromStart);

  std::vector<uint8_t> signature;
  uint32_t offset = 0;
  ArchiveType type = ArchiveType::None;
  int origin = kFromStart;
};

// The row texts init builds the signature table from, in the order that
// decides (the first match wins), and the identifier map.
struct ArchiveSignatureRow {
  const char* hexBytes;
  uint32_t offset;
  ArchiveType type;
  int origin;
};
extern const std::vector<ArchiveSignatureRow> kArchiveSignatureRows;
extern const std::vector<std::pair<const char*, ArchiveType>> kArchiveFileTypeRows;

// What adjustArchiveTypes writes for each ArchiveType (indexed by value).
struct ArchiveRecordRow {
  ArchiveType type;
  const char* typeId;
  const char* mime;
  const char* extensions;
};
extern const std::vector<ArchiveRecordRow> kArchiveRecordRows;

// The tables init fills; empty before init, read-only after.
const std::vector<ArchiveSignature>& GetArchiveSignatures();
const std::map<std::string, ArchiveType>& GetArchiveFileTypeMap();

class ArchiveFTAUtils {
 public:
  // A split probe: true when the file is only a piece of a larger archive.
  using SplitProbe = bool (*)(const InputFile& file, const uint64_t& fileSize);

  // "ZIP", "TAR", "XZ", "7Z", "GZ" -> their split probe.
  static const std::map<std::string, SplitProbe> splitFuntionHandler;
  // "ZIP" and "TAR" -> the MIME type of their split pieces.
  static const std::map<std::string, std::string> splitMimeType;

  // Fills the signature table and the identifier map. Called by the
  // engine's init; calling it again refills rather than duplicates.
  static void init();

  // The archive type of the file at path (None when not an archive or the
  // file cannot be opened): the signature table, its correction, and last a
  // tar header without the ustar magic.
  static ArchiveType isArchive(const std::string& path, unsigned long fileSize);
  static ArchiveType isArchive(const InputFile& file, unsigned long fileSize);

  // The type of the first signature row matching the file, or None.
  static ArchiveType checkArchiveMagicNumber(const InputFile& file, const long long& fileSize);
  // The same over bytes in memory.
  static ArchiveType checkArchiveSignBytes(const unsigned char* buffer, const unsigned long& size);
  // Confirms or corrects a first answer with format checks.
  static ArchiveType postHandlingArchive(const InputFile& file, const long long& fileSize, ArchiveType type);

  // Overwrites the record's fields for the type (the "data" record for
  // None and for the candidate values).
  static void adjustArchiveTypes(ArchiveType type, std::string& typeId, std::string& mime, std::string& extensions,
                                 std::string& description);

  // Whether typeId is a key of the identifier map.
  static bool isArchiveFileType(const std::string& typeId);
  // Whether an extension names a split piece: it holds a digit and no
  // letter after its first digit ("001", "r01", "z02"; not "7z", not "").
  static bool isSplitExtension(const std::string& extension);
  // Files marked to be left unidentified: larger than 512 bytes, starting
  // like a compound file or gzip, ending in "!NOT MSG FILE!".
  static bool ignoreDetectionFiletype(const std::string& path, unsigned long fileSize);
  static bool ignoreDetectionFiletype(const InputFile& file, unsigned long fileSize);

  // Self-extracting executables: an archive appended after the last PE
  // section (tried as RAR, 7-Zip, ZIP), or a raw-data resource holding a
  // cabinet.
  static bool checkIsSfxArchive(const InputFile& file, const long long& fileSize);
  static bool isWinRarSfx(const InputFile& file, uint32_t overlayStart, const long long& fileSize);
  static bool is7zSfx(const InputFile& file, uint32_t overlayStart, const long long& fileSize);
  static bool isZipSfx(const InputFile& file, uint32_t overlayStart, const long long& fileSize);
  static bool checkPErsrc(const InputFile& file, const long long& fileSize);

  // Split probes (true = an incomplete piece).
  static bool isSplitZip(const InputFile& file, const uint64_t& fileSize);
  static bool isSplitTar(const InputFile& file, const uint64_t& fileSize);
  static bool isSplitXZ(const InputFile& file, const uint64_t& fileSize);
  static bool isSplit7z(const InputFile& file, const uint64_t& fileSize);
  static bool isSplitGZ(const InputFile& file, const uint64_t& fileSize);
};

}  // namespace kpl
