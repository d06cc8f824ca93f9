// The compound-document step of the scan chain.
#pragma once

#include "catalogue/chain_step.h"

namespace kpl {

bool chainStepOle(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
