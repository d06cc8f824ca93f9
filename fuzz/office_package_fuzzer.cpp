// Package classification on arbitrary bytes: both candidate tests, then the
// OpenDocument and Office Open XML classifiers with members read in-process
// (no 7za fallback: the reader is given no path).
#include <cstdint>
#include <string>

#include "archive/zip_member_reader.h"
#include "common/byte_reader.h"
#include "detect/package_probes.h"
#include "fuzz_temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  kpl::InputFile file(input.path());
  kpl::isOpenOfficeDocument(file);
  kpl::isMSOffice2007Document(file);
  kpl::ZipMemberReader odf(file, std::string());
  kpl::determineOpenOfficeDocument(odf);
  kpl::ZipMemberReader ooxml(file, std::string());
  kpl::classifyOfficeFileType(ooxml);
  return 0;
}
