// Chain step 15: text formats.
#include "common/byte_reader.h"
#include "engine/scan_chain.h"
#include "text/text_based_fta_utils.h"

namespace kpl {

bool chainStepText(const std::string& path, uint64_t /*size*/, DetectionRecord& record) {
  const TextBasedType kind = TextBasedFTAUtils::isTextBased(InputFile(path));
  if (kind == TEXT_NONE) return false;
  TextBasedFTAUtils::adjustTextBasedTypes(kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

}  // namespace kpl
