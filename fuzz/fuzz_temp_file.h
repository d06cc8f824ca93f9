// The fuzz input as a file, for the targets whose entry point takes a path
// (the scan export, the signature library, the settings file reader); every
// other target reads the input from memory.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace kpl::fuzz {

// A temporary file holding the input, removed when the object goes.
class TempInput {
 public:
  TempInput(const uint8_t* data, size_t size) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kpl_fuzz_XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return;
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::write(fd, data + done, size - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::close(fd);
    path_ = pattern;
  }
  ~TempInput() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempInput(const TempInput&) = delete;
  TempInput& operator=(const TempInput&) = delete;
  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kpl::fuzz
