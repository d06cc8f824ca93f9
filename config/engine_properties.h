// The engine's user-visible properties, kept in a map the host owns.
#pragma once

#include <string>
#include <string_view>

#include "kpl_engine_config.h"

namespace kpl {

inline constexpr int kPropertyOk = 0;
inline constexpr int kPropertyBadValue = 50;
inline constexpr int kPropertyUnknown = 55;

void createBasicSupportedProperties(PropertyMap& map);
// The listed properties as a JSON array in name order, or "[]".
std::string propertyListJson(const PropertyMap& map);
// An empty name asks for the list, any other for that property's value.
int getEngineProperties(const PropertyMap& map, const std::string& name, std::string& out);
int validateAndSetPropertyToMap(PropertyMap& map, const std::string& name, std::string_view value,
                                bool honourReadOnly);

}  // namespace kpl
