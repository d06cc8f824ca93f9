// The AutoCAD rows: DWG version strings and what each kind of file reports.
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
