// Chain steps 3 and 4: OpenDocument, then Office Open XML and XPS packages.
// Both come before the archive step, which would call them ZIP.
#include "archive/zip_member_reader.h"
#include "common/byte_reader.h"
#include "detect/package_probes.h"
#include "engine/scan_chain.h"
#include "office/ooxml_package.h"

namespace kpl {

bool chainStepOpenDocument(const std::string& path, uint64_t /*size*/, DetectionRecord& record) {
  InputFile file(path);
  if (!isOpenOfficeDocument(file)) return false;
  ZipMemberReader package(file, path);
  adjustOpenDocumentTypes(determineOpenOfficeDocument(package), record.typeId, record.mime, record.extensions,
                          record.description, record.encrypted);
  return true;
}

bool chainStepOfficeOpenXml(const std::string& path, uint64_t /*size*/, DetectionRecord& record) {
  InputFile file(path);
  if (isMSOffice2007Document(file) != 1) return false;
  ZipMemberReader package(file, path);
  MSOffice2007::adjustMsOfficeTypes(classifyOfficeFileType(package), record.typeId, record.mime,
                                    record.extensions, record.description, record.encrypted);
  return true;
}

}  // namespace kpl
