// Named limits for everything that reads, loops over or runs on untrusted
// input. Every walk over file data ends on a cycle or at one of these.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kpl::limits {

// ---- Per-scan input -----------------------------------------------------
// A scan reads the file's head and tail once; probes' small reads there are
// served from memory. The tail window covers the ZIP end record search
// (65,535 bytes of comment plus the 22-byte record) with room to spare.
// The read-ahead window serves forward walks over headers (ZIP local
// headers, PNG chunks, MP3 frames) one block at a time. Three windows per
// scan, whatever the file's size.
inline constexpr std::size_t kInputHeadWindow = 64u * 1024u;
inline constexpr std::size_t kInputTailWindow = 72u * 1024u;
inline constexpr std::size_t kInputReadAhead = 64u * 1024u;
// Bytes of member names one ZIP directory index may hold. A directory has at
// most 65,535 entries (without ZIP64), but each name may be 65,535 bytes;
// real packages hold a few hundred kilobytes of names at most. Entries past
// this are not indexed, as if the directory ended there.
inline constexpr std::size_t kZipIndexMaxNameBytes = 16u * 1024u * 1024u;

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

// ---- Audio probes ----------------------------------------------------------
// Where the MPEG audio scan may still look for its first frame or ID3v2 tag;
// past this offset a byte that starts nothing ends the scan.
inline constexpr uint64_t kMp3SyncSearchWindow = 1024;
// How far past the end of the last frame a junk byte may lie before the
// scan gives up; past the search window frames must follow each other
// directly.
inline constexpr uint64_t kMp3MaxJunkBetweenFrames = 15;
// Valid frames, each within the tolerated junk of the last, that make a
// stream MPEG audio; the scan stops there.
inline constexpr int kMp3RequiredFrames = 11;

// ---- AutoCAD, Atari, PST -------------------------------------------------
// A text DXF line longer than this is not a DXF line; gathering stops.
inline constexpr std::size_t kDxfMaxLineLength = 1024;
// Lines and bytes of a text DXF header read while looking for $ACADVER or
// the end of the HEADER section. Real headers are a few thousand lines.
inline constexpr int kDxfMaxHeaderLines = 65536;
inline constexpr uint64_t kDxfMaxHeaderBytes = 4u * 1024u * 1024u;
// Segments after the first that the Atari load-file walk follows.
inline constexpr int kAtariMaxSegments = 5;

// ---- Settings files and configuration JSON ---------------------------------
// Settings files are a few hundred bytes; only this much of one is read, so
// a huge file (or a wrong path) cannot make the host allocate wildly.
inline constexpr std::size_t kMaxSettingsFileBytes = 1024u * 1024u;
// Configuration input handed over by the host; longer input is not parsed.
inline constexpr std::size_t kMaxConfigInputBytes = 4u * 1024u * 1024u;
// Options nested under "feature" options deeper than this are not written.
inline constexpr int kMaxConfigFeatureDepth = 32;

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

// ---- libmagic mapping table ---------------------------------------------
// Longest subject handed to the mapping table's patterns (see regexp_table).
inline constexpr std::size_t kMaxMappingSubjectBytes = 4096;

// ---- Signature library ------------------------------------------------------
// Most results of one analysis the scan reads back.
inline constexpr int kMaxSignatureResults = 4096;
// The stand-in library's own walks over a file's head: top-level ISO media
// boxes followed, brands read from an "ftyp" box, and items (declaration,
// processing instructions, comments, document type) skipped before an XML
// document's first element.
inline constexpr int kTridMaxIsoBoxes = 64;
inline constexpr int kTridMaxIsoBrands = 64;
inline constexpr int kTridMaxXmlPrologItems = 64;
// Longest definitions file the library reads; the shipped ones are a few KiB.
inline constexpr std::size_t kTridMaxDefinitionsFileBytes = 4u * 1024u * 1024u;

}  // namespace kpl::limits

namespace kpl::limits {

// ---- HTML/XML tag reader ----------------------------------------------------
// Most bytes of one file the tag reader holds. Web pages and XML documents
// are rarely above a few MiB; a longer file is read only this far (tags past
// it are not collected), so 30 scans at once hold at most about half a GiB.
inline constexpr std::size_t kMaxTagDocumentBytes = 16u * 1024u * 1024u;
// Bytes read at a time while checking that a file begins like a tag
// document, before any of it is held whole.
inline constexpr std::size_t kTagDocumentLeadChunk = 4096;

// ---- Text formats -----------------------------------------------------------
// Block in which the text probes read a file front to back; it is the only
// part of a text file they hold, whatever the file's size.
inline constexpr std::size_t kTextReadBlockBytes = 64u * 1024u;
// Bytes of a message header read before it is judged on the fields read so
// far, as at the line limit. A header line is at most 998 bytes by the
// message format, so this covers several thousand maximal lines; real
// headers are a few KiB, and 30 concurrent scans stay well under 300 MiB.
inline constexpr std::size_t kMimeMaxHeaderBytes = 8u * 1024u * 1024u;
// Characters of a calendar token kept for the rules. They compare tokens
// with words of at most six letters; only component names on the stack of
// open components must be kept whole.
inline constexpr std::size_t kCalendarTokenKeepBytes = 256;
// Bytes of component names open at once. Real calendars nest three deep
// (calendar, event, alarm); a deeper or longer-named nesting is not taken
// as a calendar instead of being held in memory.
inline constexpr std::size_t kCalendarMaxOpenComponentBytes = 64u * 1024u;
// Characters of a tag name kept by the classifying tag scan. Every name it
// compares is shorter; of a longer name only its length and the
// declaration markers ("?xml", "!doctype", ...) found in it are kept.
inline constexpr std::size_t kTagNameKeepBytes = 64;

// ---- PDF -----------------------------------------------------------------
// The Illustrator marker search reads the whole file; it does so in chunks
// of this size (a multiple of the 1024-byte blocks it searches) so that a
// large PDF costs a few hundred reads, not a million.
inline constexpr std::size_t kPdfMarkerChunkBytes = 1024u * 1024u;
// The password test hands a file to libqpdf only when "/Encrypt" occurs
// within this many bytes of its start (the first-page trailer of a
// linearized file) or of its end (the last trailer or cross-reference
// stream dictionary). Real files keep their trailers there; an unencrypted
// PDF, the common case, then never reaches the library.
inline constexpr uint64_t kPdfEncryptSearchWindow = 4u * 1024u * 1024u;
// Bytes libqpdf may read from one file. Opening needs the cross-reference
// data and the encryption dictionary, a few MiB even for a PDF with a
// million objects; past this the file counts as not password-protected.
inline constexpr uint64_t kPdfQpdfMaxReadBytes = 32u * 1024u * 1024u;
// What the streams libqpdf decodes while opening one file (cross-reference
// and object streams) may decode to, all together. It keeps each decoded
// stream in memory whole; a cross-reference stream of a million objects is
// about 7 MiB decoded.
inline constexpr uint64_t kPdfMaxDecodedStreamBytes = 32u * 1024u * 1024u;
// Largest file whose damaged cross-reference table libqpdf may rebuild.
// Rebuilding tokenizes the whole file, up to four times over, and keeps an
// entry for every object it finds, so its time and memory follow the
// file's size; four passes over this size stay inside kPdfQpdfMaxReadBytes.
inline constexpr uint64_t kPdfRecoveryMaxFileBytes = 4u * 1024u * 1024u;
static_assert(4 * kPdfRecoveryMaxFileBytes <= kPdfQpdfMaxReadBytes);

}  // namespace kpl::limits
