// AutoCAD files and their versions:
//   DWG  drawings, by the 6-byte version string that opens the file
//        ("AC1032", "AC1.50", "MC0.0" ...);
//   DXF  drawing exchange files, binary (a 22-byte sentinel, then group
//        codes and NUL-terminated values) or text (group code and value on
//        alternate lines), whose HEADER section names the version in
//        $ACADVER when the writer bothered;
//   DWF  design web format files, "(DWF Vnn.nn)" at the start;
//   FAS  fast-load AutoLISP files, a fixed banner line.
// The version chooses the description reported for the file.
#pragma once

#include <cstdint>
#include <string>

namespace kpl {

class InputFile;

// The kind of AutoCAD file found.
enum AutoCADExts : uint8_t {
  AUTOCAD_EXT_NONE = 0,
  AUTOCAD_EXT_DWG = 1,
  AUTOCAD_EXT_DXF = 2,
  AUTOCAD_EXT_DWF = 3,
  AUTOCAD_EXT_FAS = 4,
};

// The version found; the values key the description maps of autocad_table.h.
enum AutoCADTypes : uint8_t {
  AUTOCAD_NONE = 0,
  // DWG, by the opening version string.
  DWG_R1_1 = 1,  // MC0.0
  DWG_R1_2,      // AC1.2
  DWG_R1_4,      // AC1.4
  DWG_R2_0,      // AC1.50
  DWG_R2_10,     // AC2.10
  DWG_R2_5,      // AC1002
  DWG_R2_6,      // AC1003
  DWG_R9,        // AC1004
  DWG_R10,       // AC1006
  DWG_R11_12,    // AC1009
  DWG_R13,       // AC1012
  DWG_R14,       // AC1014
  DWG_2000,      // AC1015
  DWG_2004,      // AC1018
  DWG_2007,      // AC1021
  DWG_2010,      // AC1024
  DWG_2013,      // AC1027
  DWG_2018 = 18,  // AC1032
  DXF_UNKNOWN = 19,
  DXF_R2_5 = 24,  // 24..36 follow the DXFVersion map
  DXF_2018 = 36,
  DWF_UNKNOWN = 37,
  DWF_V00_17 = 38,  // 38..59 follow the DWFVersion map
  DWF_V06_20 = 59,
  FAS_FILE = 60,
};

class AutoCADUtil {
 public:
  // Builds the header templates; called once by the engine's init, before
  // any scan. Idempotent.
  static void init();

  // The version of an AutoCAD file, 0 when it is none; kind tells which
  // family it belongs to. Files under 64 bytes are none.
  static AutoCADTypes determineAutoCADType(const std::string& path, unsigned long fileSize, AutoCADExts& kind);
  static AutoCADTypes determineAutoCADType(const InputFile& file, unsigned long fileSize, AutoCADExts& kind);

  // Classifiers over the first bytes of the file (or, for text DXF, of its
  // compacted header lines). Each buffer must hold the number of bytes its
  // name says; bytes past the end of a short file are zero.
  static AutoCADTypes determineDWG(const char* first6);
  static bool determineFAS(const char* first35, AutoCADTypes& type);
  static AutoCADTypes determineDWF(const char* first12);
  static AutoCADTypes determineDXF(const char* first64);

  // Writes the record for a non-zero type: identifier, MIME type,
  // extensions and the version's description.
  static void adjustAutoCADTypes(AutoCADTypes type, AutoCADExts kind, std::string& typeId, std::string& mime,
                                 std::string& extensions, std::string& description);
};

}  // namespace kpl
