#include "engine/magic_pool.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace kpl {
namespace {

constexpr const char* kMagicDatabase = "database/magic/magic.mgc";
constexpr int kDescriptionFlags = MAGIC_RAW | MAGIC_ERROR;
constexpr int kMimeFlags = MAGIC_MIME_TYPE | MAGIC_RAW | MAGIC_ERROR;
// First word of a compiled database in this machine's byte order.
constexpr uint32_t kCompiledMagicNumber = 0xF11E041C;

// The compiled database, mapped once for every pair. libmagic keeps pointing
// into these bytes instead of copying them, so the pairs share one mapping
// (instead of private mappings of several MiB each), and the mapping must
// outlive the handles: close() unmaps it only after closing every handle.
// Mapped the way libmagic maps a database itself (private, writable).
void* g_database = nullptr;
std::size_t g_databaseSize = 0;

void mapDatabase() {
  const int fd = ::open(kMagicDatabase, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const auto size = static_cast<std::size_t>(st.st_size);
    void* bytes = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    // libmagic byte-swaps a database of the other byte order in place while
    // loading it, so such a database cannot be shared: each handle then
    // loads the path on its own.
    uint32_t magicNumber = 0;
    if (bytes != MAP_FAILED && size >= sizeof(magicNumber)) std::memcpy(&magicNumber, bytes, sizeof(magicNumber));
    if (bytes != MAP_FAILED && magicNumber == kCompiledMagicNumber) {
      g_database = bytes;
      g_databaseSize = size;
    } else if (bytes != MAP_FAILED) {
      ::munmap(bytes, size);
    }
  }
  ::close(fd);
}

// When the database could not be mapped, libmagic loads the path itself, so
// that the failure leaves its own message for getLastError.
int loadDatabase(magic_t handle) {
  if (g_database == nullptr) return magic_load(handle, kMagicDatabase);
  void* buffers[] = {g_database};
  std::size_t sizes[] = {g_databaseSize};
  return magic_load_buffers(handle, buffers, sizes, 1);
}

void closePair(MagicPair& pair) {
  if (pair.description != nullptr) magic_close(pair.description);
  if (pair.mime != nullptr) magic_close(pair.mime);
  pair = MagicPair{};
}

// Opens and loads a pair; whatever libmagic refused is left in it, so
// that its error text can still be read.
std::unique_ptr<MagicPair> openPair(bool& loaded) {
  auto pair = std::make_unique<MagicPair>();
  pair->description = magic_open(kDescriptionFlags);
  pair->mime = magic_open(kMimeFlags);
  loaded = pair->description != nullptr && pair->mime != nullptr && loadDatabase(pair->description) == 0 &&
           loadDatabase(pair->mime) == 0;
  return pair;
}

struct PoolState {
  std::mutex mutex;
  // Every pair opened since open(), in opening order; addresses stay put
  // until close().
  std::vector<std::unique_ptr<MagicPair>> pairs;
  // Free pairs, the most recently returned last.
  std::vector<MagicPair*> free;
};

// Never destroyed: a host thread may still scan while the process exits,
// and the pairs must not be freed under it by static destructors (which
// would also leave libmagic's handles unreachable, to a leak checker, at
// exit). deinit closes the pairs.
PoolState& pool() {
  static PoolState* const state = new PoolState;
  return *state;
}

}  // namespace

namespace magic_pool {

bool open() {
  close();
  mapDatabase();
  bool loaded = false;
  std::unique_ptr<MagicPair> first = openPair(loaded);
  PoolState& state = pool();
  const std::lock_guard<std::mutex> hold(state.mutex);
  state.pairs.push_back(std::move(first));
  if (loaded) state.free.push_back(state.pairs.back().get());
  return loaded;
}

void close() {
  PoolState& state = pool();
  const std::lock_guard<std::mutex> hold(state.mutex);
  for (auto& pair : state.pairs) closePair(*pair);
  state.pairs.clear();
  state.free.clear();
  if (g_database != nullptr) ::munmap(g_database, g_databaseSize);  // no handle points into it now
  g_database = nullptr;
  g_databaseSize = 0;
}

MagicPair* acquire() {
  PoolState& state = pool();
  {
    const std::lock_guard<std::mutex> hold(state.mutex);
    if (!state.free.empty()) {
      MagicPair* pair = state.free.back();
      state.free.pop_back();
      return pair;
    }
  }
  // Every pair is busy. Loading takes a while, so it happens outside the
  // pool's lock while other scans take and return pairs.
  bool loaded = false;
  std::unique_ptr<MagicPair> pair = openPair(loaded);
  if (!loaded) {
    closePair(*pair);
    return nullptr;
  }
  const std::lock_guard<std::mutex> hold(state.mutex);
  state.pairs.push_back(std::move(pair));
  return state.pairs.back().get();
}

void release(MagicPair* pair) {
  PoolState& state = pool();
  const std::lock_guard<std::mutex> hold(state.mutex);
  state.free.push_back(pair);
}

const MagicPair* firstPair() {
  PoolState& state = pool();
  const std::lock_guard<std::mutex> hold(state.mutex);
  return state.pairs.empty() ? nullptr : state.pairs.front().get();
}

std::size_t pairCount() {
  PoolState& state = pool();
  const std::lock_guard<std::mutex> hold(state.mutex);
  return state.pairs.size();
}

}  // namespace magic_pool
}  // namespace kpl
