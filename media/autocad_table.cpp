// The AutoCAD rows, one per line.
#include "media/autocad_table.h"

#include "detect/file_type_catalogue.h"

namespace kpl {

// clang-format off
const std::vector<DwgVersionRow>& dwgVersionTable() {
  static const std::vector<DwgVersionRow> table = {
    // text     compared  type
    {"MC0.0",   5,        DWG_R1_1},
    {"AC1.2",   5,        DWG_R1_2},
    {"AC1.4",   5,        DWG_R1_4},
    {"AC1.50",  6,        DWG_R2_0},
    {"AC2.10",  6,        DWG_R2_10},
    {"AC1002",  6,        DWG_R2_5},
    {"AC1003",  6,        DWG_R2_6},
    {"AC1004",  6,        DWG_R9},
    {"AC1006",  6,        DWG_R10},
    {"AC1009",  6,        DWG_R11_12},
    {"AC1012",  6,        DWG_R13},
    {"AC1014",  6,        DWG_R14},
    {"AC1015",  6,        DWG_2000},
    {"AC1018",  6,        DWG_2004},
    {"AC1021",  6,        DWG_2007},
    {"AC1024",  6,        DWG_2010},
    {"AC1027",  6,        DWG_2013},
    {"AC1032",  6,        DWG_2018},
  };
  return table;
}

const std::vector<AutoCADKindRow>& autoCadKindTable() {
  static const std::vector<AutoCADKindRow> table = {
    // kind             type ID  MIME type        ext    version descriptions    fallback description
    {AUTOCAD_EXT_DWG,  "DWG",   "image/vnd.dwg",  "dwg", &DWGVersionDescription, "AutoCAD Drawing"},
    {AUTOCAD_EXT_DXF,  "DXF",   "image/vnd.dxf",  "dxf", &DXFVersionDescription, "AutoCAD Drawing eXchange Format"},
    {AUTOCAD_EXT_DWF,  "DWF",   "image/vnd.dwf",  "dwf", &DWFVersionDescription, "AutoCAD Design Web Format"},
    {AUTOCAD_EXT_FAS,  "FAS",   "image/vnd.fas",  "fas", nullptr,                "AutoCAD Fast-load AutoLISP"},
  };
  return table;
}
// clang-format on

}  // namespace kpl
