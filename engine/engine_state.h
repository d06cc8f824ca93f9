// Process-wide engine state: the 30 scan slots and the tables init builds.
// Everything here is filled by init (or at load) and only read afterwards,
// except each slot's signature-library instance, which is used only under
// that slot's lock, and the libmagic handle pairs, which a scan takes from
// the pool (engine/magic_pool.h) while it holds its slot's lock.
#pragma once

#include <pthread.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "detect/trid_bridge.h"
#include "engine/magic_pool.h"

namespace kpl {

inline constexpr int kSlotCount = 30;

extern pthread_mutex_t m_scanLock[kSlotCount];
extern trid trd[kSlotCount];
// The libmagic pair each slot's last scan used, for getLastError; null
// before the slot's first scan.
extern std::atomic<const MagicPair*> lastMagicPair[kSlotCount];
extern std::atomic<int> CURRENT_THREAD_INDEX;

// The signature library's extensions of Office Open XML packages
// (signature_rewrite_table.cpp).
extern const std::vector<std::string> officeOpenXmlExtensions;

// The slot for the next scan: 0, 1, ..., 29, 0, ... also under racing calls.
int getThreadIndex();

// init builds every table from empty and opens the slots; a second init
// before deinit does nothing and returns 0. deinit closes the slots; init
// may follow again.
int initEngine();
int deinitEngine();
// Between a successful init and deinit: only then may a scan use the slots.
bool engineStarted();

}  // namespace kpl
