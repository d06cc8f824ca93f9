// The engine's answers other than scans, printed for a person: versions,
// identification, type groups, properties and configuration.
#pragma once

#include <string>

#include "tools/engine_library.h"
#include "tools/host_options.h"

namespace kpl::host {

// Needs no init.
void printVersion(Engine& engine, const std::string& home);
void printInfo(Engine& engine, const std::string& home);
void printGroups(Engine& engine);
// After applying the NAME=VALUE assignments as a host would; 1 when an
// assignment was refused, else 0.
int printProperties(Engine& engine, const Options& options);
// The schema and configuration JSON the engine makes of a configuration
// file ("-": standard input); 1 when the engine refuses it, 2 when it
// cannot be read.
int printConfig(Engine& engine, const std::string& input);

}  // namespace kpl::host
