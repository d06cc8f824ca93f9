#include "config/engine_properties.h"

namespace kpl {

void createBasicSupportedProperties(PropertyMap& map) {
  map.clear();
  for (const char* name : {"extract_archive", "heuristic_scan"}) {
    EngineProperty& p = map[name];
    p.name = name;
    p.availableValues = "|0|1|";
    p.listed = true;
    p.readOnly = false;
  }
}

std::string propertyListJson(const PropertyMap& map) {
  // Hosts read this text with a fixed layout; names and values are written
  // as they are (property names and their values are plain tokens).
  std::string json = "[";
  for (const auto& [name, p] : map) {
    if (!p.listed) continue;
    json += "{\"prop_name\":\"" + name + "\",\"prop_value\":\"" + p.value + "\",\"available_value\":\"" +
            p.availableValues + "\",\"read_only\":" + (p.readOnly ? "1" : "0") + "},";
  }
  if (json.size() > 1) json.pop_back();
  json += "]";
  return json;
}

int getEngineProperties(const PropertyMap& map, const std::string& name, std::string& out) {
  if (name.empty()) {
    out = propertyListJson(map);
    return kPropertyOk;
  }
  auto it = map.find(name);
  if (it == map.end()) return kPropertyUnknown;
  out = it->second.value;
  return kPropertyOk;
}

int validateAndSetPropertyToMap(PropertyMap& map, const std::string& name, std::string_view value,
                                bool honourReadOnly) {
  auto it = map.find(name);
  if (it == map.end()) return kPropertyUnknown;
  EngineProperty& p = it->second;
  if (honourReadOnly && p.readOnly) return kPropertyBadValue;
  if (!p.availableValues.empty() &&
      p.availableValues.find("|" + std::string(value) + "|") == std::string::npos)
    return kPropertyBadValue;
  p.value = std::string(value);
  return kPropertyOk;
}

}  // namespace kpl
