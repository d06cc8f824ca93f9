// Type groups and their JSON.
#pragma once

#include <string>

namespace kpl {

// The groups JSON built by initFileTypeGroup; empty before init.
const std::string& cachedFileTypeGroupsJson();

}  // namespace kpl
