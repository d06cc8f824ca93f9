// The detection record each text-based kind writes (table in
// text_based_fta_utils_table.cpp).
#pragma once

#include <vector>

#include "text/text_based_fta_utils.h"

namespace kpl {

struct TextBasedRecord {
  TextBasedType kind;
  const char* typeId;
  const char* mime;
  const char* extensions;
};

extern const std::vector<TextBasedRecord> kTextBasedRecords;
// Any kind without a row of its own.
extern const TextBasedRecord kTextBasedFallbackRecord;

}  // namespace kpl
