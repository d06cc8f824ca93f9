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
// quote and backslash with their short forms and every other byte below 0x20
// as \u00XX; an ill-formed UTF-8 sequence (libmagic copies raw bytes of the
// file into its descriptions) becomes U+FFFD. Valid text is unchanged, so
// every answer parses as JSON whatever the file held.
std::string escapeJsonString(const std::string& text);

}  // namespace kpl
