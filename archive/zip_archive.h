// ZIP packages: member lookup in the central directory (read directly,
// nothing decompressed) and member extraction through the outside program
// "7za".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kpl {

class InputFile;

class ZipArchive {
 public:
  // Position of the end-of-central-directory signature, searched backwards
  // over the last 65,557 bytes (largest comment plus the record), or -1.
  // The last occurrence wins, even one inside the comment.
  static int64_t findEndCentralDirFromBot(const InputFile& file, uint64_t fileSize);
  // Position of the end record reached by stepping over local and central
  // headers from the start of the file, or -1. Fails on a stub before the
  // ZIP data and on entries written with a data descriptor.
  static int64_t findEndCentralDirFromTop(const InputFile& file, uint64_t fileSize);
  // Whether the central directory holds an entry named exactly by the
  // nameLength bytes at name: byte for byte, case-sensitive, no path
  // normalisation. An entry with an empty name ends the lookup.
  static bool checkFileNameExistInZip(const InputFile& file, uint64_t fileSize, const char* name,
                                      uint16_t nameLength);
  // Convenience for literals and strings (names longer than 65,535 bytes
  // cannot be in a ZIP directory).
  static bool checkFileNameExistInZip(const InputFile& file, uint64_t fileSize, const std::string& name);

  // Runs `7za e -so -p"" -i!<memberName> <archivePath>` from the engine's
  // working directory and sets out to the member's content, with 7za's
  // messages merged in (callers look for "ERRORS:" and
  // "ERROR: Wrong password"). The member name may hold 7za wildcards such as
  // "*.fdseq". Every byte of both names reaches 7za verbatim; no shell runs.
  // Output is bounded by limits::kMaxExtractOutputBytes. Returns true.
  static bool readFilesInsideArchiveWith7z(const std::string& archivePath, const std::string& memberName,
                                           std::string& out);
  // The same command; the output bytes are appended to out.
  static bool readFilesInsideArchiveWith7zChar(const std::string& archivePath, const std::string& memberName,
                                               std::vector<char>& out);

  // The argument vector both readers run (exposed for tests).
  static std::vector<std::string> sevenZipArguments(const std::string& archivePath, const std::string& memberName);
};

// 7za prints a damaged archive's complaints ahead of the member's text:
// "\n...ERRORS:\n<lines>\n\n<member>". Drops everything up to the first empty
// line after "ERRORS:" so that what remains is the member; other output is
// returned unchanged.
std::string removeErrorFrom7z(std::string output);

}  // namespace kpl
