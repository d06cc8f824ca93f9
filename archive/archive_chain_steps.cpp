// The archive steps of the scan chain: the ignore marker (step 1) and the
// archive probe (step 5).
#include "archive/archive_fta_utils.h"
#include "engine/scan_chain.h"

namespace kpl {

bool chainStepArchiveIgnore(const std::string& path, uint64_t size, DetectionRecord& record) {
  if (!ArchiveFTAUtils::ignoreDetectionFiletype(path, static_cast<unsigned long>(size))) return false;
  record.setData();
  return true;
}

bool chainStepArchive(const std::string& path, uint64_t size, DetectionRecord& record) {
  const ArchiveType kind = ArchiveFTAUtils::isArchive(path, static_cast<unsigned long>(size));
  if (kind == ArchiveType::None) return false;
  ArchiveFTAUtils::adjustArchiveTypes(kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

}  // namespace kpl
