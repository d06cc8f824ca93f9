// The configuration schema and configuration JSON exchanged with the host.
// All JSON here is built and parsed with RapidJSON and written compactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kpl_engine_config.h"

namespace kpl {

inline constexpr std::string_view kInputParseError = "Fail to parse inputJSON";

class JSONUtil {
 public:
  // The options this engine knows, in the order adjustConfig searches them.
  static const std::vector<ValidConfig> defaultConfigInfo;

  static std::string createSchema(const EngineSchema& schema);
  static std::string createConfigOut(const EngineSchema& schema, const SettingsMap& settings,
                                     const std::string& tempDir);
  // The option's value as text: the setting when the map holds one, else
  // the option's default.
  static std::string getValueOf(const SettingsMap& settings, const ValidConfig& option);
};

// The indices of the options naming parentName as their parent.
std::vector<size_t> getConfigFromList(const std::vector<ValidConfig>& list, const std::string& parentName);
// The number between the first and the last "_" of a member name; -1 when
// there is none (fewer than two "_", not a number, or too large).
int64_t getApiVersion(std::string_view name);

void adjustConfig(EngineSchema& schema);
// The settings and temporary directory of one configuration JSON; nothing
// when it cannot be read. Settings the map already holds keep their values.
struct ParsedConfig {
  std::optional<std::string> tempDir;
};
std::optional<ParsedConfig> parseInputJSON(std::string_view input, const EngineSchema& schema,
                                           SettingsMap& settings);
// "[engine]" text: one name = value per line.
void readIniInput(std::string_view input, SettingsMap& settings);

struct ConvertedConfig {
  std::string schemaJson;
  std::string configJson;  // empty when the input could not be read
  bool ok = false;
};
ConvertedConfig convertJSON(std::string_view input, const EngineSchema& schema);

}  // namespace kpl
