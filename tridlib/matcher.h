// Ranks a file against the loaded definitions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tridlib/definitions.h"
#include "tridlib/views.h"

namespace tridlib {

// Reads a sample of a regular file: one read of its head, one of its tail.
// False when it cannot be opened or read.
bool readSample(const std::string& path, Sample& sample);

struct Result {
  const Definition* definition = nullptr;
  unsigned points = 0;
};

// Whether every clause of def holds for the sample; points receives what
// the match earns (the definition's fixed points and the words it found).
bool evaluate(const Definition& def, SampleView& view, unsigned& points);

// Every matching definition, best first. Equal points keep the order in
// which the definitions were loaded.
std::vector<Result> rank(const std::vector<Definition>& defs, const Sample& sample);

}  // namespace tridlib
