// Definitions of the signature library: how a file type is recognised.
//
// A definitions package is a directory of text files ending in ".trd", read
// in name order. Each file holds definitions, one block each:
//
//   # MPEG-4 audio: an ISO media file whose major brand is "M4A ".
//   def M4A/MP4
//     type   AAC Audio in MP4
//     brand  "M4A "
//     box    "moov"
//     bonus  20
//   end
//
// "def" names the extension text (upper case, several joined with "/", as in
// "MPG/MPEG"); "type" is the file-type text (the rest of the line). Every
// other line is a clause, and a definition matches when all its clauses do.
//
// Bytes, at fixed places or within a leading window:
//   at <offset> <bytes>       bytes at an offset from the start of the file
//   atend <distance> <bytes>  bytes starting <distance> bytes before the end
//   find <window> <bytes>     bytes anywhere within the first <window> bytes
//   findi <window> <bytes>    the same, ASCII letters matched in any case
//   findend <window> <bytes>  bytes anywhere within the last <window> bytes
// Structure, where bytes alone cannot decide:
//   riff <form>               a RIFF (or RIFX) file of this form type
//   brand <4cc>...            an ISO media file (an "ftyp" box first) whose
//                             major brand is one of these
//   compatible <4cc>...       an ISO media file listing one of these among
//                             its brands, the major brand included
//   box <4cc>                 a top-level ISO media box of this type, among
//                             the boxes that start within the head
//   pe any|exe|dll            a PE image (MZ header, then the PE signature);
//                             exe and dll follow the image's DLL flag
//   ole <name>                a compound file with a directory entry of this
//                             name (case-insensitive), among the directory
//                             sectors that the head and tail hold
//   oleclsid <bytes>          a compound file whose root entry carries this
//                             16-byte class id
// Text: the first kTextWindow characters of the head, read as ASCII or
// UTF-8, or as UTF-16 when the head starts with a byte-order mark or with
// "<" and a zero byte:
//   text                      they are text (no zero and no stray control
//                             characters)
//   words <window> <min> <word>...
//                             at least <min> of the words occur within the
//                             first <window> characters, in any case and
//                             not as part of a longer word
//   xml                       the text starts with an XML declaration
//   xmlroot <name>            the first element, after the declaration,
//                             processing instructions, comments and the
//                             document type, has this name (exact case; a
//                             name without a prefix also matches prefixed)
//   xmlns <uri>               the first element declares this namespace
//   xmlpi <target> [<text>]   a processing instruction before the first
//                             element has this target (and contains <text>)
// Points:
//   bonus <points>            extra points for the definition as a whole
//
// <bytes> is a sequence of hex pairs ("??" matches any byte) and quoted
// strings ("\\", "\"", "\n", "\r", "\t", "\0" and "\xNN" escapes); a clause
// may mix both. <4cc>, <name>, <word>, <uri>, <target> and <text> are quoted
// strings; <form> is <bytes> of length 4.
//
// Points: each fixed byte of "at"/"atend" earns kPointsPerAnchoredByte, each
// byte of "find"/"findi"/"findend" kPointsPerFoundByte, each structural clause its
// constant below, each word found kPointsPerFoundByte per character, plus
// the bonus; so a longer, more specific signature outranks a generic one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tridlib {

// One read of the head and one of the tail serve every definition.
inline constexpr std::size_t kHeadWindow = 64 * 1024;
inline constexpr std::size_t kTailWindow = 4 * 1024;
// Text clauses read the head's first characters only: whether a file is
// text, its keywords and the start of an XML document show there.
inline constexpr std::size_t kTextWindow = 16 * 1024;
inline constexpr std::size_t kMaxTextLength = 1023;  // texts fit GetInfo's 1024-byte buffer

inline constexpr unsigned kPointsPerAnchoredByte = 10;
inline constexpr unsigned kPointsPerFoundByte = 5;
inline constexpr unsigned kPointsRiff = 80;         // as the 8 bytes "RIFF" and the form type
inline constexpr unsigned kPointsBrand = 120;
inline constexpr unsigned kPointsCompatible = 60;
inline constexpr unsigned kPointsBox = 60;
inline constexpr unsigned kPointsPe = 60;
inline constexpr unsigned kPointsPeKind = 80;
inline constexpr unsigned kPointsOle = 100;         // the compound-file magic and one named entry
inline constexpr unsigned kPointsText = 10;
inline constexpr unsigned kPointsXml = 50;
inline constexpr unsigned kPointsXmlRoot = 100;
inline constexpr unsigned kPointsXmlNamespace = 60;
inline constexpr unsigned kPointsXmlPi = 60;

enum class ClauseKind {
  At, AtEnd, Find, FindNoCase, FindEnd,
  Riff, Brand, Compatible, Box, Pe, Ole, OleClsid,
  Text, Words, Xml, XmlRoot, XmlNamespace, XmlPi,
};

enum class PeKind { Any, Exe, Dll };

struct Clause {
  ClauseKind kind = ClauseKind::At;
  std::size_t position = 0;        // offset, distance from the end, or window
  std::size_t minimum = 0;         // Words: how many must occur
  std::vector<uint8_t> bytes;      // the byte pattern (At, AtEnd, Find, FindNoCase, Riff, OleClsid)
  std::vector<uint8_t> wildcard;   // 1 where bytes[i] matches anything
  std::vector<std::string> texts;  // brands, a name, words (lower case), a URI, a target and its text
  PeKind pe = PeKind::Any;
  unsigned points = 0;             // what the clause earns (Words: per character of a word found)
};

struct Definition {
  std::string extension;   // "PNG", "MPG/MPEG"
  std::string fileType;    // "Portable Network Graphics"
  std::vector<Clause> clauses;  // cheapest first
  unsigned points = 0;     // what a match earns from its fixed clauses and bonus
  int firstByte = -1;      // the byte the file must start with, when a clause fixes it
  std::string origin;      // "images.trd:3", for error messages
};

// Parses the text of one definitions file. On a syntax error returns false
// and describes it (with the line number) in error.
bool parseDefinitions(const std::string& text, const std::string& fileName, std::vector<Definition>& out,
                      std::string& error);

// Loads every "*.trd" file of a directory, in name order. False when the
// directory cannot be read, holds no definition, or any file has an error.
bool loadDefinitionsDirectory(const std::string& directory, std::vector<Definition>& out, std::string& error);

}  // namespace tridlib
