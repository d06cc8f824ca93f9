// The host-facing configuration readers on arbitrary text: the input is
// read as a configuration JSON, as an "[engine]" text (both through
// convertJSON), and as a settings INI file, in memory and from disk.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/json_util.h"
#include "fuzz_json_check.h"
#include "fuzz_temp_file.h"
#include "config/settings_file.h"

namespace {

kpl::EngineSchema makeSchema() {
  kpl::EngineSchema s{"kpl_3_filetype", "File type", 1.5f, {}};
  s.configs = {{"deep_scan", 0, "bool", ""},           {"max_file_size", 0, "number", ""},
               {"label", std::string("x"), "string", ""}, {"heuristic_scan", 1, "select", ""},
               {"archive", 0, "bool", ""},             {"extract_archive", 1, "bool", ""}};
  s.configs[3].strValues = {"0", "1"};
  s.configs[5].parentName = "archive";
  kpl::adjustConfig(s);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kpl::EngineSchema schema = makeSchema();
  const std::string text(reinterpret_cast<const char*>(data), size);

  kpl::SettingsMap settings;
  kpl::parseInputJSON(text, schema, settings);
  for (const std::string& input : {text, "[engine]\n" + text}) {
    const kpl::ConvertedConfig converted = kpl::convertJSON(input, schema);
    kpl::fuzz::requireJson(converted.schemaJson);
    if (converted.ok) kpl::fuzz::requireJson(converted.configJson);
  }

  for (const char* section : {"engine", "", "a b"})
    for (const char* key : {"key", "max_file_size", ""}) kpl::readSettingFromText(text, section, key);

  kpl::fuzz::TempInput input(data, size);
  if (input.ok()) kpl::readSettingFromConfig(input.path(), "engine", "key");
  return 0;
}
