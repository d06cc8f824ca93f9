// What a run holds, read from /proc: memory and open descriptors, for the
// tests and benchmarks that check a run gives them back.
#pragma once

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace kpl::test {

// A "Name:  value kB" line of /proc/self/status, in KiB (-1 if absent).
inline long statusKiB(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
  return -1;
}

// Anonymous resident memory: the heap. File-backed pages (mapped magic
// databases, touched a little more by each new kind of file) are the page
// cache's, not a cost the engine can leak.
inline long anonymousKiB() { return statusKiB("RssAnon"); }

// The peak resident size so far, for what one call may cost.
inline long peakResidentKiB() { return statusKiB("VmHWM"); }

inline int openDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++count;
    ::closedir(dir);
  }
  return count;
}

}  // namespace kpl::test
