// What a step of the scan's analyzer chain is: a probe over the scan's one
// input that, when it recognises the file, writes the detection record. The
// analyzers define their steps beside themselves with this signature; only
// the chain table in engine/ knows all of them and their order.
#pragma once

#include "catalogue/detection_record.h"
#include "common/scan_input.h"

namespace kpl {

// Returns true when the file was recognised; the record is then complete
// and no later step runs. A step never throws on malformed input, and
// reads only through the input (none opens the file again).
using ChainProbe = bool (*)(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
