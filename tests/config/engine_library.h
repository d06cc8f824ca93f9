// The configuration exports as a host sees them: resolved by name from the
// loaded kpl_engine.so, and driven with host-owned maps and schemas.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

#include "kpl_engine.h"
#include "kpl_engine_config.h"
#include "test_support.h"
#include "test_support_process.h"

namespace kpl::test {

struct EngineLibrary {
#define KPL_EXPORT(fn) decltype(&::fn) fn = nullptr;
#define KPL_CONFIG_EXPORTS(X)                                                                              \
  X(freeString) X(trim) X(removeSpace) X(ensurePathEnding) X(readSettingFromConfig) X(getKPLSettingStr)    \
  X(getEngineConfig) X(getEngineConfigFromMap) X(getBoolValue) X(getEngineConfigMix)                       \
  X(createBasicSupportedProperties) X(getEngineProperties) X(validateAndSetPropertyToMap) X(adjustConfig) \
  X(convertJSON) X(parseInputJSON)
  KPL_CONFIG_EXPORTS(KPL_EXPORT)
#undef KPL_EXPORT

  bool load() {
    void* lib = ::dlopen((homeDir() + "/kpl_engine.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return false;
    bool all = true;
#define KPL_RESOLVE(fn)                                          \
  fn = reinterpret_cast<decltype(fn)>(::dlsym(lib, #fn)); \
  all = all && fn != nullptr;
    KPL_CONFIG_EXPORTS(KPL_RESOLVE)
#undef KPL_RESOLVE
    return all;
  }

  // Copies an engine string and gives it back; checks it was registered.
  std::optional<std::string> take(const char* text) const {
    if (text == nullptr) return std::nullopt;
    std::string copy = text;
    freeString(&text);
    EXPECT_EQ(text, nullptr) << "not an engine-registered string: " << copy;
    return copy;
  }
};

// Runs body in a child process that loaded the engine (in workDir when one
// is given, so the test's own working directory stays put). The child's
// failures are printed by the child; the parent sees its exit status.
inline void runWithEngine(const std::function<void(const EngineLibrary&)>& body, const std::string& workDir = "") {
  int rc = runInChild([&] {
    if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) return 2;
    EngineLibrary engine;
    if (!engine.load()) return 3;
    body(engine);
    return ::testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(rc, 0) << "the engine child failed (2: chdir, 3: load, 1: see its failures above)";
}

}  // namespace kpl::test
