// The command line of kpl-filetype: what the user asked for.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kpl::host {

struct Options {
  std::string home;
  bool info = false;
  bool groups = false;
  bool properties = false;
  std::vector<std::string> propertyAssignments;  // NAME=VALUE
  bool config = false;
  std::string configInput;  // a file, or "-" for standard input
  bool table = false;
  int extension = -1;  // 1: kplFileType with each file's extension, 0: scan; -1: decided by the output form
  bool recursive = true;
  int jobs = 0;
  bool version = false;
  std::string filesFrom;      // a list of paths to scan, or "-" for standard input
  bool nulSeparated = false;  // the list's entries end with NUL instead of a newline
  std::vector<std::string> paths;
};

// The help text: one option per line, continuation lines indented.
void usage(FILE* out);

// False for a usage error, and for a command line that asks for nothing.
bool parseArgs(int argc, char** argv, Options& options);

}  // namespace kpl::host
