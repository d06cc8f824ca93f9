// The input of one scan: one open file (or, for fuzzing and tests, one byte
// buffer) and its path. Created once by scan and handed to every chain step,
// the post-classification rules and the fallback signatures, so that the
// file is opened once and what several probes would each work out again
// (the head of the file, the ZIP directory index) is worked out once.
//
// Reads go through InputFile, which serves small reads from its head, tail
// and read-ahead windows. A ScanInput belongs to one scan on one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_reader.h"

namespace kpl {

class ScanInput : public InputFile {
 public:
  // Opens path (regular files only; see InputFile).
  explicit ScanInput(const std::string& path) : InputFile(path), path_(path) {}
  // A scan over bytes held in memory; path() is empty. Steps that need a
  // path (libmagic, the signature library, the extraction program) treat
  // such an input as one they cannot hand on.
  static ScanInput fromBytes(std::vector<uint8_t> bytes) {
    ScanInput input;
    static_cast<InputFile&>(input) = InputFile::fromBytes(std::move(bytes));
    return input;
  }

  const std::string& path() const { return path_; }

 private:
  ScanInput() = default;
  std::string path_;
};

}  // namespace kpl
