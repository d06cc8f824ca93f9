// Data of the package probes (package_probes_table.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "detect/package_probes.h"

namespace kpl {

extern const uint8_t officeZipHeader[8];
extern const uint8_t openDocumentZipHeader[7];

extern const std::string xpsFixedDocumentSequence;
extern const std::string xpsFixedDocument;
extern const std::string xpsSchema;
extern const std::string openXpsSchema;

struct OpenDocumentManifestRow {
  const char* mime;
  OpenDocumentKind plain;
  OpenDocumentKind encrypted;
};
extern const std::vector<OpenDocumentManifestRow> openDocumentManifestRows;

struct OpenDocumentRecordRow {
  OpenDocumentKind kind;
  const char* typeId;
  const char* mime;
  const char* extensions;
  bool encrypted;  // sets the flag; false leaves it alone
};
extern const std::vector<OpenDocumentRecordRow> openDocumentRecordRows;

}  // namespace kpl
