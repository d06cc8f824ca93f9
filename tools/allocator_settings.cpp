#include "tools/allocator_settings.h"

#include <unistd.h>

#include <cstdlib>

namespace kpl::host {

// glibc reads its allocator settings only when a process starts, so the host
// restarts itself once with its own. Each of the engine's 60 libmagic
// handles compiles the patterns it meets on first use, so a run warms up 60
// pattern caches where `file` warms one; with glibc's defaults the heap
// meets that by faulting in small pages it later trims and faults in again,
// which on a virtual machine costs more than the compiling. These settings
// let the heap grow in 64 MiB steps on huge pages and keep what it has, and
// serve libmagic's per-file read buffer (up to 7 MiB) from the heap instead
// of a fresh mapping each time (bench/real_mix.sh measures both). A
// GLIBC_TUNABLES the user set, even empty, is left as it is, which is also
// how to keep glibc's defaults.
void adoptAllocatorSettings(char** argv) {
  static const char kSettings[] =
      "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864:"
      "glibc.malloc.trim_threshold=268435456:glibc.malloc.mmap_threshold=33554432";
  if (std::getenv("GLIBC_TUNABLES") != nullptr) return;
  if (::setenv("GLIBC_TUNABLES", kSettings, 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  ::unsetenv("GLIBC_TUNABLES");  // no /proc: carry on with the defaults
}

}  // namespace kpl::host
