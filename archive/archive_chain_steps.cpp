// The archive steps of the scan chain: the ignore marker and the archive
// probe.
#include "archive/archive_chain_steps.h"
#include "archive/archive_fta_utils.h"

namespace kpl {

bool chainStepArchiveIgnore(const ScanInput& input, DetectionRecord& record) {
  if (!ArchiveFTAUtils::ignoreDetectionFiletype(input, input.size())) return false;
  record.setData();
  return true;
}

bool chainStepArchive(const ScanInput& input, DetectionRecord& record) {
  const ArchiveType kind = ArchiveFTAUtils::isArchive(input, input.size());
  if (kind == ArchiveType::None) return false;
  ArchiveFTAUtils::adjustArchiveTypes(kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

}  // namespace kpl
