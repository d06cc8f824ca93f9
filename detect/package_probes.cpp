#include "detect/package_probes.h"

#include <cstring>

#include "archive/zip_member_reader.h"
#include "catalogue/file_type_catalogue.h"
#include "common/common_utils.h"
#include "common/scan_input.h"
#include "common/zip_index.h"
#include "detect/package_probes_table.h"

namespace kpl {

namespace {

constexpr auto contains = CommonUtils::contains;

// The same text as UTF-16LE, as XPS writers may store a part.
std::string utf16le(const std::string& text) {
  std::string wide;
  for (char c : text) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

}  // namespace

// ---- Office Open XML and XPS ------------------------------------------------

int isMSOffice2007Document(const InputFile& file) {
  if (!file.isOpen()) return 3;
  if (file.size() <= 7) return 0;
  uint8_t head[8];
  if (!file.readExact(0, head, sizeof head)) return 0;
  if (std::memcmp(head, officeZipHeader, sizeof head) == 0) return 1;
  // Any other writer's package: a ZIP with both parts every package has.
  if (std::memcmp(head, officeZipHeader, 4) != 0) return 0;
  return file.zip().contains(contentTypesXml) && file.zip().contains(mainRel) ? 1 : 0;
}

int isMSOffice2007Document(const std::string& path, unsigned long fileSize) {
  if (fileSize <= 7) return 0;
  return isMSOffice2007Document(ScanInput(path));
}

bool isEncryptedOfficeType(ZipMemberReader& package, const std::string& memberName) {
  return package.contains(memberName) && package.isEncrypted(memberName);
}

unsigned char determineXPSFamilyType(ZipMemberReader& package) {
  const ZipMemberOutput* contentTypes = package.read(contentTypesXml);
  if (contentTypes == nullptr) return 0;
  if (!contains(contentTypes->bytes, xpsFixedDocumentSequence) || !contains(contentTypes->bytes, xpsFixedDocument))
    return 0;
  ZipMemberOutput sequences;
  package.readEndingWith(".fdseq", sequences);
  static const std::string xpsWide = utf16le(xpsSchema), openXpsWide = utf16le(openXpsSchema);
  unsigned char kind = 0;
  if (contains(sequences.bytes, xpsSchema) || contains(sequences.bytes, xpsWide)) kind = MSO_XPS;
  // A sequence naming both families is OpenXPS.
  if (contains(sequences.bytes, openXpsSchema) || contains(sequences.bytes, openXpsWide)) kind = MSO_OXPS;
  return kind;
}

unsigned char determineXPSFamilyType(const std::string& path) {
  const ScanInput input(path);
  ZipMemberReader package(input);
  return determineXPSFamilyType(package);
}

MsOfficeTypes classifyOfficeFileType(ZipMemberReader& package) {
  if (!package.file().isOpen()) return MSO_ZIP;
  try {
    if (isEncryptedOfficeType(package, contentTypesXml)) return MSO_ZIP_ENCRYPTED;
    const MsOfficeTypes type = MSOffice2007::checkOfficeType(package);
    if (type != MSO_ZIP) return type;
    // A binary workbook's main part is named only by its relationships,
    // which some writers leave out; the part name is enough.
    if (package.contains("xl/workbook.bin")) return MSO_XLSB;
    if (package.contains(contentTypesXml)) return static_cast<MsOfficeTypes>(determineXPSFamilyType(package));
  } catch (const std::exception&) {
    // allocation failure on a huge part: not recognised
  }
  return MSO_ZIP;
}

MsOfficeTypes classifyOfficeFileType(std::string path, unsigned long /*fileSize*/) {
  const ScanInput input(path);
  ZipMemberReader package(input);
  return classifyOfficeFileType(package);
}

// ---- OpenDocument ---------------------------------------------------------------

bool isOpenOfficeDocument(const InputFile& file) {
  if (!file.isOpen() || file.size() <= 6) return false;
  uint8_t head[7];
  if (!file.readExact(0, head, sizeof head)) return false;
  std::size_t matching = 0;
  while (matching < sizeof head && head[matching] == openDocumentZipHeader[matching]) ++matching;
  if (matching <= 3) return false;
  return file.zip().contains(METAINFManifestXml);
}

bool isOpenOfficeDocument(std::string path, unsigned long fileSize) {
  if (fileSize <= 6) return false;
  return isOpenOfficeDocument(ScanInput(path));
}

unsigned char determineOpenOfficeDocument(ZipMemberReader& package) {
  try {
    if (isEncryptedOfficeType(package, METAINFManifestXml)) return ODF_ZIP_ENCRYPTED;
    const ZipMemberOutput* manifest = package.read(METAINFManifestXml);
    if (manifest == nullptr) return ODF_UNKNOWN;
    // A package saved with a password lists how each part is encrypted.
    const bool encrypted = contains(manifest->bytes, "encryption-data");
    for (const OpenDocumentManifestRow& row : openDocumentManifestRows)
      if (contains(manifest->bytes, row.mime)) return encrypted ? row.encrypted : row.plain;
  } catch (const std::exception&) {
  }
  return ODF_UNKNOWN;
}

unsigned char determineOpenOfficeDocument(std::string path, unsigned long /*fileSize*/) {
  const ScanInput input(path);
  ZipMemberReader package(input);
  return determineOpenOfficeDocument(package);
}

void adjustOpenDocumentTypes(unsigned char kind, std::string& typeId, std::string& mime, std::string& extensions,
                             std::string& description, bool& encrypted) {
  const OpenDocumentRecordRow* row = &openDocumentRecordRows.front();
  for (const OpenDocumentRecordRow& candidate : openDocumentRecordRows)
    if (candidate.kind == kind) row = &candidate;
  typeId = row->typeId;
  mime = row->mime;
  extensions = row->extensions;
  description = describe(typeId);
  if (row->encrypted) encrypted = true;
}

}  // namespace kpl
