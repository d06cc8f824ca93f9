// The files a run scans: the paths of a --files-from list, and the files of
// the folders named on the command line.
#pragma once

#include <string>
#include <vector>

#include "tools/host_options.h"

namespace kpl::host {

// Reads the paths of a --files-from list ("-": standard input) onto the end
// of paths. False when the list cannot be read at all.
bool readFileList(const std::string& source, bool nulSeparated, std::vector<std::string>& paths);

// The user's paths as absolute file paths, folders walked; a path that does
// not exist is reported on standard error and counted in missing.
std::vector<std::string> collectFiles(const Options& options, int& missing);

}  // namespace kpl::host
