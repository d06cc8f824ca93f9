// Time and peak memory of the text step on files given on the command line:
// each of its three probes alone, then the whole step, on one input per
// file as the scan opens it.
//
//   text_probe_bench FILE...
//
// Peak memory is the process's resident high-water mark after each file
// (getrusage), so run one file per process to read a file's own peak.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "common/scan_input.h"
#include "text/text_based_fta_utils.h"

namespace {

template <typename F>
void timed(const char* what, F&& run) {
  const auto start = std::chrono::steady_clock::now();
  const int kind = run();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("  %-9s kind %2d  %8.3f s  peak RSS %ld KiB\n", what, kind, seconds, usage.ru_maxrss);
}

}  // namespace

int main(int argc, char** argv) {
  using kpl::TextBasedFTAUtils;
  for (int i = 1; i < argc; ++i) {
    const kpl::ScanInput input(argv[i]);
    std::printf("%s (%llu bytes)\n", argv[i], static_cast<unsigned long long>(input.size()));
    timed("tags", [&] { return TextBasedFTAUtils::checkHTMLComponent(input); });
    timed("calendar", [&] { return TextBasedFTAUtils::checkTextCalendarComponent(input); });
    timed("message", [&] { return TextBasedFTAUtils::checkTextMIMEComponent(input); });
    timed("step", [&] { return TextBasedFTAUtils::isTextBased(input); });
  }
  return 0;
}
