// One loaded instance of the signature library: its definitions, the file
// last submitted and the results of its analysis. The four C entry points
// of libTrIDLib.so are thin wrappers around one of these; the engine loads
// one copy of the library per scan slot and calls a copy from one thread
// at a time. No call throws.
#pragma once

#include <string>
#include <vector>

#include "tridlib/definitions.h"
#include "tridlib/matcher.h"

namespace tridlib {

// GetInfo's buffer is 1024 bytes; texts are cut to fit.
inline constexpr std::size_t kInfoBufferSize = 1024;

class Library {
 public:
  // Loads every definitions file of a directory; backslashes in the path
  // are directory separators. The number of definitions, 0 on failure (the
  // definitions loaded before stay).
  int loadDefinitions(const char* path);
  // Remembers the file for the next analysis; 0 for a null or empty path.
  int submit(const char* path);
  // Ranks the submitted file; 0 when nothing was submitted, no definitions
  // are loaded, or the file cannot be read.
  int analyze();
  // what 1: the number of results. what 2 and 3: the file-type and
  // extension texts of result `index` (numbered from 1) into buffer. what
  // 4: its points. Unknown requests and indexes give 0 and an empty text.
  int info(int what, int index, char* buffer) const;

 private:
  std::vector<Definition> definitions_;
  std::string submittedPath_;
  bool submitted_ = false;
  std::vector<Result> results_;
  Sample sample_;  // kept between analyses so that its buffers are reused
};

}  // namespace tridlib
