#include "engine/engine_state.h"

#include <sys/stat.h>

#include "archive/archive_fta_utils.h"
#include "common/common_utils.h"
#include "detect/extension_rules.h"
#include "detect/fallback_signatures.h"
#include "detect/file_type_groups.h"
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

}  // namespace

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
  // The mapping table is built first, before any libmagic handle exists.
  regexpTable.init();

  for (int i = 0; i < kSlotCount; ++i) {
    myt[i] = magic_open(kDescriptionFlags);
    myt_mime[i] = magic_open(kMimeFlags);
    if (myt[i] == nullptr || myt_mime[i] == nullptr) return 1;
    if (trd[i].Init(i) < 1) return 1;
    if (magic_load(myt[i], kMagicDatabase) != 0) return 1;
    if (magic_load(myt_mime[i], kMagicDatabase) != 0) return 1;
    if (pthread_mutex_init(&m_scanLock[i], nullptr) != 0) return 1;
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
  return 0;
}

int deinitEngine() {
  for (int i = 0; i < kSlotCount; ++i) {
    if (myt[i] != nullptr) magic_close(myt[i]);
    if (myt_mime[i] != nullptr) magic_close(myt_mime[i]);
    myt[i] = nullptr;
    myt_mime[i] = nullptr;
    pthread_mutex_destroy(&m_scanLock[i]);
  }
  return 0;
}

}  // namespace kpl
