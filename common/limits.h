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

// ---- Archives and executables -------------------------------------------
// Records stepped over when the ZIP end record is sought from the start of
// the file. A ZIP without ZIP64 holds at most 65,535 entries, each with a
// local and a central header; a walk longer than this is not over a ZIP.
inline constexpr uint32_t kZipTopWalkMaxRecords = 1u << 20;
// PE resource tree. Real trees are three levels deep (type, name, language)
// with a few thousand entries; hostile ones may overlap directories so that
// a small file names millions of distinct ones. Exceeding any of these
// makes the tree unreadable, like a loop does.
inline constexpr uint32_t kPeResourceMaxDepth = 8;
inline constexpr uint32_t kPeResourceMaxDirectories = 8192;
inline constexpr uint32_t kPeResourceMaxEntries = 65536;
// UTF-16 code units of all resource names of one tree together.
inline constexpr uint64_t kPeResourceMaxNameUnits = 1u << 20;
// Sectors of a raw 2352-byte CD image whose headers are checked. A CD holds
// under 400,000 of them; a larger file of that layout is not a CD image.
inline constexpr uint64_t kRawCdMaxSectors = 2000000;

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
