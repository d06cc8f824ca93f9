// Measurements behind bench/real_mix.sh, one per run so that each starts
// from a fresh process:
//
//   real_mix_bench init     [--home DIR]             init(): wall and CPU time, RSS before and after
//   real_mix_bench cold     [--home DIR] FILE        the first 30 scans of FILE (one per slot) against the next 30
//   real_mix_bench soak     [--home DIR] LIST N [T]  N scans over the list on T threads (1); RSS at the end
//   real_mix_bench passes   [--home DIR] LIST K [T]  K passes over the list on T threads (1): the first
//                                                    meets libmagic's pattern caches cold; each pass
//                                                    also tells the share of files that reached libmagic
//   real_mix_bench libmagic [--home DIR] LIST        libmagic alone, one handle pair, both answers per file
//   real_mix_bench buffer   [--home DIR] LIST        libmagic on the path against libmagic on the file's
//                                                    first 64 KiB: differing answers and time of each
//
// LIST is a file of paths, one a line. The engine is loaded from its home
// the way a host loads it (dlopen, working directory = home).
#include <dlfcn.h>
#include <fcntl.h>
#include <magic.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kpl_engine.h"
#include "process_stats.h"

namespace fs = std::filesystem;

// Every libmagic call the engine makes, counted: this program exports its
// own magic_file (ENABLE_EXPORTS), which the dynamic loader binds the
// engine's calls to ahead of libmagic's. A file that reached libmagic
// costs two calls (description and MIME type).
namespace {
std::atomic<long> g_magicFileCalls{0};
}
extern "C" __attribute__((visibility("default"))) const char* magic_file(magic_t handle, const char* path) {
  using MagicFile = const char* (*)(magic_t, const char*);
  static const auto real = reinterpret_cast<MagicFile>(::dlsym(RTLD_NEXT, "magic_file"));
  g_magicFileCalls.fetch_add(1, std::memory_order_relaxed);
  return real(handle, path);
}

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return s(usage.ru_utime) + s(usage.ru_stime);
}

// A line of /proc/self/status in MiB ("VmRSS", "VmHWM").
double statusMiB(const char* key) { return static_cast<double>(kpl::test::statusKiB(key)) / 1024.0; }

std::vector<std::string> readList(const std::string& listFile) {
  std::vector<std::string> files;
  std::ifstream in(listFile);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) files.push_back(fs::absolute(line).string());
  return files;
}

struct Engine {
  decltype(&::init) init = nullptr;
  decltype(&::deinit) deinit = nullptr;
  decltype(&::scan) scan = nullptr;
  decltype(&::freeString) freeString = nullptr;

  bool load(const std::string& home) {
    if (::chdir(home.c_str()) != 0) return false;
    void* lib = ::dlopen("./kpl_engine.so", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return false;
    init = reinterpret_cast<decltype(init)>(::dlsym(lib, "init"));
    deinit = reinterpret_cast<decltype(deinit)>(::dlsym(lib, "deinit"));
    scan = reinterpret_cast<decltype(scan)>(::dlsym(lib, "scan"));
    freeString = reinterpret_cast<decltype(freeString)>(::dlsym(lib, "freeString"));
    return init && deinit && scan && freeString;
  }

  bool scanOne(const std::string& path) {
    unsigned int status = 0;
    const char* json = nullptr;
    const bool ok = scan(path.c_str(), &status, &json) == 0;
    freeString(&json);
    return ok;
  }
};

// Scans `total` files of the list (round robin) on `threads` threads;
// returns how many failed.
long scanFromThreads(Engine& engine, const std::vector<std::string>& files, std::size_t total, int threads) {
  std::atomic<std::size_t> next{0};
  std::atomic<long> failures{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < total;)
        if (!engine.scanOne(files[i % files.size()])) failures.fetch_add(1);
    });
  for (auto& th : pool) th.join();
  return failures.load();
}

int threadsArgument(const std::vector<std::string>& args) {
  const int threads = args.size() > 2 ? std::atoi(args[2].c_str()) : 1;
  return threads > 0 ? threads : 1;
}

int usage() {
  std::fprintf(stderr, "usage: real_mix_bench init|cold|soak|passes|libmagic|buffer [--home DIR] ARGS (see the source's header)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string mode = argv[1];
  std::string home = "build/home";
  std::vector<std::string> args;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc) home = argv[++i];
    else args.push_back(argv[i]);
  }
  home = fs::absolute(home).string();
  // Paths in a list are taken relative to where the bench was started.
  std::vector<std::string> files;
  if ((mode == "soak" || mode == "passes" || mode == "libmagic" || mode == "buffer") && !args.empty()) files = readList(args[0]);
  if (mode == "cold" && !args.empty()) files.push_back(fs::absolute(args[0]).string());

  if (mode == "libmagic") {
    if (files.empty() || ::chdir(home.c_str()) != 0) return usage();
    magic_t description = ::magic_open(MAGIC_RAW | MAGIC_ERROR);
    magic_t mime = ::magic_open(MAGIC_MIME_TYPE | MAGIC_RAW | MAGIC_ERROR);
    if (!description || !mime || ::magic_load(description, "database/magic/magic.mgc") != 0 ||
        ::magic_load(mime, "database/magic/magic.mgc") != 0)
      return 2;
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    int failures = 0;
    for (const std::string& f : files)
      if (!::magic_file(description, f.c_str()) || !::magic_file(mime, f.c_str())) ++failures;
    const double wall = secondsSince(start), cpu = cpuSeconds() - cpu0;
    std::printf("libmagic files=%zu wall=%.3f cpu=%.3f files_per_s=%.1f failures=%d\n", files.size(), wall, cpu,
                static_cast<double>(files.size()) / wall, failures);
    return 0;
  }

  if (mode == "buffer") {
    if (files.empty() || ::chdir(home.c_str()) != 0) return usage();
    magic_t handles[2] = {::magic_open(MAGIC_RAW | MAGIC_ERROR), ::magic_open(MAGIC_MIME_TYPE | MAGIC_RAW | MAGIC_ERROR)};
    for (magic_t h : handles)
      if (!h || ::magic_load(h, "database/magic/magic.mgc") != 0) return 2;
    constexpr std::size_t kHead = 64 * 1024;  // what a scan's input holds of every file
    std::vector<char> head(kHead);
    double byPath = 0, byHead = 0;
    int differing = 0, shown = 0;
    for (const std::string& f : files) {
      const int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      const ssize_t n = ::read(fd, head.data(), head.size());
      ::close(fd);
      if (n < 0) continue;
      bool same = true;
      for (magic_t h : handles) {
        double c = cpuSeconds();
        const char* a = ::magic_file(h, f.c_str());
        std::string fromPath = a ? a : "(null)";
        byPath += cpuSeconds() - c;
        c = cpuSeconds();
        const char* b = ::magic_buffer(h, head.data(), static_cast<std::size_t>(n));
        std::string fromHead = b ? b : "(null)";
        byHead += cpuSeconds() - c;
        if (fromPath != fromHead) {
          same = false;
          if (shown < 15) {
            ++shown;
            std::printf("  %s\n    path: %s\n    head: %s\n", f.c_str(), fromPath.c_str(), fromHead.c_str());
          }
        }
      }
      if (!same) ++differing;
    }
    std::printf("buffer files=%zu differing=%d path_cpu=%.3f head_cpu=%.3f\n", files.size(), differing, byPath, byHead);
    return 0;
  }

  Engine engine;
  const double rssBefore = statusMiB("VmRSS");
  if (!engine.load(home)) {
    std::fprintf(stderr, "cannot load the engine from %s\n", home.c_str());
    return 2;
  }
  const double cpu0 = cpuSeconds();
  const auto start = Clock::now();
  if (engine.init() != 0) {
    std::fprintf(stderr, "init failed in %s\n", home.c_str());
    return 2;
  }
  const double initWall = secondsSince(start), initCpu = cpuSeconds() - cpu0;

  if (mode == "init") {
    std::printf("init wall_ms=%.1f cpu_ms=%.1f rss_before_mib=%.1f rss_after_mib=%.1f\n", initWall * 1e3,
                initCpu * 1e3, rssBefore, statusMiB("VmRSS"));
    engine.deinit();
    return 0;
  }
  if (mode == "cold") {
    if (files.empty()) return usage();
    // Scans 1-30 each meet a slot for the first time; 31-60 meet them again.
    double wall[2] = {0, 0}, cpu[2] = {0, 0};
    for (int round = 0; round < 2; ++round)
      for (int slot = 0; slot < 30; ++slot) {
        const double c = cpuSeconds();
        const auto t = Clock::now();
        if (!engine.scanOne(files[0])) return 1;
        wall[round] += secondsSince(t);
        cpu[round] += cpuSeconds() - c;
      }
    std::printf("cold init_ms=%.1f first30_wall_ms=%.1f first30_cpu_ms=%.1f next30_wall_ms=%.1f next30_cpu_ms=%.1f "
                "rss_mib=%.1f\n",
                initWall * 1e3, wall[0] * 1e3, cpu[0] * 1e3, wall[1] * 1e3, cpu[1] * 1e3, statusMiB("VmRSS"));
    engine.deinit();
    return 0;
  }
  if (mode == "passes") {
    if (files.empty() || args.size() < 2) return usage();
    const int passes = std::atoi(args[1].c_str());
    const int threads = threadsArgument(args);
    for (int pass = 1; pass <= passes; ++pass) {
      const double c = cpuSeconds();
      const long calls = g_magicFileCalls.load();
      const auto t = Clock::now();
      const long failures = scanFromThreads(engine, files, files.size(), threads);
      const double wall = secondsSince(t);
      const double libmagicShare = static_cast<double>(g_magicFileCalls.load() - calls) / 2.0 / static_cast<double>(files.size());
      std::printf("pass %d threads=%d files=%zu wall=%.3f cpu=%.3f files_per_s=%.1f failures=%ld libmagic_share=%.3f "
                  "rss_mib=%.1f\n",
                  pass, threads, files.size(), wall, cpuSeconds() - c, static_cast<double>(files.size()) / wall,
                  failures, libmagicShare, statusMiB("VmRSS"));
    }
    engine.deinit();
    return 0;
  }
  if (mode == "soak") {
    if (files.empty() || args.size() < 2) return usage();
    const long total = std::atol(args[1].c_str());
    const int threads = threadsArgument(args);
    const double c = cpuSeconds();
    const auto t = Clock::now();
    const long failures = scanFromThreads(engine, files, static_cast<std::size_t>(total > 0 ? total : 0), threads);
    std::printf("soak scans=%ld threads=%d wall=%.1f cpu=%.1f failures=%ld rss_mib=%.1f hwm_mib=%.1f\n", total,
                threads, secondsSince(t), cpuSeconds() - c, failures, statusMiB("VmRSS"), statusMiB("VmHWM"));
    engine.deinit();
    return 0;
  }
  return usage();
}
