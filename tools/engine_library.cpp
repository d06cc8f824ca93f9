#include "tools/engine_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kpl::host {

template <typename T>
bool Engine::resolve(T& fn, const char* name) {
  fn = reinterpret_cast<T>(::dlsym(handle, name));
  if (fn == nullptr) std::fprintf(stderr, "kpl-filetype: the engine does not export %s\n", name);
  return fn != nullptr;
}

bool Engine::load(const std::string& path) {
  handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "kpl-filetype: cannot load %s: %s\n", path.c_str(), ::dlerror());
    return false;
  }
  kplFileType = reinterpret_cast<decltype(kplFileType)>(::dlsym(handle, "kplFileType"));
  return resolve(init, "init") && resolve(deinit, "deinit") && resolve(scan, "scan") &&
         resolve(getInterfaceVersion, "getInterfaceVersion") && resolve(getEngineType, "getEngineType") &&
         resolve(getProductName, "getProductName") && resolve(getDefinitionInfo, "getDefinitionInfo") &&
         resolve(getFileTypeGroup, "getFileTypeGroup") && resolve(getLastError, "getLastError") &&
         resolve(freeString, "freeString") &&
         resolve(createBasicSupportedProperties, "createBasicSupportedProperties") &&
         resolve(getEngineProperties, "getEngineProperties") &&
         resolve(validateAndSetPropertyToMap, "validateAndSetPropertyToMap") &&
         resolve(adjustConfig, "adjustConfig") && resolve(convertJSON, "convertJSON");
}

std::string Engine::take(const char* text) {
  std::string copy = text ? text : "";
  freeString(&text);
  return copy;
}

bool isReadable(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

namespace {

std::string executableDir() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

}  // namespace

#ifndef KPL_INSTALLED_HOME
#define KPL_INSTALLED_HOME "lib/kpl-engine"
#endif

std::string findHome(const std::string& option) {
  if (!option.empty()) return option;
  if (const char* env = std::getenv("KPL_HOME"); env && *env) return env;
  const std::string dir = executableDir();
  for (const char* candidate : {"/../home", "/../" KPL_INSTALLED_HOME, "/../lib/kpl-engine", "/home"})
    if (isReadable(dir + candidate + "/" + kEngineFile))
      return std::filesystem::weakly_canonical(dir + candidate).string();
  return std::string();
}

}  // namespace kpl::host
