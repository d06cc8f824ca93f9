// Tables of the package probes: local header variants, XPS markers, the
// manifest's MIME types and what each OpenDocument kind writes.
#include "detect/package_probes_table.h"

namespace kpl {

const std::string METAINFManifestXml = "META-INF/manifest.xml";

// clang-format off
const uint8_t officeZipHeader[8]       = {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x06, 0x00};
const uint8_t openDocumentZipHeader[7] = {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x00};

const std::string xpsFixedDocumentSequence = "application/vnd.ms-package.xps-fixeddocumentsequence+xml";
const std::string xpsFixedDocument         = "application/vnd.ms-package.xps-fixeddocument+xml";
const std::string xpsSchema                = "schemas.microsoft.com/xps";
const std::string openXpsSchema            = "schemas.openxps.org/oxps";

// Searched in this order: "text-template" before "text", which it contains.
const std::vector<OpenDocumentManifestRow> openDocumentManifestRows = {
  // manifest MIME type                                  plain     with "encryption-data"
  { "application/vnd.oasis.opendocument.presentation",  ODF_ODP,  ODF_ODP_ENCRYPTED },
  { "application/vnd.oasis.opendocument.text-template", ODF_OTT,  ODF_OTT_ENCRYPTED },
  { "application/vnd.oasis.opendocument.text",          ODF_ODT,  ODF_ODT_ENCRYPTED },
  { "application/vnd.oasis.opendocument.spreadsheet",   ODF_ODS,  ODF_ODS_ENCRYPTED },
};

// The first row is what any other kind writes.
const std::vector<OpenDocumentRecordRow> openDocumentRecordRows = {
  // kind               type id            MIME type                                           extensions         encrypted
  { ODF_UNKNOWN,       "ODT/ODS/ODP/OTT", "application/vnd.oasis.opendocument",               "odt,ods,odp,ott", false },
  { ODF_ODT,           "ODT",             "application/vnd.oasis.opendocument.text",          "odt",             false },
  { ODF_OTT,           "OTT",             "application/vnd.oasis.opendocument.text-template", "ott",             false },
  { ODF_ODP,           "ODP",             "application/vnd.oasis.opendocument.presentation",  "odp",             false },
  { ODF_ODS,           "ODS",             "application/vnd.oasis.opendocument.spreadsheet",   "ods",             false },
  { ODF_ODT_ENCRYPTED, "ODT-ENCRYPTED",   "application/vnd.oasis.opendocument.text",          "odt",             true },
  { ODF_OTT_ENCRYPTED, "OTT-ENCRYPTED",   "application/vnd.oasis.opendocument.text-template", "ott",             true },
  { ODF_ODP_ENCRYPTED, "ODP-ENCRYPTED",   "application/vnd.oasis.opendocument.presentation",  "odp",             true },
  { ODF_ODS_ENCRYPTED, "ODS-ENCRYPTED",   "application/vnd.oasis.opendocument.spreadsheet",   "ods",             true },
  { ODF_ZIP_ENCRYPTED, "ZIP-ENCRYPTED",   "application/zip",                                  "zip,zipx",        true },
};
// clang-format on

}  // namespace kpl
