// The allocator settings the host runs with (allocator_settings.cpp).
#pragma once

namespace kpl::host {

// Restarts this program once with its own GLIBC_TUNABLES, unless the user
// set one; returns only when no restart happened.
void adoptAllocatorSettings(char** argv);

}  // namespace kpl::host
