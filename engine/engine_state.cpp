#include "engine/engine_state.h"

#include <sys/stat.h>

#include "archive/archive_fta_utils.h"
#include "catalogue/file_type_groups.h"
#include "common/common_utils.h"
#include "detect/extension_rules.h"
#include "detect/fallback_signatures.h"
#include "detect/regexp_table.h"
#include "media/autocad_util.h"

namespace kpl {

pthread_mutex_t m_scanLock[kSlotCount];
trid trd[kSlotCount];
std::atomic<const MagicPair*> lastMagicPair[kSlotCount] = {};
std::atomic<int> CURRENT_THREAD_INDEX{0};

namespace {

std::atomic<bool> started{false};
bool lockReady[kSlotCount] = {};

// Closes whatever exists, also what a failed init left half built.
void closeSlots() {
  for (int i = 0; i < kSlotCount; ++i) {
    lastMagicPair[i].store(nullptr);
    if (lockReady[i]) pthread_mutex_destroy(&m_scanLock[i]);
    lockReady[i] = false;
  }
  magic_pool::close();
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

  // One libmagic pair now proves the database loads; scans open more only
  // as they run at once.
  if (!magic_pool::open()) return 1;
  for (int i = 0; i < kSlotCount; ++i) {
    if (trd[i].Init(i) < 1) return 1;
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
  return 0;
}

}  // namespace kpl
