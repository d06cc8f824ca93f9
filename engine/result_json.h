// The result JSON: one object on one line, members in a fixed order.
#pragma once

#include <string>
#include <vector>

namespace kpl {

extern const char* const typeIDStr;       // "typeID"
extern const char* const mimeStr;         // "type"
extern const char* const descriptionStr;  // "description"
extern const char* const extensionsStr;   // "extensions"
extern const char* const encryptedStr;    // "encrypted"

// {"typeID":..,"type":..,"groupIDs":[..],"groupID":..,"description":..,
//  "extensions":..,"encrypted":..[,"type_ids":[..]]}
std::string createOutputJson(std::string typeId, std::string mime, std::string description, std::string extensions,
                             bool encrypted, std::vector<std::string> typeIds);

// Escapes backspace, tab, line feed, form feed, carriage return, double
// quote and backslash; every other byte is copied as it is.
std::string escapeJsonString(const std::string& text);

}  // namespace kpl
