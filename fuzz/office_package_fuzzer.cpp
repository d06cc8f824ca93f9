// Package classification on arbitrary bytes: both candidate tests, then the
// OpenDocument and Office Open XML classifiers with members read in-process
// (an input held in memory has no path, so no 7za fallback).
#include <cstdint>
#include <vector>

#include "archive/zip_member_reader.h"
#include "common/scan_input.h"
#include "detect/package_probes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kpl::ScanInput file = kpl::ScanInput::fromBytes(std::vector<uint8_t>(data, data + size));
  kpl::isOpenOfficeDocument(file);
  kpl::isMSOffice2007Document(file);
  kpl::ZipMemberReader odf(file);
  kpl::determineOpenOfficeDocument(odf);
  kpl::ZipMemberReader ooxml(file);
  kpl::classifyOfficeFileType(ooxml);
  return 0;
}
