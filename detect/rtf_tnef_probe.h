// RTF documents and TNEF attachments: fixed bytes at fixed offsets.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/chain_step.h"
#include "common/byte_reader.h"

namespace kpl {

// "{\rtf" at the start of a file of 5 bytes or more.
bool isRTF(const std::string& path, unsigned long fileSize);
bool isRTF(const InputFile& file, uint64_t fileSize);

// The TNEF signature, then the tag and value of the TNEF version attribute,
// in a file of 40 bytes or more.
bool isTNEF(const std::string& path, unsigned long fileSize);
bool isTNEF(const InputFile& file, uint64_t fileSize);

// The chain steps: "RTF" and "TNEF".
bool chainStepRtf(const ScanInput& input, DetectionRecord& record);
bool chainStepTnef(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
