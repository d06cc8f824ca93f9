// The scan pipeline: the analyzer chain, then libmagic and the signature
// library under the slot's lock, the mapping table and the result JSON.
#pragma once

#include <string>

#include "common/scan_input.h"

namespace kpl {

// The work of the `scan` export. Returns 0 with the registered result JSON
// in *resultJson, or 1 with *resultJson null. May throw (allocation
// failure, or an exception out of an analyzer); the export contains that.
int scanFile(const char* path, unsigned int* status, const char** resultJson);
// The same over a file the caller opened, for a caller that reads it again
// afterwards (kplFileType).
int scanFile(const ScanInput& input, unsigned int* status, const char** resultJson);

// The four answers the mapping table sees for a file that no analyzer
// recognised, after the pipeline's rewrites (an Office Open XML extension
// becomes "ZIP", an Atari guess "data"). False where scan would return 1
// before the table: no libmagic answer, or the signature library refused.
struct MappingInputs {
  std::string magicDescription;
  std::string magicMime;
  std::string signatureDescription;
  std::string signatureExtension;
};
bool mappingInputs(const std::string& path, MappingInputs& inputs);

}  // namespace kpl
