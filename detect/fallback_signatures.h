// Fixed bytes at fixed offsets: the fallback that names compound documents
// whose first sector libmagic could not place, the ISO 9660 volume
// signature, and the small byte probes the other detection probes share.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/byte_reader.h"

namespace kpl {

struct FileSignature {
  std::vector<uint8_t> bytes;
  uint32_t offset = 0;
  std::string typeId;
  std::string mime;
  std::string description;
  std::string extensions;
  uint64_t reserved = 0;  // 0 in every signature; not read

  // The pattern text is a list of hexadecimal byte values ("0xD0 0xCF",
  // commas allowed as separators). A token that is not a hexadecimal
  // number of at most 16 bits is skipped without trace; of one that is,
  // the low 8 bits are kept.
  FileSignature(std::string pattern, uint32_t offset, std::string typeId, std::string mime, std::string description,
                std::string extensions, uint64_t reserved);
};

// Group name -> signatures; the first signature of a group is its gate.
extern std::map<std::string, std::vector<FileSignature>> fallBackSignatures;
extern std::vector<FileSignature> isoSignatures;

// Called by init once the catalogue exists. Each call rebuilds its table.
void initFallBackSignatures();
void initISOVecSignatures();

// Note the order: description before extensions. 1 when a signature
// matched and the four strings were replaced, else 0.
int findMagicSignatureFallback(const std::string& path, unsigned long fileSize, std::string& typeId,
                               std::string& mime, std::string& description, std::string& extensions);
int findMagicSignatureFallback(const InputFile& file, unsigned long fileSize, std::string& typeId,
                               std::string& mime, std::string& description, std::string& extensions);

// 1 when the file holds exactly `pattern` at `offset`, 0 when not (also
// when the pattern would run past the end), 100 when length exceeds 50.
unsigned int checkBytesMatch(const InputFile& file, const unsigned char* pattern, unsigned int length,
                             unsigned int offset);
// 1 when pattern occurs anywhere in the first dataLength bytes of data.
unsigned int checkBytesMatchWithoutStaticOffset(const unsigned char* data, int dataLength,
                                                const unsigned char* pattern, int patternLength);
// Reads min(count, fileSize) bytes from the start of the file, or the last
// that many. True when the file could not be opened. A short read is not
// reported: callers clear their buffers beforehand.
bool readArbitraryBytesOfFile(const std::string& path, long fileSize, unsigned long count, unsigned char* buffer,
                              bool atStart);
bool readArbitraryBytesOfFile(const InputFile& file, long fileSize, unsigned long count, unsigned char* buffer,
                              bool atStart);

// Two lower-case hexadecimal digits per byte, first to last / last to first.
std::string convertHexaBytesToStringWithBigEndian(const unsigned char* data, int length);
std::string convertHexaBytesToStringWithLittleEndian(const unsigned char* data, int length);

// The signature rows (fallback_signatures_table.cpp). A null description
// means the catalogue's description of the type identifier.
struct FallbackSignatureRow {
  const char* pattern;
  uint32_t offset;
  const char* typeId;
  const char* mime;
  const char* extensions;
  const char* description;
};
extern const char* const kMsOfficeGroup;
extern const FallbackSignatureRow kMsOfficeSignatureRows[];
extern const std::size_t kMsOfficeSignatureRowCount;
extern const char* const kIsoSignaturePattern;
extern const uint32_t kIsoSignatureOffsets[];
extern const std::size_t kIsoSignatureOffsetCount;

}  // namespace kpl
