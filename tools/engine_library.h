// The engine as this host sees it: kpl_engine.so loaded with dlopen and its
// exports resolved by name, as a scanning host does, and the engine home it
// runs in.
#pragma once

#include <string>

#include "kpl_engine.h"
#include "kpl_engine_config.h"

namespace kpl::host {

// The exports this host uses.
struct Engine {
  void* handle = nullptr;
  decltype(&::init) init = nullptr;
  decltype(&::deinit) deinit = nullptr;
  decltype(&::scan) scan = nullptr;
  decltype(&::kplFileType) kplFileType = nullptr;  // null for an engine without the entry point
  decltype(&::getInterfaceVersion) getInterfaceVersion = nullptr;
  decltype(&::getEngineType) getEngineType = nullptr;
  decltype(&::getProductName) getProductName = nullptr;
  decltype(&::getDefinitionInfo) getDefinitionInfo = nullptr;
  decltype(&::getFileTypeGroup) getFileTypeGroup = nullptr;
  decltype(&::getLastError) getLastError = nullptr;
  decltype(&::freeString) freeString = nullptr;
  decltype(&::createBasicSupportedProperties) createBasicSupportedProperties = nullptr;
  decltype(&::getEngineProperties) getEngineProperties = nullptr;
  decltype(&::validateAndSetPropertyToMap) validateAndSetPropertyToMap = nullptr;
  decltype(&::adjustConfig) adjustConfig = nullptr;
  decltype(&::convertJSON) convertJSON = nullptr;

  // Loads the library and resolves every export; a message on standard
  // error and false when either fails.
  bool load(const std::string& path);
  // Copies an engine string and gives it back.
  std::string take(const char* text);

 private:
  template <typename T>
  bool resolve(T& fn, const char* name);
};

// The file name of the engine in its home.
inline constexpr const char* kEngineFile = "kpl_engine.so";

// --home (option), then KPL_HOME, then the home beside this program:
// "../home" in the build tree, "../<libdir>/kpl-engine" in an installed
// prefix. "" when none of them is given or found.
std::string findHome(const std::string& option);

bool isReadable(const std::string& path);

}  // namespace kpl::host
