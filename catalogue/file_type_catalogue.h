// The catalogue of type identifiers: descriptions and the extensions that
// should have been recognised. All static data, complete at load.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kpl {

// Type identifier -> description (197 entries; "data" -> "data").
extern const std::map<std::string, std::string> FileTypeDescription;

// The catalogue's description of a type identifier. Throws std::out_of_range
// for an identifier outside the catalogue: every identifier an analyzer
// writes is a catalogue key, so this is a programming error, not bad input.
const std::string& describe(const std::string& typeId);

// Upper-case extensions whose files should have been recognised; a file
// with one of them that came out as "data" gets the extension list "-".
extern const std::vector<std::string> MisMatchExtensions;

}  // namespace kpl
