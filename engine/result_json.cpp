#include "engine/result_json.h"

#include "catalogue/file_type_groups.h"
#include "common/json_text.h"

namespace kpl {

const char* const typeIDStr = "typeID";
const char* const mimeStr = "type";
const char* const descriptionStr = "description";
const char* const extensionsStr = "extensions";
const char* const encryptedStr = "encrypted";

std::string escapeJsonString(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  json_text::appendEscaped(out, text);
  return out;
}

namespace {

void member(std::string& json, const char* name, const std::string& escapedValue) {
  json += '"';
  json += name;
  json += "\":\"";
  json += escapedValue;
  json += '"';
}

}  // namespace

std::string createOutputJson(std::string typeId, std::string mime, std::string description, std::string extensions,
                             bool encrypted, std::vector<std::string> typeIds) {
  std::string json = "{";
  member(json, typeIDStr, escapeJsonString(typeId));
  json += ',';
  member(json, mimeStr, escapeJsonString(mime));

  // Group ids and additional identifiers are the engine's own short codes
  // and go out unescaped.
  std::string lastGroup = "O";
  json += ",\"groupIDs\":[";
  auto groups = map_TypeToGroupId.find(typeId);
  if (groups == map_TypeToGroupId.end()) {
    json += "\"O\"";
  } else {
    for (std::size_t i = 0; i < groups->second.size(); ++i) {
      if (i) json += ',';
      json += '"' + groups->second[i] + '"';
      lastGroup = groups->second[i];
    }
  }
  json += "],";
  member(json, "groupID", lastGroup);
  json += ',';
  member(json, descriptionStr, escapeJsonString(description));
  json += ',';
  member(json, extensionsStr, escapeJsonString(extensions));
  json += ",\"";
  json += encryptedStr;
  json += encrypted ? "\":true" : "\":false";
  if (!typeIds.empty()) {
    json += ",\"type_ids\":[";
    for (std::size_t i = 0; i < typeIds.size(); ++i) {
      if (i) json += ',';
      // Identifiers may come from the host's extension: escaped like any text.
      json += '"' + escapeJsonString(typeIds[i]) + '"';
    }
    json += ']';
  }
  json += '}';
  return json;
}

}  // namespace kpl
