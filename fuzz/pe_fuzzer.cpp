// PE images: the section lookup, the resource tree walk and the
// self-extractor checks, on arbitrary bytes.
#include <cstdint>
#include <vector>

#include "archive/archive_fta_utils.h"
#include "archive/pe_file_parser.h"
#include "common/byte_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile file = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  const long long fileSize = static_cast<long long>(file.size());
  kpl::PEFileParser parser(file, file.size());
  kpl::PEFileParser::SectionTable section;
  parser.getSectionInformation(".text", section);
  parser.getListResourceObjects();
  kpl::ArchiveFTAUtils::checkIsSfxArchive(file, fileSize);
  kpl::ArchiveFTAUtils::checkPErsrc(file, fileSize);
  return 0;
}
