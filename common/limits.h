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

// ---- Compound (OLE2) files ----------------------------------------------
// Table sizes come from header counts; a file may claim anything. These
// bound what one open may allocate whatever the file says (a real file of
// 8 GiB with 512-byte sectors has 2^24 sectors).
inline constexpr std::size_t kMaxCfbSatEntries = std::size_t{1} << 24;
// Directory entries of one file (131072 entries are 16 MiB of directory;
// real documents and installer packages hold a few thousand at most).
inline constexpr std::size_t kMaxCfbDirectoryEntries = std::size_t{1} << 17;
// Sub-storages one depth-first name search may open. Each one rebuilds a
// name index, so the search is quadratic in the worst case without a cap.
inline constexpr std::size_t kMaxCfbStorageSearch = 4096;

// ---- Legacy Office records ----------------------------------------------
// BIFF records one search of a workbook stream may step over. The records
// the classifier looks for (BOF, Template, FilePass before the first
// Window1) stand among the first few dozen of a real workbook.
inline constexpr std::size_t kMaxBiffRecordWalk = std::size_t{1} << 16;

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
