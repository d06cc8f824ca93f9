// kpl-filetype: command-line host of the engine. It loads kpl_engine.so with
// dlopen and drives it through the exports of kpl_engine.h, as a scanning
// host does.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kpl_engine.h"

namespace {

// The exports this host uses, resolved by name.
struct Engine {
  void* handle = nullptr;
  decltype(&::init) init = nullptr;
  decltype(&::deinit) deinit = nullptr;
  decltype(&::getInterfaceVersion) getInterfaceVersion = nullptr;
  decltype(&::getEngineType) getEngineType = nullptr;
  decltype(&::getProductName) getProductName = nullptr;
  decltype(&::getDefinitionInfo) getDefinitionInfo = nullptr;
  decltype(&::getLastError) getLastError = nullptr;
  decltype(&::freeString) freeString = nullptr;

  template <typename T>
  bool resolve(T& fn, const char* name) {
    fn = reinterpret_cast<T>(::dlsym(handle, name));
    if (fn == nullptr) std::fprintf(stderr, "kpl-filetype: the engine does not export %s\n", name);
    return fn != nullptr;
  }

  bool load(const std::string& path) {
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::fprintf(stderr, "kpl-filetype: cannot load %s: %s\n", path.c_str(), ::dlerror());
      return false;
    }
    return resolve(init, "init") && resolve(deinit, "deinit") &&
           resolve(getInterfaceVersion, "getInterfaceVersion") && resolve(getEngineType, "getEngineType") &&
           resolve(getProductName, "getProductName") && resolve(getDefinitionInfo, "getDefinitionInfo") &&
           resolve(getLastError, "getLastError") && resolve(freeString, "freeString");
  }

  // Copies an engine string and gives it back.
  std::string take(const char* text) {
    std::string copy = text ? text : "";
    freeString(&text);
    return copy;
  }
};

bool isFile(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

std::string executableDir() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

// --home, then KPL_HOME, then the home beside this program: "../home" in the
// build tree, "../lib/kpl-engine" in an installed prefix.
std::string findHome(const std::string& option) {
  if (!option.empty()) return option;
  if (const char* env = std::getenv("KPL_HOME"); env && *env) return env;
  const std::string dir = executableDir();
  for (const char* candidate : {"/../home", "/../lib/kpl-engine", "/home"})
    if (isFile(dir + candidate + "/kpl_engine.so")) return dir + candidate;
  return std::string();
}

void usage(FILE* out) {
  std::fprintf(out,
               "usage: kpl-filetype [--home DIR] --info\n"
               "  --home DIR   engine home (default: $KPL_HOME, else the home installed beside this program)\n"
               "  --info       print the engine's identification answers\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string homeOption;
  bool info = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--home" && i + 1 < argc) {
      homeOption = argv[++i];
    } else if (arg == "--info") {
      info = true;
    } else if (arg == "-h" || arg == "--help") {
      usage(stdout);
      return 0;
    } else {
      usage(stderr);
      return 2;
    }
  }
  if (!info) {
    usage(stderr);
    return 2;
  }

  std::string home = findHome(homeOption);
  if (home.empty()) {
    std::fprintf(stderr, "kpl-filetype: no engine home found; use --home or set KPL_HOME\n");
    return 2;
  }
  // The engine reads its databases relative to the working directory.
  if (::chdir(home.c_str()) != 0) {
    std::fprintf(stderr, "kpl-filetype: cannot enter the engine home %s\n", home.c_str());
    return 2;
  }
  Engine engine;
  if (!engine.load("./kpl_engine.so")) return 2;
  if (engine.init() != 0) {
    const char* message = nullptr;
    engine.getLastError(&message);
    std::fprintf(stderr, "kpl-filetype: the engine failed to start in %s (%s)\n", home.c_str(),
                 message ? message : "no message");
    return 2;
  }

  unsigned int version = 0, type = 0;
  engine.getInterfaceVersion(&version);
  engine.getEngineType(&type);
  const char* name = nullptr;
  engine.getProductName(&name);
  const char *first = nullptr, *second = nullptr, *third = nullptr;
  uint64_t fourth = 0;
  engine.getDefinitionInfo(&first, &second, &third, &fourth);
  std::printf("product:            %s\n", engine.take(name).c_str());
  std::printf("interface version:  %u\n", version);
  std::printf("engine type:        %u\n", type);
  std::string d1 = engine.take(first), d2 = engine.take(second), d3 = engine.take(third);
  std::printf("definitions:        %s %s %s %llu\n", d1.c_str(), d2.c_str(), d3.c_str(),
              static_cast<unsigned long long>(fourth));
  std::printf("home:               %s\n", home.c_str());
  engine.deinit();
  return 0;
}
