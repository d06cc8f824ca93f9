// The text step of the scan chain.
#pragma once

#include "detect/chain_step.h"

namespace kpl {

bool chainStepText(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
