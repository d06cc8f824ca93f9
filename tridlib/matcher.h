// Ranks a file against the loaded definitions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tridlib/definitions.h"

namespace tridlib {

// The bytes every definition is evaluated against.
struct Sample {
  std::vector<uint8_t> head;  // the first kHeadWindow bytes (fewer for a short file)
  std::vector<uint8_t> tail;  // the last kTailWindow bytes
  uint64_t fileSize = 0;
};

// Reads a sample of a regular file. False when it cannot be opened or read.
bool readSample(const std::string& path, Sample& sample);

struct Result {
  const Definition* definition = nullptr;
  unsigned points = 0;
};

bool definitionMatches(const Definition& def, const Sample& sample);

// Every matching definition, best first; equal points keep definition order.
std::vector<Result> rank(const std::vector<Definition>& defs, const Sample& sample);

}  // namespace tridlib
