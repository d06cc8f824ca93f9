// Named limits for everything that reads, loops over or runs on untrusted
// input. Every walk over file data ends on a cycle or at one of these.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kpl::limits {

// ---- External extraction program ("7za") --------------------------------
// A hostile package can hold a member that inflates to gigabytes; the host
// process must never hold more than this of one member's output.
inline constexpr std::size_t kMaxExtractOutputBytes = 64u * 1024u * 1024u;
// A member that takes longer than this to extract is abandoned (the child is
// killed and what arrived so far is returned).
inline constexpr std::chrono::milliseconds kExtractTimeout{30000};

// ---- Settings files and configuration JSON ---------------------------------
// Settings files are a few hundred bytes; only this much of one is read, so
// a huge file (or a wrong path) cannot make the host allocate wildly.
inline constexpr std::size_t kMaxSettingsFileBytes = 1024u * 1024u;
// Configuration input handed over by the host; longer input is not parsed.
inline constexpr std::size_t kMaxConfigInputBytes = 4u * 1024u * 1024u;
// Options nested under "feature" options deeper than this are not written.
inline constexpr int kMaxConfigFeatureDepth = 32;

}  // namespace kpl::limits

namespace kpl::limits {

// ---- libmagic mapping table ---------------------------------------------
// Longest subject handed to the mapping table's patterns (see regexp_table).
inline constexpr std::size_t kMaxMappingSubjectBytes = 4096;

}  // namespace kpl::limits

namespace kpl::limits {

// ---- Signature library ------------------------------------------------------
// Most results of one analysis the scan reads back.
inline constexpr int kMaxSignatureResults = 4096;

}  // namespace kpl::limits
