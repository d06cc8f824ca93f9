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

// ---- Image and container probes -----------------------------------------
// PNG chunks walked before the first IDAT. Encoders put a handful of
// ancillary chunks there; past this many the file is taken as a PNG with a
// broken chunk structure rather than walked to its end 12 bytes at a time.
inline constexpr uint32_t kMaxPngChunksBeforeImageData = 65536;
// ASF header objects walked looking for the codec list; real files carry
// about ten. Past this many the header counts as having no codec list.
inline constexpr uint32_t kMaxAsfHeaderObjects = 4096;
// Codec list entries examined; real files have one per stream (at most 127).
inline constexpr uint32_t kMaxAsfCodecEntries = 1024;

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
