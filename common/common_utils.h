// Small helpers shared by every subsystem.
#pragma once

#include <chrono>
#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "common/limits.h"

namespace kpl {

// The process's working directory with a trailing "/", found by init. The
// extraction program "7za" is run from here.
extern std::string currentDir;

// How a child program's merged standard output and standard error are read.
struct RunLimits {
  std::size_t maxOutputBytes = limits::kMaxExtractOutputBytes;
  std::chrono::milliseconds timeout = limits::kExtractTimeout;
};

// What became of a child program.
struct RunResult {
  bool started = false;     // the program could be started at all
  bool truncated = false;   // output reached maxOutputBytes; the child was killed
  bool timedOut = false;    // the timeout passed; the child was killed
  int exitStatus = -1;      // exit code when it exited normally, else -1
};

class CommonUtils {
 public:
  // getcwd with a trailing "/" (unless it already ends in "/" or "\");
  // empty on failure.
  static std::string getCurrentDir();

  // Wraps every run of whitespace in double quotes, then puts a backslash in
  // front of each of ( ) [ ] { }. Kept for hosts that build shell text; the
  // engine itself never hands a path to a shell.
  static void replaceSpaceInPath(std::string& path);

  // Runs argv[0] (a path, not searched in PATH) with the arguments argv[1..]
  // passed verbatim: no shell is involved, so no byte of an argument is ever
  // interpreted. Standard output and standard error are merged, standard
  // input is /dev/null, and reading stops at the limits (the child is then
  // killed). Returns the output; empty when the program could not be run.
  static std::string executeCommandAndGetOutput(const std::vector<std::string>& argv);
  // The same, appending exactly the bytes the program wrote to out. Returns
  // whether the program could be started.
  static bool executeCommandAndGetOutputChar(const std::vector<std::string>& argv, std::vector<char>& out);

  // Reads one line ending in a line feed, a carriage return, or a carriage
  // return and line feed (taken as one end), whichever the file uses; the end
  // is not stored. At end of file with nothing read it sets eofbit. A line
  // that would grow past maxLength characters sets failbit instead, with the
  // first maxLength characters in line: untrusted text may hold no line end
  // at all, and the caller decides how long a line may be.
  static std::istream& safeGetline(std::istream& in, std::string& line,
                                   std::size_t maxLength = std::string::npos);

  // The value of the first member named key in a result JSON, read back as
  // written: the text after the key's ':' up to the next ',"' (or the end),
  // without its enclosing quotes when it has any and without a closing '}'.
  // Escapes stay as they are, and a value holding ',"' is cut there. Empty
  // when the key is absent.
  static std::string getValueOf(const std::string& key, const std::string& json);

  // Removes every space character (0x20); tabs and other blanks stay.
  static void removeSpace(std::string& text);

  // Whether part occurs in text (never for an empty part), by the same
  // search as searchInBinary: content-type lists repeat a long prefix in
  // every entry, and a naive search would restart at each.
  static bool contains(std::string_view text, std::string_view part);

  // A..Z to a..z and nothing else, whatever locale the host has set: names
  // and keywords in files are ASCII, and other bytes must stay as they are.
  static std::string toLowerAscii(std::string text);

  // Offset of the first occurrence of needle lying wholly inside the first
  // haystackLength bytes, or -1 (also for an empty needle).
  static long searchInBinary(const unsigned char* haystack, std::size_t haystackLength, const unsigned char* needle,
                             std::size_t needleLength);

  // The runner behind both, with explicit limits and the outcome.
  static RunResult runProgram(const std::vector<std::string>& argv, std::vector<char>& out,
                              const RunLimits& limits = RunLimits());
};

}  // namespace kpl
