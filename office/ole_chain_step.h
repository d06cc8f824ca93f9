// The compound-document step of the scan chain.
#pragma once

#include "detect/chain_step.h"

namespace kpl {

bool chainStepOle(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
