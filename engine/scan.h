// The scan pipeline: the analyzer chain, then libmagic and the signature
// library under the slot's lock, the mapping table and the result JSON.
#pragma once

#include <string>

#include "engine/detection_record.h"

namespace kpl {

// The work of the `scan` export. Returns 0 with the registered result JSON
// in *resultJson, or 1 with *resultJson null. May throw (allocation
// failure, or an exception out of an analyzer); the export contains that.
int scanFile(const char* path, unsigned int* status, const char** resultJson);

// The record for a path, as scan reports it; false where scan returns 1.
bool detect(const std::string& path, DetectionRecord& record);

}  // namespace kpl
