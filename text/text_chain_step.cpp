// The text step of the scan chain: text formats.
#include "text/text_chain_steps.h"

#include "text/text_based_fta_utils.h"

namespace kpl {

bool chainStepText(const ScanInput& input, DetectionRecord& record) {
  const TextBasedType kind = TextBasedFTAUtils::isTextBased(input);
  if (kind == TEXT_NONE) return false;
  TextBasedFTAUtils::adjustTextBasedTypes(kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

}  // namespace kpl
