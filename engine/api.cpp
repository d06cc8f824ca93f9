// Every export of kpl_engine.so, in one place (those taking C++ host objects
// are declared in kpl_engine_config.h). Each is a thin wrapper that
// runs its work inside one catch-all: no exception ever crosses into the
// host. An exception (only allocation failure or a failed lock can raise
// one here) turns into the function's failure value: 1 for a status, null
// for a pointer.
#include "kpl_engine.h"
#include "kpl_engine_config.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <optional>
#include <string>

#include "catalogue/file_type_groups.h"
#include "config/engine_properties.h"
#include "config/json_util.h"
#include "config/settings_file.h"
#include "config/string_util.h"
#include "engine/engine_state.h"
#include "engine/file_type_entry.h"
#include "engine/scan.h"
#include "engine/string_store.h"

namespace {

template <typename F>
int guarded(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return 1;
  }
}

template <typename F>
auto guardedPointer(F&& body) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    return nullptr;
  }
}

constexpr unsigned int kInterfaceVersion = 3;
constexpr unsigned int kEngineType = 2;
constexpr const char* kProductName = "FileType";
constexpr const char* kDefinitionVersion = "5.2.11";

}  // namespace

// ---- Lifecycle ----------------------------------------------------------

int init(void) { return guarded([] { return kpl::initEngine(); }); }
int deinit(void) { return guarded([] { return kpl::deinitEngine(); }); }
int update(void) { return 0; }
int reloadConfig(void) { return 0; }
int reloadDatabase(void*) { return 0; }

int getThreadIndex(void) { return kpl::getThreadIndex(); }

// ---- Scanning -------------------------------------------------------------

int scan(const char* path, unsigned int* status, const char** resultJson) {
  int rc = guarded([&] { return kpl::scanFile(path, status, resultJson); });
  if (rc != 0 && resultJson) *resultJson = nullptr;
  return rc;
}

int kplFileType(const char* path, const char* extension, const char** resultJson) {
  return guarded([&] { return kpl::fileTypeOf(path, extension, resultJson); });
}

// ---- Identification answers ---------------------------------------------

int getInterfaceVersion(unsigned int* version) {
  if (version) *version = kInterfaceVersion;
  return 0;
}

int getEngineType(unsigned int* type) {
  if (type) *type = kEngineType;
  return 0;
}

int getProductName(const char** name) {
  return guarded([&] {
    if (name) *name = kpl::addString(kProductName);
    return 0;
  });
}

int getDefinitionInfo(const char** first, const char** second, const char** third, uint64_t* fourth) {
  return guarded([&] {
    if (first) *first = kpl::addString(kDefinitionVersion);
    if (second) *second = kpl::addString(kDefinitionVersion);
    if (third) *third = kpl::addString("NaN");
    if (fourth) *fourth = 0;
    return 0;
  });
}

int getEngineCapabilities(unsigned char* capabilities) {
  if (capabilities) *capabilities = static_cast<unsigned char>((*capabilities | 0x01) & ~0x02);
  return 0;
}

int getFileTypeGroup(const char** json) {
  return guarded([&] {
    // Before init there are no groups yet: the empty object, still JSON.
    if (json) *json = kpl::addString(kpl::cacheFileTypeGroups.empty() ? "{}" : kpl::cacheFileTypeGroups.c_str());
    return 0;
  });
}

// ---- Errors ---------------------------------------------------------------

int getLastError(const char** message) {
  return guarded([&] {
    if (message == nullptr) return 0;
    int slot = kpl::CURRENT_THREAD_INDEX.load();
    const char* text = nullptr;
    if (slot >= 0 && slot < kpl::kSlotCount) {
      // The pair the slot's last scan used; before any scan (a failed init
      // among them) the pair init opened.
      const kpl::MagicPair* pair = kpl::lastMagicPair[slot].load();
      if (pair == nullptr) pair = kpl::magic_pool::firstPair();
      if (pair != nullptr && pair->description != nullptr) text = magic_error(pair->description);
      if (pair != nullptr && text == nullptr && pair->mime != nullptr) text = magic_error(pair->mime);
    }
    // libmagic's own text is handed out as it is; only the fallback is ours.
    *message = text != nullptr ? text : kpl::addString("Unknown error");
    return 0;
  });
}

int getLastScanError(int key, const char** text) {
  return guarded([&] {
    if (text) *text = kpl::findScanString(key);
    return 0;
  });
}

// ---- String hand-over ---------------------------------------------------

const char* addString(const char* text) {
  return guardedPointer([&]() -> const char* { return kpl::addString(text); });
}

int freeString(const char** text) {
  return guarded([&] {
    kpl::freeString(text);
    return 0;
  });
}

const char* addScanString(const char* text, int* key) {
  return guardedPointer([&]() -> const char* { return kpl::addScanString(text, key); });
}

int freeScanString(int key) {
  return guarded([&] {
    kpl::freeScanString(key);
    return 0;
  });
}

// ---- Conversions ----------------------------------------------------------

namespace {

constexpr int kInvalidArgument = 22;  // EINVAL, the value hosts of the _s family test for

// One body for both directions. Writes at most destinationSize units, the
// terminator included: the plain conversion functions trust `count` alone,
// and a host passing its full text length with a short buffer would
// otherwise have its stack overwritten.
template <typename Out, typename In, typename Convert>
int boundedConvert(size_t* converted, Out* destination, size_t destinationSize, const In* source, size_t count,
                   Convert convert) {
  if (converted == nullptr || source == nullptr) {
    if (converted != nullptr) *converted = 0;
    return kInvalidArgument;
  }
  *converted = 0;
  if (destination == nullptr) {
    if (destinationSize != 0) return kInvalidArgument;
    *converted = convert(nullptr, source, 0);  // the length a buffer needs, without its terminator
    return 0;
  }
  if (destinationSize == 0) return kInvalidArgument;
  const size_t room = count < destinationSize - 1 ? count : destinationSize - 1;
  const size_t n = convert(destination, source, room);
  destination[n == static_cast<size_t>(-1) ? 0 : n] = Out{};
  *converted = n;
  return 0;
}

}  // namespace

int wcstombs_s(size_t* converted, char* destination, size_t destinationSize, const wchar_t* source, size_t count) {
  return boundedConvert(converted, destination, destinationSize, source, count,
                        [](char* d, const wchar_t* s, size_t n) { return std::wcstombs(d, s, n); });
}

int mbstowcs_s(size_t* converted, wchar_t* destination, size_t destinationSize, const char* source, size_t count) {
  return boundedConvert(converted, destination, destinationSize, source, count,
                        [](wchar_t* d, const char* s, size_t n) { return std::mbstowcs(d, s, n); });
}

char* getCharConst(const wchar_t* text) {
  return guardedPointer([&]() -> char* {
    if (text == nullptr) return nullptr;
    // Size for the converted text itself (a multi-byte locale needs more
    // than one byte per character), never less than wide length + 4.
    size_t needed = std::wcstombs(nullptr, text, 0);
    if (needed == static_cast<size_t>(-1)) return nullptr;  // a character the locale cannot express
    size_t size = std::wcslen(text) + 4;
    if (needed + 1 > size) size = needed + 1;
    char* out = new char[size];
    size_t n = std::wcstombs(out, text, size - 1);
    if (n == 0 || n == static_cast<size_t>(-1)) {
      delete[] out;
      return nullptr;
    }
    out[n] = '\0';
    return out;
  });
}

wchar_t* getWCharConst(const char* text) {
  return guardedPointer([&]() -> wchar_t* {
    if (text == nullptr) return nullptr;
    size_t size = std::strlen(text) + 1;  // never more characters than bytes
    wchar_t* out = new wchar_t[size];
    size_t n = std::mbstowcs(out, text, size - 1);
    if (n == 0 || n == static_cast<size_t>(-1)) {
      delete[] out;
      return nullptr;
    }
    out[n] = L'\0';
    return out;
  });
}

int64_t getTimeSinceEpochInMs(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<int64_t>(::timegm(&tm)) * 1000;
}

// ---- Settings files, engine properties, configuration JSON ----------------
// Host services; the scan path never calls them. Strings go out registered
// with addString, like every other engine string.

namespace {

template <typename F>
bool guardedBool(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return false;
  }
}

const char* handOut(const std::optional<std::string>& text) {
  return text ? kpl::addString(text->c_str()) : nullptr;
}

}  // namespace

const char* trim(const char* text) {
  return guardedPointer([&]() -> const char* {
    if (text == nullptr) return nullptr;
    std::string cleaned = kpl::StringUtil::trim(text);
    return cleaned.empty() ? nullptr : kpl::addString(cleaned.c_str());
  });
}

const char* removeSpace(const char* text) {
  return guardedPointer([&]() -> const char* {
    if (text == nullptr || *text == '\0') return nullptr;
    return kpl::addString(kpl::removeSpace(text).c_str());
  });
}

const char* ensurePathEnding(const char* path) {
  return guardedPointer([&]() -> const char* {
    if (path == nullptr || *path == '\0') return nullptr;
    return kpl::addString(kpl::ensurePathEnding(path).c_str());
  });
}

const char* readSettingFromConfig(const char* filePath, const char* section, const char* key) {
  return guardedPointer([&]() -> const char* {
    if (filePath == nullptr || section == nullptr || key == nullptr) return nullptr;
    return handOut(kpl::readSettingFromConfig(filePath, section, key));
  });
}

const char* getKPLSettingStr(const char* section, const char* key) {
  return guardedPointer([&]() -> const char* {
    if (section == nullptr || key == nullptr) return nullptr;
    return handOut(kpl::getKPLSettingStr(section, key));
  });
}

const char* getEngineConfig(const char* section, const char* key, int mode) {
  return guardedPointer([&]() -> const char* {
    if (section == nullptr || key == nullptr) return nullptr;
    return handOut(kpl::getEngineConfig(section, key, mode));
  });
}

bool getBoolValue(const char* value, bool defaultValue) {
  return kpl::getBoolValue(value != nullptr ? value : "", defaultValue);
}

bool getEngineConfigFromMap(const kpl::SettingsMap* map, const char* key, const char** out) {
  return guardedBool([&] {
    if (map == nullptr || key == nullptr || out == nullptr) return false;
    auto value = kpl::getEngineConfigFromMap(*map, key);
    if (!value) return false;
    *out = kpl::addString(value->c_str());
    return true;
  });
}

bool getEngineConfigMix(const char* section, const kpl::SettingsMap* overrides, const char* key, void* out,
                        int isString, bool defaultBool) {
  return guardedBool([&] {
    if (key == nullptr || out == nullptr) return false;
    const bool fromOverrides = overrides != nullptr && !overrides->empty();
    if (!fromOverrides && section == nullptr) return false;
    auto value = kpl::getEngineConfigMix(section != nullptr ? section : "", overrides, key);
    if (isString != 0) {
      if (value) *static_cast<const char**>(out) = kpl::addString(value->c_str());
    } else {
      *static_cast<bool*>(out) = kpl::getBoolValue(value.value_or(std::string()), defaultBool);
    }
    return value.has_value();
  });
}

int createBasicSupportedProperties(kpl::PropertyMap* map) {
  return guarded([&] {
    if (map == nullptr) return kpl::kPropertyBadValue;
    kpl::createBasicSupportedProperties(*map);
    return kpl::kPropertyOk;
  });
}

int getEngineProperties(const kpl::PropertyMap* map, const char* name, const char** out) {
  return guarded([&] {
    if (map == nullptr || name == nullptr || out == nullptr) return kpl::kPropertyBadValue;
    std::string text;
    int status = kpl::getEngineProperties(*map, name, text);
    if (status == kpl::kPropertyOk) *out = kpl::addString(text.c_str());
    return status;
  });
}

int validateAndSetPropertyToMap(kpl::PropertyMap* map, const char* name, const char* value, int honourReadOnly) {
  return guarded([&] {
    if (map == nullptr || name == nullptr || value == nullptr) return kpl::kPropertyBadValue;
    return kpl::validateAndSetPropertyToMap(*map, name, value, honourReadOnly != 0);
  });
}

int adjustConfig(kpl::EngineSchema* schema) {
  return guarded([&] {
    if (schema == nullptr) return kpl::kPropertyBadValue;
    kpl::adjustConfig(*schema);
    return 0;
  });
}

bool parseInputJSON(const char* input, const kpl::EngineSchema* schema, kpl::SettingsMap* settings,
                    const char** tempDir) {
  return guardedBool([&] {
    if (input == nullptr || schema == nullptr || settings == nullptr) return false;
    auto parsed = kpl::parseInputJSON(input, *schema, *settings);
    if (!parsed) return false;
    if (tempDir != nullptr) *tempDir = handOut(parsed->tempDir);
    return true;
  });
}

bool convertJSON(const char* input, const kpl::EngineSchema* schema, const char** schemaJson,
                 const char** configJson, const char** error) {
  return guardedBool([&] {
    if (schema == nullptr || schemaJson == nullptr || configJson == nullptr || error == nullptr) return false;
    kpl::ConvertedConfig converted = kpl::convertJSON(input != nullptr ? input : "", *schema);
    *schemaJson = kpl::addString(converted.schemaJson.c_str());
    if (converted.ok) *configJson = kpl::addString(converted.configJson.c_str());
    else *error = kpl::addString(std::string(kpl::kInputParseError).c_str());
    return converted.ok;
  });
}
