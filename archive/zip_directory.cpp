// Member lookups on a ZIP package, answered from the input's ZIP index
// (common/zip_index.h), which reads and decodes the directory once.
//
// Real files to keep in mind: self-extractors put an executable stub in
// front of the ZIP data (only the search from the end finds them), archives
// written to a pipe carry data descriptors with zero sizes in the local
// headers (only the search from the end finds them either), and a comment of
// up to 65,535 bytes may follow the end record.
#include "archive/zip_archive.h"
#include "common/byte_reader.h"

namespace kpl {

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
