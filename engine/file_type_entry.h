// The file-type entry point: scan, then refine the answer with the
// extension the host knows for the file (split volumes, sibling kinds,
// text and XML extensions) and add the list of type identifiers the file
// may also be.
#pragma once

#include <string>
#include <unordered_set>

namespace kpl {

// Upper-case extensions whose plain-text answers take the host's extension
// as their identifier ("TXT" read as "CSV" is a CSV file).
extern const std::unordered_set<std::string> textBasedExtensions;

// The work of the `kplFileType` export: scan's result when it is not 0;
// otherwise 0, with the refined JSON registered in *resultJson (left alone
// when the scan's answer has no type or MIME type). May throw; the export
// contains that.
int fileTypeOf(const char* path, const char* extension, const char** resultJson);

}  // namespace kpl
