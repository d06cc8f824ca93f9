// The analyzer chain of scan: nineteen steps tried in order until one
// recognises the file. Each step is a probe plus what its recognition
// writes; a step whose analyzer is not built yet is absent (null) and the
// chain moves on.
#pragma once

#include <vector>

#include "catalogue/chain_step.h"

namespace kpl {

struct ChainStep {
  int number;        // 1..19, the order that decides
  const char* name;  // for diagnostics and tests
  ChainProbe run;    // null while the analyzer is absent
};

// The steps in order.
const std::vector<ChainStep>& scanChain();

// Runs the chain over an open input: the first step that recognises it, with
// its record written, or null when none does (the file goes to libmagic).
const ChainStep* recognise(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
