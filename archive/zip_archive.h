// ZIP packages: member extraction through the outside program "7za".
#pragma once

#include <string>
#include <vector>

namespace kpl {

class ZipArchive {
 public:
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
