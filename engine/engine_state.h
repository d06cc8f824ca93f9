// Process-wide engine state: the 30 scan slots and the tables init builds.
// Everything here is filled by init (or at load) and only read afterwards,
// except each slot's libmagic handles and signature-library instance, which
// are used only under that slot's lock.
#pragma once

#include <magic.h>
#include <pthread.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "detect/trid_bridge.h"

namespace kpl {

inline constexpr int kSlotCount = 30;

extern magic_t myt[kSlotCount];       // description answers
extern magic_t myt_mime[kSlotCount];  // MIME-type answers
extern pthread_mutex_t m_scanLock[kSlotCount];
extern trid trd[kSlotCount];
extern std::atomic<int> CURRENT_THREAD_INDEX;

// The signature library's extensions of Office Open XML packages
// (signature_rewrite_table.cpp).
extern const std::vector<std::string> officeOpenXmlExtensions;

// The slot for the next scan: 0, 1, ..., 29, 0, ... also under racing calls.
int getThreadIndex();

int initEngine();
int deinitEngine();

}  // namespace kpl
