// SAP archives.
#pragma once

#include <cstdint>
#include <string>

namespace kpl {

class InputFile;

// A SAP archive: "CAR " plus a version of at least 2.0, then a first entry
// of a known type.
class SARArchive {
 public:
  SARArchive();
  bool isSAR(const InputFile& file, unsigned long fileSize);

 private:
  std::string signature_;
  std::string version_;
  std::string entryTypes_[5];
  uint8_t header_[8] = {};
  uint8_t firstEntry_[34] = {};
};

}  // namespace kpl
