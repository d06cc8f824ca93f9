// The package steps of the scan chain: OpenDocument, then Office Open XML
// and XPS packages.
#pragma once

#include "catalogue/chain_step.h"

namespace kpl {

bool chainStepOpenDocument(const ScanInput& input, DetectionRecord& record);
bool chainStepOfficeOpenXml(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
