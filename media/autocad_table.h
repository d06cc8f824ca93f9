// The AutoCAD rows: DWG version strings, the DXF and DWF version tables, the
// description of each version, and what each kind of file reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "media/autocad_util.h"

namespace kpl {

struct DwgVersionRow {
  const char* text;
  std::size_t compared;  // the oldest releases wrote a 5-character string
  AutoCADTypes type;
};
const std::vector<DwgVersionRow>& dwgVersionTable();

// Version text -> version (a value of AutoCADTypes).
extern const std::map<std::string, uint8_t> DXFVersion;
extern const std::map<std::string, uint8_t> DWFVersion;
// Version -> description; the key of a file whose version is not known
// (AUTOCAD_NONE for DWG, DXF_UNKNOWN, DWF_UNKNOWN) is among them.
extern const std::map<uint8_t, std::string> DWGVersionDescription;
extern const std::map<uint8_t, std::string> DXFVersionDescription;
extern const std::map<uint8_t, std::string> DWFVersionDescription;

// What a file of one kind reports; the version picks its description from
// versions (none for FAS), else fallback.
struct AutoCADKindRow {
  AutoCADExts kind;
  const char* typeId;
  const char* mime;
  const char* extensions;
  const std::map<uint8_t, std::string>* versions;
  const char* fallback;
};
const std::vector<AutoCADKindRow>& autoCadKindTable();

}  // namespace kpl
