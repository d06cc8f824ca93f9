// The two stores of strings handed to the host. The host gets the character
// data of an engine-owned copy and gives it back by pointer identity.
#pragma once

#include <cstddef>

namespace kpl {

// Registers a copy of text; null for null. Valid until freeString.
const char* addString(const char* text);
// Releases the string whose data is exactly *text and nulls *text; a
// pointer the store does not hold changes nothing.
void freeString(const char** text);
// How many registered strings the host still holds: what a host that never
// gives strings back costs, and what a leak of the engine's own shows as.
std::size_t registeredStringCount();

// Stores a copy under a fresh random key in [2, 2^31 - 1]; *key = 0 for null.
const char* addScanString(const char* text, int* key);
void freeScanString(int key);
// The text stored under key, or null. The pointer stays valid until the
// entry is freed.
const char* findScanString(int key);

}  // namespace kpl
