// The scan itself: a pool of worker threads asks the engine about each file
// and prints the answers in list order.
#pragma once

#include <string>
#include <vector>

#include "tools/engine_library.h"
#include "tools/host_options.h"

namespace kpl::host {

// Scans the files, prints one line each and the summary. 0 when every file
// was scanned, 1 when any failed, 2 when the engine cannot do what the
// options ask.
int scanAll(Engine& engine, const Options& options, const std::vector<std::string>& files);

}  // namespace kpl::host
