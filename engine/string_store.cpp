#include "engine/string_store.h"

#include <list>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <unordered_map>

namespace kpl {
namespace {

// A list keeps every element's character data at a fixed address while
// others come and go; the index finds an element by that address without
// walking the list (a host that holds many strings would otherwise pay for
// each free with a scan of all of them).
struct Store {
  std::mutex mutex;
  std::list<std::string> strings;
  std::unordered_map<const char*, std::list<std::string>::iterator> byData;
};

struct ScanStore {
  std::mutex mutex;
  std::map<int, std::string> strings;
  std::mt19937 generator{std::random_device("default")()};
};

Store& allocatedStrings() {
  static Store store;
  return store;
}

ScanStore& allocatedScanStrings() {
  static ScanStore store;
  return store;
}

}  // namespace

const char* addString(const char* text) {
  if (text == nullptr) return nullptr;
  Store& store = allocatedStrings();
  std::lock_guard<std::mutex> lock(store.mutex);
  auto it = store.strings.emplace(store.strings.end(), text);
  const char* data = it->c_str();
  store.byData.emplace(data, it);
  return data;
}

void freeString(const char** text) {
  if (text == nullptr || *text == nullptr) return;
  Store& store = allocatedStrings();
  std::lock_guard<std::mutex> lock(store.mutex);
  auto found = store.byData.find(*text);
  if (found == store.byData.end()) return;
  store.strings.erase(found->second);
  store.byData.erase(found);
  *text = nullptr;
}

std::size_t registeredStringCount() {
  Store& store = allocatedStrings();
  std::lock_guard<std::mutex> lock(store.mutex);
  return store.strings.size();
}

const char* addScanString(const char* text, int* key) {
  if (text == nullptr) {
    if (key) *key = 0;
    return nullptr;
  }
  ScanStore& store = allocatedScanStrings();
  std::lock_guard<std::mutex> lock(store.mutex);
  std::uniform_int_distribution<int> keys(2, 2147483647);
  int k;
  do {
    k = keys(store.generator);
  } while (store.strings.count(k) != 0);
  auto it = store.strings.emplace(k, text).first;
  if (key) *key = k;
  return it->second.c_str();
}

void freeScanString(int key) {
  ScanStore& store = allocatedScanStrings();
  std::lock_guard<std::mutex> lock(store.mutex);
  store.strings.erase(key);
}

const char* findScanString(int key) {
  ScanStore& store = allocatedScanStrings();
  std::lock_guard<std::mutex> lock(store.mutex);
  auto it = store.strings.find(key);
  return it == store.strings.end() ? nullptr : it->second.c_str();
}

}  // namespace kpl
