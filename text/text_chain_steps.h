// The text step of the scan chain: HTML, XML dialects, VML, calendars,
// e-mail messages and MHTML archives.
#pragma once

#include "catalogue/chain_step.h"

namespace kpl {

bool chainStepText(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
