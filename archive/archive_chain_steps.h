// The archive steps of the scan chain: the ignore marker and the archive
// probe.
#pragma once

#include "catalogue/chain_step.h"

namespace kpl {

bool chainStepArchiveIgnore(const ScanInput& input, DetectionRecord& record);
bool chainStepArchive(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
