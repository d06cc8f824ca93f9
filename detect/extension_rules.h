// Extension rules for the file-type entry point: formats whose bytes cannot
// tell siblings apart (a PowerPoint presentation, show and template; the
// Visio 2003-2010 and Visio XML kinds; an MHTML archive and an e-mail
// message) are told apart by the extension the host passes, and the
// extension reported in the additional type identifiers is normalised.
//
// Extensions here are upper case. The record's fields come in the order
// type identifier, MIME type, description, extension list, encrypted flag.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kpl {

// Filled by initExtensionRules (init), read-only afterwards.
extern std::map<std::string, std::string> listAlterExtensions;                          // "HTM" -> "HTML"
extern std::vector<std::string> listTypeIdwithNoExtensions;                             // encrypted kinds
extern std::map<std::string, std::vector<std::string>> listTypeIdAlterByExtension;      // detected -> siblings

// Builds the three tables from empty (so a second init does not repeat rows).
void initExtensionRules();

// When the detected identifier has siblings and the extension names one of
// them, writes that sibling's record.
void changeFTAElementsBasedOnExtension(std::string& typeId, std::string& mime, std::string& description,
                                       std::string& extensions, bool& encrypted, const std::string& extension);
// Writes the record for one sibling extension; false (with only the flag
// cleared) for an extension that has no row.
bool getInformationBasedOnExtension(const std::string& extension, std::string& typeId, std::string& mime,
                                    std::string& description, std::string& extensions, bool& encrypted);
// The extension as it is reported ("HTM" is reported as "HTML").
std::string alterFileExtension(std::string extension);
// False for the encrypted kinds whose additional identifiers never carry the
// host's extension.
bool shouldAddExtensionToTypeIds(std::string typeId);

}  // namespace kpl
