#include "detect/file_type_groups.h"

namespace kpl {

std::string cacheFileTypeGroups;

const std::string& cachedFileTypeGroupsJson() { return cacheFileTypeGroups; }

}  // namespace kpl
