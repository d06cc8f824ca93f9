// Memory over a long run: the engine (loaded from its home as a host loads
// it) scans a folder with 8 threads after a warm-up in which every file met
// every slot, and reports the anonymous memory it grew by per scan. A
// second run scans a JPEG with an Exif header that makes Debian's libmagic
// 5.44 lose memory on every call (the engine cannot free it; the sanitizer
// runs suppress it, see tests/lsan_libmagic.supp), so that its cost stays
// visible next to the engine's own.
//
//   soak_bench [--home DIR] [--scans N] FOLDER
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kpl_engine.h"
#include "process_stats.h"

namespace fs = std::filesystem;

namespace {

using kpl::test::anonymousKiB;
using kpl::test::openDescriptors;

struct Engine {
  decltype(&::init) init = nullptr;
  decltype(&::scan) scan = nullptr;
  decltype(&::freeString) freeString = nullptr;
  void scanOnce(const std::string& path) const {
    unsigned int status = 0;
    const char* json = nullptr;
    scan(path.c_str(), &status, &json);
    freeString(&json);
  }
};

void scanFromThreads(const Engine& engine, const std::vector<std::string>& files, std::size_t total, int threads) {
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < total;) engine.scanOnce(files[i % files.size()]);
    });
  for (auto& th : pool) th.join();
}

// Warms up (each file once in each of the 30 slots), then runs `total`
// scans on `threads` threads and prints the growth.
void measure(const char* label, const Engine& engine, const std::vector<std::string>& files, std::size_t total,
             int threads) {
  for (const std::string& file : files)
    for (int slot = 0; slot < 30; ++slot) engine.scanOnce(file);
  scanFromThreads(engine, files, 4 * files.size(), threads);
  const long before = anonymousKiB();
  const int fdsBefore = openDescriptors();
  scanFromThreads(engine, files, total, threads);
  const long after = anonymousKiB();
  std::printf("%-34s %7zu scans %2d threads  anon %7ld -> %7ld KiB  %+8.1f B/scan  fds %d -> %d\n", label, total,
              threads, before, after, (after - before) * 1024.0 / static_cast<double>(total), fdsBefore,
              openDescriptors());
}

}  // namespace

int main(int argc, char** argv) {
  std::string home = "build/home";
  std::string folder;
  std::size_t scans = 20000;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--home" && i + 1 < argc) home = argv[++i];
    else if (a == "--scans" && i + 1 < argc) scans = static_cast<std::size_t>(std::max(1, std::atoi(argv[++i])));
    else folder = a;
  }
  if (folder.empty()) {
    std::fprintf(stderr, "usage: soak_bench [--home DIR] [--scans N] FOLDER\n");
    return 2;
  }
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files.push_back(fs::absolute(e.path()).string());
  if (files.empty()) return 2;
  std::sort(files.begin(), files.end());

  // The libmagic reproducer: an Exif segment header and a 2 KiB tail.
  const std::string exif = (fs::temp_directory_path() / ("kpl_soak_exif_" + std::to_string(::getpid()))).string();
  {
    std::ofstream out(exif, std::ios::binary);
    out << std::string("\xff\xd8\xff\xe1\x00\x0a" "Exif\0\0", 12) << std::string(2036, 'A');
  }

  home = fs::absolute(home).string();
  if (::chdir(home.c_str()) != 0) {
    std::fprintf(stderr, "cannot enter %s\n", home.c_str());
    return 2;
  }
  void* lib = ::dlopen("./kpl_engine.so", RTLD_NOW | RTLD_LOCAL);
  Engine engine;
  if (lib != nullptr) {
    engine.init = reinterpret_cast<decltype(&::init)>(::dlsym(lib, "init"));
    engine.scan = reinterpret_cast<decltype(&::scan)>(::dlsym(lib, "scan"));
    engine.freeString = reinterpret_cast<decltype(&::freeString)>(::dlsym(lib, "freeString"));
  }
  if (!engine.init || !engine.scan || !engine.freeString || engine.init() != 0) {
    std::fprintf(stderr, "the engine did not start in %s\n", home.c_str());
    return 2;
  }
  measure(("folder (" + std::to_string(files.size()) + " files)").c_str(), engine, files, scans, 8);
  measure("libmagic Exif leak reproducer", engine, {exif}, scans, 1);
  ::unlink(exif.c_str());
  return 0;
}
