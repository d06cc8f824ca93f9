// Extension rules of the file-type entry point, one rule per line:
// extensions read as another, type identifiers that report no extension,
// type identifiers whose extension follows the file's own among a few, and
// the signature library's extensions of Office Open XML packages.
#include "engine/engine_state.h"

namespace kpl {

// clang-format off
std::map<std::string, std::string> listAlterExtensions = {
  // extension  read as
  {"HTM",       "HTML"},
};

std::vector<std::string> listTypeIdwithNoExtensions = {
  "DOC-ENCRYPTED",
  "DOT-ENCRYPTED",
  "XLS-ENCRYPTED",
  "XLT-ENCRYPTED",
  "PPT-ENCRYPTED",
  "PPS-ENCRYPTED",
  "POT-ENCRYPTED",
  "MSO-ENCRYPTED",
  "VSD-ENCRYPTED",
  "VSS-ENCRYPTED",
  "VST-ENCRYPTED",
  "JTD-ENCRYPTED",
  "PDF-ENCRYPTED",
  "ZIP-ENCRYPTED",
};

std::map<std::string, std::vector<std::string>> listTypeIdAlterByExtension = {
  // type identifier  extensions it may take
  {"PPT",             {"PPT", "POT", "PPS"}},
  {"PPT-ENCRYPTED",   {"PPT", "POT", "PPS"}},
  {"MHT",             {"MHT", "MHTML", "EML"}},
  {"VSD",             {"VSD", "VSS", "VST"}},
  {"VDX",             {"VDX", "VSX", "VTX"}},
};
// Extensions the signature library gives Office Open XML packages.
const std::vector<std::string> officeOpenXmlExtensions = {
  "DOCX",
  "DOCM",
  "DOTX",
  "DOTM",
  "PPTX",
  "PPTM",
  "PPSX",
  "XLSX",
  "XLAM",
  "XLSM",
  "XLSB",
};
// clang-format on

}  // namespace kpl
