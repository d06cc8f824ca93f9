// The package steps of the scan chain: OpenDocument, and Office Open XML and
// XPS packages. Both come before the archive step, which would call them ZIP.
#include "archive/zip_member_reader.h"
#include "detect/package_chain_steps.h"
#include "detect/package_probes.h"
#include "office/ooxml_package.h"

namespace kpl {

bool chainStepOpenDocument(const ScanInput& input, DetectionRecord& record) {
  if (!isOpenOfficeDocument(input)) return false;
  ZipMemberReader package(input);
  adjustOpenDocumentTypes(determineOpenOfficeDocument(package), record.typeId, record.mime, record.extensions,
                          record.description, record.encrypted);
  return true;
}

bool chainStepOfficeOpenXml(const ScanInput& input, DetectionRecord& record) {
  if (isMSOffice2007Document(input) != 1) return false;
  ZipMemberReader package(input);
  MSOffice2007::adjustMsOfficeTypes(classifyOfficeFileType(package), record.typeId, record.mime,
                                    record.extensions, record.description, record.encrypted);
  return true;
}

}  // namespace kpl
