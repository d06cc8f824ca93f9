// Every export of kpl_engine.so, in one place. Each is a thin wrapper that
// runs its work inside one catch-all: no exception ever crosses into the
// host. An exception (only allocation failure or a failed lock can raise
// one here) turns into the function's failure value: 1 for a status, null
// for a pointer.
#include "kpl_engine.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>

#include "detect/file_type_groups.h"
#include "engine/engine_state.h"
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
    if (json) *json = kpl::addString(kpl::cachedFileTypeGroupsJson().c_str());
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
      if (kpl::myt[slot] != nullptr) text = magic_error(kpl::myt[slot]);
      if (text == nullptr && kpl::myt_mime[slot] != nullptr) text = magic_error(kpl::myt_mime[slot]);
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

int wcstombs_s(size_t* converted, char* destination, size_t, const wchar_t* source, size_t count) {
  size_t n = std::wcstombs(destination, source, count);
  if (converted) *converted = n;
  return 0;
}

int mbstowcs_s(size_t* converted, wchar_t* destination, size_t, const char* source, size_t count) {
  size_t n = std::mbstowcs(destination, source, count);
  if (converted) *converted = n;
  return 0;
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
