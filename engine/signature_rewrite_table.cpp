// The signature library's answers the scan rewrites before the mapping
// table: a package that reached libmagic was not recognised as Office Open
// XML, so the table must see it as the ZIP it is.
#include "engine/engine_state.h"

namespace kpl {

// clang-format off
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
