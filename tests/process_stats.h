// What a long run must give back, read from /proc: the soak test and the
// soak benchmark measure the same two numbers.
#pragma once

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace kpl::test {

// Anonymous resident memory: the heap. File-backed pages (mapped magic
// databases, touched a little more by each new kind of file) are the page
// cache's, not a cost the engine can leak.
inline long anonymousKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("RssAnon:", 0) == 0) return std::atol(line.c_str() + 8);
  return -1;
}

// The peak resident size so far (VmHWM), for what one call may cost.
inline long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

inline int openDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++count;
    ::closedir(dir);
  }
  return count;
}

}  // namespace kpl::test
