// trid_bench: how fast the signature library loads its definitions in the
// 30 instances the engine starts, and how its analysis of a file compares
// with libmagic's on the same file.
//
//   trid_bench [--home DIR] [--rounds N] [FILE...]
//
// The home is an engine home (libTrIDLib.so, database/trid, database/magic);
// without files, a set of typical ones from the test fixtures is used.
#include <dlfcn.h>
#include <magic.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kInstances = 30;  // one per scan slot

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct Instance {
  void* handle = nullptr;
  int (*load)(char*) = nullptr;
  int (*submit)(char*) = nullptr;
  int (*analyze)() = nullptr;
  int (*info)(int, int, char*) = nullptr;
};

// Loads a private copy of the library, as the engine does for each slot:
// a distinct file, so the loader makes a distinct instance.
bool loadCopy(const std::string& library, const std::string& copy, Instance& out) {
  std::ifstream in(library, std::ios::binary);
  std::ofstream outFile(copy, std::ios::binary | std::ios::trunc);
  outFile << in.rdbuf();
  outFile.close();
  out.handle = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (out.handle == nullptr) return false;
  out.load = reinterpret_cast<int (*)(char*)>(::dlsym(out.handle, "TrID_LoadDefsPack"));
  out.submit = reinterpret_cast<int (*)(char*)>(::dlsym(out.handle, "TrID_SubmitFileA"));
  out.analyze = reinterpret_cast<int (*)()>(::dlsym(out.handle, "TrID_Analyze"));
  out.info = reinterpret_cast<int (*)(int, int, char*)>(::dlsym(out.handle, "TrID_GetInfo"));
  return out.load && out.submit && out.analyze && out.info;
}

// The median of several timed runs of fn, each repeating it `rounds` times;
// the answer is per call.
template <typename Fn>
double medianMicroseconds(int rounds, Fn fn) {
  std::vector<double> runs;
  for (int run = 0; run < 7; ++run) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < rounds; ++i) fn();
    runs.push_back(microseconds(Clock::now() - start) / rounds);
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string home = KPL_BENCH_HOME;
  int rounds = 200;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--home" && i + 1 < argc) {
      home = argv[++i];
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "usage: trid_bench [--home DIR] [--rounds N] [FILE...]\n");
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty())
    for (const char* name : {"jfif.jpg", "document.pdf", "word.doc", "video.mp4", "program.exe", "installer.exe",
                             "page_utf16.html", "index.php", "slides_flat.xml", "notes.txt", "random.bin"})
      files.push_back(std::string(KPL_BENCH_FIXTURES) + "/" + name);
  if (::chdir(home.c_str()) != 0) {
    std::fprintf(stderr, "trid_bench: cannot enter %s\n", home.c_str());
    return 2;
  }

  // ---- Definitions: 30 instances, as init loads them --------------------
  char tmpl[] = "/tmp/trid_bench.XXXXXX";
  if (::mkdtemp(tmpl) == nullptr) return 2;
  const std::string tmp = tmpl;
  std::vector<Instance> instances(kInstances);
  for (int i = 0; i < kInstances; ++i) {
    if (!loadCopy("libTrIDLib.so", tmp + "/lib." + std::to_string(i), instances[i])) {
      std::fprintf(stderr, "trid_bench: cannot load a copy of libTrIDLib.so: %s\n", ::dlerror());
      return 2;
    }
  }
  char defs[] = "database\\trid\\";
  int count = 0;
  const Clock::time_point start = Clock::now();
  for (Instance& inst : instances) count = inst.load(defs);
  const double loadAll = microseconds(Clock::now() - start);
  std::printf("TrID_LoadDefsPack: %d definitions, %d instances in %.2f ms (%.3f ms each)\n", count, kInstances,
              loadAll / 1000.0, loadAll / 1000.0 / kInstances);
  if (count <= 0) return 1;

  // ---- One file at a time: libmagic against the library ----------------
  // The scan asks libmagic twice, for the description and for the MIME
  // type, each on its own handle; both are timed, and the description
  // alone as well.
  magic_t description = ::magic_open(MAGIC_RAW | MAGIC_ERROR);
  magic_t mime = ::magic_open(MAGIC_MIME_TYPE | MAGIC_RAW | MAGIC_ERROR);
  if (description == nullptr || mime == nullptr || ::magic_load(description, "database/magic/magic.mgc") != 0 ||
      ::magic_load(mime, "database/magic/magic.mgc") != 0) {
    std::fprintf(stderr, "trid_bench: cannot load the magic database\n");
    return 2;
  }
  Instance& lib = instances[0];
  std::printf("\n%-17s %7s %11s %11s %10s %8s %8s  %s\n", "file", "bytes", "libmagic us", "(descr. us)",
              "library us", "ratio", "(descr.)", "library answer");
  double worst = 0, worstDescription = 0;
  for (const std::string& path : files) {
    std::vector<char> p(path.begin(), path.end());
    p.push_back('\0');
    std::ifstream sizeOf(path, std::ios::binary | std::ios::ate);
    const long long bytes = sizeOf ? static_cast<long long>(sizeOf.tellg()) : -1;
    if (::magic_file(description, path.c_str()) == nullptr || !lib.submit(p.data()) || !lib.analyze()) {
      std::printf("%-17s cannot be read\n", path.c_str());
      continue;
    }
    const double magicUs = medianMicroseconds(rounds, [&] {
      ::magic_file(description, path.c_str());
      ::magic_file(mime, path.c_str());
    });
    const double descriptionUs = medianMicroseconds(rounds, [&] { ::magic_file(description, path.c_str()); });
    const double tridUs = medianMicroseconds(rounds, [&] {
      lib.submit(p.data());
      lib.analyze();
    });
    char answer[1024] = {};
    if (lib.info(1, 0, answer) > 0) lib.info(3, 1, answer);
    worst = std::max(worst, tridUs / magicUs);
    worstDescription = std::max(worstDescription, tridUs / descriptionUs);
    std::printf("%-17s %7lld %11.1f %11.1f %10.1f %8.3f %8.3f  %s\n", path.substr(path.rfind('/') + 1).c_str(), bytes,
                magicUs, descriptionUs, tridUs, tridUs / magicUs, tridUs / descriptionUs, answer[0] ? answer : "-");
  }
  std::printf("\nlargest library/libmagic time ratio: %.3f (description alone: %.3f)\n", worst, worstDescription);
  ::magic_close(description);
  ::magic_close(mime);
  for (int i = 0; i < kInstances; ++i) ::unlink((tmp + "/lib." + std::to_string(i)).c_str());
  ::rmdir(tmp.c_str());
  return 0;
}
