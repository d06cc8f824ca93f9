// The ZIP central directory, read straight from the file (PKWARE APPNOTE:
// local file header, central directory file header, end-of-central-
// directory record; all little-endian). ZIP64 records, data descriptors and
// multi-disk fields are not consulted, so positions are 32-bit.
//
// Real files to keep in mind: self-extractors put an executable stub in
// front of the ZIP data (only the search from the end finds them), archives
// written to a pipe carry data descriptors with zero sizes in the local
// headers (only the search from the end finds them either), and a comment of
// up to 65,535 bytes may follow the end record.
#include "archive/zip_archive.h"
#include "common/byte_reader.h"

namespace kpl {

ZipArchive::LocalFileHeader ZipArchive::LocalFileHeader::decode(const uint8_t* p) {
  LocalFileHeader h;
  h.signature = loadU32LE(p);
  h.versionNeeded = loadU16LE(p + 4);
  h.flags = loadU16LE(p + 6);
  h.compression = loadU16LE(p + 8);
  h.modTime = loadU16LE(p + 10);
  h.modDate = loadU16LE(p + 12);
  h.crc32 = loadU32LE(p + 14);
  h.compressedSize = loadU32LE(p + 18);
  h.uncompressedSize = loadU32LE(p + 22);
  h.fileNameLength = loadU16LE(p + 26);
  h.extraFieldLength = loadU16LE(p + 28);
  return h;
}

ZipArchive::CentralDirFileHeader ZipArchive::CentralDirFileHeader::decode(const uint8_t* p) {
  CentralDirFileHeader h;
  h.signature = loadU32LE(p);
  h.versionMadeBy = loadU16LE(p + 4);
  h.versionNeeded = loadU16LE(p + 6);
  h.flags = loadU16LE(p + 8);
  h.compression = loadU16LE(p + 10);
  h.modTime = loadU16LE(p + 12);
  h.modDate = loadU16LE(p + 14);
  h.crc32 = loadU32LE(p + 16);
  h.compressedSize = loadU32LE(p + 20);
  h.uncompressedSize = loadU32LE(p + 24);
  h.fileNameLength = loadU16LE(p + 28);
  h.extraFieldLength = loadU16LE(p + 30);
  h.fileCommentLength = loadU16LE(p + 32);
  h.diskNumberStart = loadU16LE(p + 34);
  h.internalAttributes = loadU16LE(p + 36);
  h.externalAttributes = loadU32LE(p + 38);
  h.localHeaderOffset = loadU32LE(p + 42);
  return h;
}

// The directory itself is read once per input by its ZIP index; these keep
// the by-file interface the archive probes were written against.
int64_t ZipArchive::findEndCentralDirFromBot(const InputFile& file, uint64_t) {
  return file.zip().endRecordFromBottom();
}

int64_t ZipArchive::findEndCentralDirFromTop(const InputFile& file, uint64_t) { return findZipEndRecordFromTop(file); }

bool ZipArchive::checkFileNameExistInZip(const InputFile& file, uint64_t, const char* name, uint16_t nameLength) {
  return file.zip().contains(std::string_view(name, nameLength));
}

bool ZipArchive::checkFileNameExistInZip(const InputFile& file, uint64_t fileSize, const std::string& name) {
  if (name.size() > UINT16_MAX) return false;
  return checkFileNameExistInZip(file, fileSize, name.data(), static_cast<uint16_t>(name.size()));
}

}  // namespace kpl
