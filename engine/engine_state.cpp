#include "engine/engine_state.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/archive_fta_utils.h"
#include "catalogue/file_type_groups.h"
#include "common/common_utils.h"
#include "detect/extension_rules.h"
#include "detect/fallback_signatures.h"
#include "detect/regexp_table.h"
#include "media/autocad_util.h"

namespace kpl {

magic_t myt[kSlotCount] = {};
magic_t myt_mime[kSlotCount] = {};
pthread_mutex_t m_scanLock[kSlotCount];
trid trd[kSlotCount];
std::atomic<int> CURRENT_THREAD_INDEX{0};

namespace {

constexpr const char* kMagicDatabase = "database/magic/magic.mgc";
constexpr int kDescriptionFlags = MAGIC_RAW | MAGIC_ERROR;
constexpr int kMimeFlags = MAGIC_MIME_TYPE | MAGIC_RAW | MAGIC_ERROR;
// First word of a compiled database in this machine's byte order.
constexpr uint32_t kCompiledMagicNumber = 0xF11E041C;

// The compiled database, mapped once for all 60 handles. libmagic keeps
// pointing into these bytes instead of copying them, so every handle shares
// one mapping (instead of 60 private mappings of several MiB each that every
// handle faults in on its own), and the mapping must outlive the handles:
// deinit unmaps it only after closing every handle. A second init reuses
// it, so handles an earlier init left open stay valid. Mapped the way
// libmagic maps a database itself (private, writable).
void* g_magicDatabase = nullptr;
std::size_t g_magicDatabaseSize = 0;

void mapMagicDatabase() {
  const int fd = ::open(kMagicDatabase, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const auto size = static_cast<std::size_t>(st.st_size);
    void* bytes = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    // libmagic byte-swaps a database of the other byte order in place while
    // loading it, so such a database cannot be shared: each handle then
    // loads the path on its own, as before.
    uint32_t magicNumber = 0;
    if (bytes != MAP_FAILED && size >= sizeof(magicNumber)) std::memcpy(&magicNumber, bytes, sizeof(magicNumber));
    if (bytes != MAP_FAILED && magicNumber == kCompiledMagicNumber) {
      g_magicDatabase = bytes;
      g_magicDatabaseSize = size;
    } else if (bytes != MAP_FAILED) {
      ::munmap(bytes, size);
    }
  }
  ::close(fd);
}

// Loads one handle from the shared bytes. When the database could not be
// read, libmagic loads the path itself, so that the failure leaves its own
// message for getLastError.
int loadMagicDatabase(magic_t handle) {
  if (g_magicDatabase == nullptr) return magic_load(handle, kMagicDatabase);
  void* buffers[] = {g_magicDatabase};
  std::size_t sizes[] = {g_magicDatabaseSize};
  return magic_load_buffers(handle, buffers, sizes, 1);
}

std::atomic<bool> started{false};
bool lockReady[kSlotCount] = {};

// Closes whatever slots exist, also those a failed init left half built.
void closeSlots() {
  for (int i = 0; i < kSlotCount; ++i) {
    if (myt[i] != nullptr) magic_close(myt[i]);
    if (myt_mime[i] != nullptr) magic_close(myt_mime[i]);
    myt[i] = nullptr;
    myt_mime[i] = nullptr;
    if (lockReady[i]) pthread_mutex_destroy(&m_scanLock[i]);
    lockReady[i] = false;
  }
}

}  // namespace

bool engineStarted() { return started.load(std::memory_order_acquire); }

int getThreadIndex() {
  // A compare-and-exchange loop: the counter itself never holds 30, so a
  // reader of CURRENT_THREAD_INDEX (getLastError) never sees a bad slot.
  int current = CURRENT_THREAD_INDEX.load(std::memory_order_relaxed);
  int next;
  do {
    next = current + 1 == kSlotCount ? 0 : current + 1;
  } while (!CURRENT_THREAD_INDEX.compare_exchange_weak(current, next, std::memory_order_relaxed));
  return current;
}

int initEngine() {
  // A second init while running changes nothing: rebuilding under the feet
  // of a host that already scans would be worse than keeping what works.
  if (engineStarted()) return 0;
  closeSlots();
  // The mapping table is built first, before any libmagic handle exists.
  regexpTable.init();

  if (g_magicDatabase == nullptr) mapMagicDatabase();
  for (int i = 0; i < kSlotCount; ++i) {
    myt[i] = magic_open(kDescriptionFlags);
    myt_mime[i] = magic_open(kMimeFlags);
    if (myt[i] == nullptr || myt_mime[i] == nullptr) return 1;
    if (trd[i].Init(i) < 1) return 1;
    if (loadMagicDatabase(myt[i]) != 0) return 1;
    if (loadMagicDatabase(myt_mime[i]) != 0) return 1;
    if (pthread_mutex_init(&m_scanLock[i], nullptr) != 0) return 1;
    lockReady[i] = true;
  }

  currentDir = CommonUtils::getCurrentDir();
  if (currentDir.empty()) return 1;

  // The extraction program must be executable. chmod(2), not a shell, and
  // 0755, not 0777: a world-writable program the engine runs would let any
  // local user run code inside the host. Failure (a read-only home) is fine
  // as long as the file was executable already.
  ::chmod((currentDir + "7za").c_str(), 0755);

  initFileTypeGroup();
  initISOVecSignatures();
  initFallBackSignatures();

  CURRENT_THREAD_INDEX.store(0);
  initExtensionRules();
  AutoCADUtil::init();
  // The archive tables come last, after the AutoCAD tables.
  ArchiveFTAUtils::init();
  started.store(true, std::memory_order_release);
  return 0;
}

int deinitEngine() {
  started.store(false, std::memory_order_release);
  closeSlots();
  if (g_magicDatabase != nullptr) ::munmap(g_magicDatabase, g_magicDatabaseSize);  // no handle points into it now
  g_magicDatabase = nullptr;
  g_magicDatabaseSize = 0;
  return 0;
}

}  // namespace kpl
