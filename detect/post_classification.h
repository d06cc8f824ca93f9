// Corrections to the record the libmagic mapping table built: encrypted
// Office packages in compound files, HTML the text step rejected, the
// members of the MP4 family told apart by brand, disc images and a few
// libmagic answers that are too coarse. Each small probe below also has a
// form over bytes already read, so it can be exercised without a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/byte_reader.h"
#include "common/scan_input.h"

namespace kpl {

enum ClosingTagKind : unsigned int { ClosingTagNone = 0, ClosingTagSVG = 1, ClosingTagRDF = 2, ClosingTagHTML = 3 };

// Media container kinds of determineMediaContainerType (3 and 7 are never
// produced; they share the records of 12 and 4).
enum MediaContainerKind : unsigned char {
  MediaNone = 0,
  Media3GP = 1,
  Media3G2 = 2,
  MediaMPEGStream = 3,
  MediaM4A = 4,
  MediaM4B = 5,
  MediaM4P = 6,
  MediaM4AOther = 7,
  MediaM4V = 8,
  MediaQuickTime = 9,
  MediaMP4 = 10,
  MediaVideoCD = 11,
  MediaMPEGSystem = 12,
};

// Rewrites the record in place; the first rule that applies ends it. May
// throw only for an identifier missing from the catalogue (none is).
// The scan's own input is read; the path form opens the file for itself.
void adjustFileTypeDetection(const ScanInput& input, unsigned long fileSize, std::string& typeId, std::string& mime,
                             std::string& extensions, std::string& description, bool& encrypted);
void adjustFileTypeDetection(std::string path, unsigned long fileSize, std::string& typeId, std::string& mime,
                             std::string& extensions, std::string& description, bool& encrypted);

// A closing svg, RDF or html tag within the last 20 bytes.
unsigned int detemineSVGorRDForHTML(const std::string& path, unsigned long fileSize);
unsigned int detemineSVGorRDForHTML(const InputFile& file, uint64_t fileSize);
unsigned int closingTagKind(const unsigned char* tail, std::size_t size);

// Kind of an MPEG stream, VideoCD RIFF file or ISO media file by its first
// 12 bytes.
unsigned char determineMediaContainerType(const std::string& path);
unsigned char determineMediaContainerType(const InputFile& file);
unsigned char mediaContainerKind(const unsigned char* head, std::size_t size);

// "META-INF/" within the first 200 bytes.
bool isJAR(const std::string& path, unsigned long fileSize);
bool isJAR(const InputFile& file, uint64_t fileSize);
// An ISO 9660 volume descriptor at any of its three usual offsets.
bool isISO(const std::string& path);
bool isISO(const InputFile& file);
// A "koly" trailer, version 4 header size 512, in the last 512 bytes.
bool isDMG(const std::string& path, unsigned long fileSize);
bool isDMG(const InputFile& file, uint64_t fileSize);
bool isDMGTrailer(const unsigned char* tail, std::size_t size);
// An ATR header whose 16-bit paragraph count matches the file size.
bool isATR(const std::string& path, unsigned long fileSize);
bool isATR(const InputFile& file, uint64_t fileSize);
bool isATRHeader(const unsigned char* head, std::size_t size, uint64_t fileSize);

// The record of a media container kind (post_classification_table.cpp);
// null for kind 0 and kinds above 12.
struct MediaContainerRecord {
  const char* typeId;
  const char* mime;
  const char* extensions;
};
const MediaContainerRecord* mediaContainerRecord(unsigned char kind);

// ISO media brands (the 4 bytes at offset 8 after "ftyp") and their kinds.
struct MediaBrand {
  char brand[4];
  unsigned char kind;
};
extern const MediaBrand kMediaBrands[];
extern const std::size_t kMediaBrandCount;

}  // namespace kpl
