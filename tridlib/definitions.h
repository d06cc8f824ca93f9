// Definitions of the signature library: how a file type is recognised.
//
// A definitions package is a directory of text files ending in ".trd", read
// in name order. Each file holds definitions, one block each:
//
//   # Portable Network Graphics: 8-byte magic, then the IHDR chunk.
//   def PNG
//     type    Portable Network Graphics
//     at 0    89 50 4E 47 0D 0A 1A 0A
//     at 12   "IHDR"
//     atend 8 49 45 4E 44 ?? ?? ?? ??
//     find 4096 "tEXt"
//     findi 512 "<svg"
//     bonus 50
//   end
//
// "def" names the extension text (upper case, several joined with "/", as in
// "MPG/MPEG"); "type" is the file-type text (the rest of the line). A clause
// is one of:
//   at <offset> <bytes>       bytes at an offset from the start of the file
//   atend <distance> <bytes>  bytes starting <distance> bytes before the end
//   find <window> <bytes>     bytes anywhere within the first <window> bytes
//   findi <window> <bytes>    the same, ASCII letters matched in any case
//   bonus <points>            extra points for the definition as a whole
// <bytes> is a sequence of hex pairs ("??" matches any byte) and quoted
// strings ("\\", "\"", "\n", "\r", "\t", "\0" and "\xNN" escapes); a clause
// may mix both. A definition matches when every clause matches. It earns
// kPointsPerAnchoredByte for each fixed byte of its "at"/"atend" clauses,
// kPointsPerFoundByte for each byte of its "find"/"findi" clauses, and its
// bonus, so that a longer, more specific signature outranks a generic one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tridlib {

// One read of the head and one of the tail serve every definition.
inline constexpr std::size_t kHeadWindow = 64 * 1024;
inline constexpr std::size_t kTailWindow = 4 * 1024;
inline constexpr std::size_t kMaxTextLength = 1023;  // texts fit GetInfo's 1024-byte buffer
inline constexpr unsigned kPointsPerAnchoredByte = 10;
inline constexpr unsigned kPointsPerFoundByte = 5;

enum class ClauseKind { At, AtEnd, Find, FindNoCase };

struct Clause {
  ClauseKind kind = ClauseKind::At;
  std::size_t position = 0;        // offset, distance from the end, or window
  std::vector<uint8_t> bytes;      // the pattern
  std::vector<uint8_t> wildcard;   // 1 where bytes[i] matches anything (At/AtEnd only)
};

struct Definition {
  std::string extension;   // "PNG", "MPG/MPEG"
  std::string fileType;    // "Portable Network Graphics"
  std::vector<Clause> clauses;  // anchored clauses first: they are the cheap ones
  unsigned points = 0;     // what a match earns, computed when parsed
  std::string origin;      // "png.trd:3", for error messages
};

// Parses the text of one definitions file. On a syntax error returns false
// and describes it (with the line number) in error.
bool parseDefinitions(const std::string& text, const std::string& fileName, std::vector<Definition>& out,
                      std::string& error);

// Loads every "*.trd" file of a directory, in name order. False when the
// directory cannot be read, holds no definition, or any file has an error.
bool loadDefinitionsDirectory(const std::string& directory, std::vector<Definition>& out, std::string& error);

}  // namespace tridlib
