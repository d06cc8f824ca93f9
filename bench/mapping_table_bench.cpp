// The libmagic mapping table's cost for a file that no analyzer recognises:
// RegexpTable::check over the four answers such files really give.
//
//   mapping_table_bench [--benchmark_* options] [LIST]
//
// The answers are collected once, before timing, with the engine's own
// mappingInputs: for every file under tests/fixtures and every path in LIST
// (one a line, e.g. a sample of /usr/share, /usr/lib and /etc) that no step
// of the scan chain recognises. "per_file" is the time of one check (CPU time,
// seconds: "20u" is 20 µs).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "detect/regexp_table.h"
#include "engine/scan.h"
#include "engine/scan_chain.h"
#include "kpl_engine.h"

namespace fs = std::filesystem;

namespace {

std::vector<kpl::MappingInputs> answers;

bool fallsThrough(const std::string& path) {
  const kpl::ScanInput input(path);
  kpl::DetectionRecord record;
  return !input.isOpen() || kpl::recognise(input, record) == nullptr;
}

void collect(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    kpl::MappingInputs in;
    if (fallsThrough(path) && kpl::mappingInputs(path, in)) answers.push_back(in);
  }
}

void perFile(benchmark::State& state) {
  state.counters["files"] = static_cast<double>(answers.size());
  state.counters["per_file"] = benchmark::Counter(
      static_cast<double>(answers.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void check(benchmark::State& state, kpl::RegexpTable::Walk walk) {
  std::string typeId, mime, description, extensions;
  for (auto _ : state)
    for (const kpl::MappingInputs& in : answers)
      benchmark::DoNotOptimize(kpl::regexpTable.check(in.signatureExtension.c_str(), in.signatureDescription.c_str(),
                                                      in.magicMime.c_str(), in.magicDescription.c_str(), typeId,
                                                      mime, description, extensions, walk));
  perFile(state);
}

// The plain walk runs every row's regular expressions until one matches.
void BM_CheckPlain(benchmark::State& state) { check(state, kpl::RegexpTable::Walk::plain); }
void BM_CheckIndexed(benchmark::State& state) { check(state, kpl::RegexpTable::Walk::indexed); }
BENCHMARK(BM_CheckPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckIndexed)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<std::string> paths;
  for (const auto& e : fs::recursive_directory_iterator(KPL_BENCH_FIXTURES))
    if (e.is_regular_file()) paths.push_back(e.path().string());
  std::sort(paths.begin(), paths.end());
  if (argc > 1) {
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);)
      if (!line.empty()) paths.push_back(fs::absolute(line).string());
  }
  if (::chdir(KPL_BENCH_HOME) != 0 || ::init() != 0) {
    std::fprintf(stderr, "the engine did not start in %s\n", KPL_BENCH_HOME);
    return 2;
  }
  collect(paths);
  std::fprintf(stderr, "%zu of %zu files fall through to the mapping table\n", answers.size(), paths.size());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ::deinit();
  return 0;
}
