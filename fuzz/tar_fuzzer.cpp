// The small structure probes: tar headers, SAP and PIM archives, and the
// split-piece probes, on arbitrary bytes.
#include <cstdint>
#include <vector>

#include "archive/archive_fta_utils.h"
#include "archive/pim_archive.h"
#include "archive/sap_archive.h"
#include "archive/tar_archive.h"
#include "common/byte_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::InputFile file = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  const unsigned long fileSize = static_cast<unsigned long>(file.size());
  kpl::TarArchive().isTAR(file, fileSize);
  kpl::SARArchive().isSAR(file, fileSize);
  kpl::PIMArchive::isPIM(file, fileSize, kpl::ArchiveType::PimCandidate);
  kpl::PIMArchive::isPIM(file, fileSize, kpl::ArchiveType::Pim2Candidate);
  for (const auto& [id, probe] : kpl::ArchiveFTAUtils::splitFuntionHandler) probe(file, file.size());
  return 0;
}
