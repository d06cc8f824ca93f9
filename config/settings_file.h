// Settings looked up in INI files on behalf of the host, and the host's
// override maps. The engine itself reads no settings.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kpl_engine_config.h"

namespace kpl {

// The machine-wide settings directory and the section of engine settings.
inline constexpr std::string_view kSettingsDataDirectory = "/var/lib/kplhome/";
inline constexpr std::string_view kEngineSection = "engine";
inline constexpr std::string_view kMainSettingsFile = "kplConfig.ini";
inline constexpr std::string_view kEngineSettingsFile = "kplConfig_engine.ini";
inline constexpr std::string_view kDataStoreSettingsFile = "kplDSConfig.ini";

// text without any space character (0x20); tabs stay.
std::string removeSpace(std::string_view text);
// path with a trailing "/" (an empty path stays empty).
std::string ensurePathEnding(std::string_view path);

// The value of key in section of an INI text; nothing when absent or empty.
std::optional<std::string> readSettingFromText(std::string_view text, std::string_view section, std::string_view key);
// The same on a file; a file that cannot be read holds nothing.
std::optional<std::string> readSettingFromConfig(const std::string& filePath, std::string_view section,
                                                 std::string_view key);
// From kplConfig.ini in the machine-wide settings directory.
std::optional<std::string> getKPLSettingStr(std::string_view section, std::string_view key);
// Layered lookup in the working directory's files (mode 1: the data-store
// layout; any other mode: the engine layout). Nothing when the working
// directory cannot be read.
std::optional<std::string> getEngineConfig(std::string_view section, std::string_view key, int mode);

bool getBoolValue(std::string_view value, bool defaultValue);
std::optional<std::string> getEngineConfigFromMap(const SettingsMap& map, const std::string& key);
// The value getEngineConfigMix takes: from the overrides when there are
// any (nothing when they lack the key), else from the files, where an
// absent setting is the empty text.
std::optional<std::string> getEngineConfigMix(std::string_view section, const SettingsMap* overrides,
                                              const std::string& key);

}  // namespace kpl
