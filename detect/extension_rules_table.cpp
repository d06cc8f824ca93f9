#include "detect/extension_rules.h"

namespace kpl {

std::map<std::string, std::string> listAlterExtensions;
std::vector<std::string> listTypeIdwithNoExtensions;
std::map<std::string, std::vector<std::string>> listTypeIdAlterByExtension;

// clang-format off
void initExtensionRules() {
  listAlterExtensions = {
    // host extension   reported as
    { "HTM",            "HTML" },
  };
  listTypeIdwithNoExtensions = {
    "DOC-ENCRYPTED", "DOT-ENCRYPTED", "XLS-ENCRYPTED", "XLT-ENCRYPTED", "PPT-ENCRYPTED",
    "PPS-ENCRYPTED", "POT-ENCRYPTED", "MSO-ENCRYPTED", "VSD-ENCRYPTED", "VSS-ENCRYPTED",
    "VST-ENCRYPTED", "JTD-ENCRYPTED", "PDF-ENCRYPTED", "ZIP-ENCRYPTED",
  };
  listTypeIdAlterByExtension = {
    // detected         sibling extensions, tried in order
    { "PPT",            { "PPT", "POT", "PPS" } },
    { "PPT-ENCRYPTED",  { "PPT", "POT", "PPS" } },
    { "MHT",            { "MHT", "MHTML", "EML" } },
    { "VSD",            { "VSD", "VSS", "VST" } },
    { "VDX",            { "VDX", "VSX", "VTX" } },
  };
}
// clang-format on

}  // namespace kpl
