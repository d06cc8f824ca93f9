// The AutoCAD rows, one per line.
#include "media/autocad_table.h"

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

const std::map<std::string, uint8_t> DXFVersion = {
  {"AC1032", 36}, {"AC1027", 35}, {"AC1024", 34}, {"AC1021", 33}, {"AC1018", 32}, {"AC1015", 31},
  {"AC1014", 30}, {"AC1012", 29}, {"AC1009", 28}, {"AC1006", 27}, {"AC1004", 26}, {"AC1003", 25},
  {"AC1002", 24},
};

const std::map<std::string, uint8_t> DWFVersion = {
  {"06.20", 59}, {"06.11", 58}, {"06.01", 57}, {"06.00", 56}, {"00.55", 55}, {"00.50", 54},
  {"00.42", 53}, {"00.41", 52}, {"00.40", 51}, {"00.39", 50}, {"00.38", 49}, {"00.37", 48},
  {"00.36", 47}, {"00.35", 46}, {"00.34", 45}, {"00.33", 44}, {"00.32", 43}, {"00.31", 42},
  {"00.30", 41}, {"00.25", 40}, {"00.23", 39}, {"00.17", 38},
};

const std::map<uint8_t, std::string> DWGVersionDescription = {
  { 0, "AutoCAD Drawing"},
  {18, "AutoCAD 2018 Drawing"},
  {17, "AutoCAD 2013-2016 Drawing"},
  {16, "AutoCAD 2010-2012 Drawing"},
  {15, "AutoCAD 2007-2009 Drawing"},
  {14, "AutoCAD 2004-2006 Drawing"},
  {13, "AutoCAD 2000-2002 Drawing"},
  {12, "AutoCAD R14 Drawing"},
  {11, "AutoCAD R13 Drawing"},
  {10, "AutoCAD R11-12 Drawing"},
  { 9, "AutoCAD R10 Drawing"},
  { 8, "AutoCAD R9 Drawing"},
  { 7, "AutoCAD R2.6 Drawing"},
  { 6, "AutoCAD R2.5 Drawing"},
  { 5, "AutoCAD R2.10 Drawing"},
  { 4, "AutoCAD R2.0 Drawing"},
  { 3, "AutoCAD R1.4 Drawing"},
  { 2, "AutoCAD R1.2 Drawing"},
  { 1, "AutoCAD R1.1 Drawing"},
};

const std::map<uint8_t, std::string> DXFVersionDescription = {
  {19, "AutoCAD Drawing eXchange Format"},
  {36, "AutoCAD 2018 Drawing eXchange Format"},
  {35, "AutoCAD 2013-2016 Drawing eXchange Format"},
  {34, "AutoCAD 2010-2012 Drawing eXchange Format"},
  {33, "AutoCAD 2007-2009 Drawing eXchange Format"},
  {32, "AutoCAD 2004-2006 Drawing eXchange Format"},
  {31, "AutoCAD 2000-2002 Drawing eXchange Format"},
  {30, "AutoCAD R14 Drawing eXchange Format"},
  {29, "AutoCAD R13 Drawing eXchange Format"},
  {28, "AutoCAD R11-12 Drawing eXchange Format"},
  {27, "AutoCAD R10 Drawing eXchange Format"},
  {26, "AutoCAD R9 Drawing eXchange Format"},
  {25, "AutoCAD R2.6 Drawing eXchange Format"},
  {24, "AutoCAD R2.5 Drawing eXchange Format"},
};

const std::map<uint8_t, std::string> DWFVersionDescription = {
  {37, "AutoCAD Design Web Format"},
  {59, "AutoCAD V06.20 Design Web Format - Theme: composite 3D model with multiple 2D sheets"},
  {58, "AutoCAD V06.11 Design Web Format - Theme: composite 3D model with multiple 2D sheets"},
  {57, "AutoCAD V06.01 Design Web Format - Theme: single 3D model"},
  {56, "AutoCAD V06.00 Design Web Format - Theme: multiple 2D sheets"},
  {55, "AutoCAD V00.55 Design Web Format - Theme: single 2D sheet"},
  {54, "AutoCAD V00.50 Design Web Format - Theme: single 2D sheet"},
  {53, "AutoCAD V00.42 Design Web Format - Theme: single 2D sheet"},
  {52, "AutoCAD V00.41 Design Web Format - Theme: single 2D sheet"},
  {51, "AutoCAD V00.40 Design Web Format - Theme: single 2D sheet"},
  {50, "AutoCAD V00.39 Design Web Format - Theme: single 2D sheet"},
  {49, "AutoCAD V00.38 Design Web Format - Theme: single 2D sheet"},
  {48, "AutoCAD V00.37 Design Web Format - Theme: single 2D sheet"},
  {47, "AutoCAD V00.36 Design Web Format - Theme: single 2D sheet"},
  {46, "AutoCAD V00.35 Design Web Format - Theme: single 2D sheet"},
  {45, "AutoCAD V00.34 Design Web Format - Theme: single 2D sheet"},
  {44, "AutoCAD V00.33 Design Web Format - Theme: single 2D sheet"},
  {43, "AutoCAD V00.32 Design Web Format - Theme: single 2D sheet"},
  {42, "AutoCAD V00.31 Design Web Format - Theme: single 2D sheet"},
  {41, "AutoCAD V00.30 Design Web Format - Theme: single 2D sheet"},
  {40, "AutoCAD V00.25 Design Web Format - Theme: single 2D sheet"},
  {39, "AutoCAD V00.23 Design Web Format - Theme: single 2D sheet"},
  {38, "AutoCAD V00.17 Design Web Format - Theme: single 2D sheet"},
};

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
