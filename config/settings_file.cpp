// INI lookups. The format is the host's own: "[section]" headers and
// key=value lines, no comments and no escapes. Blanks are insignificant in
// key lines (max file size = 10 is the key maxfilesize), but a header must
// be written exactly: "[ engine]" is not section "engine".
#include "config/settings_file.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <vector>

#include "common/byte_reader.h"
#include "common/limits.h"
#include "config/string_util.h"

namespace kpl {

std::string removeSpace(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != ' ') out.push_back(c);
  return out;
}

std::string ensurePathEnding(std::string_view path) {
  std::string out(path);
  if (!out.empty() && out.back() != '/') out.push_back('/');
  return out;
}

std::optional<std::string> readSettingFromText(std::string_view text, std::string_view section,
                                               std::string_view key) {
  const std::string header = "[" + std::string(section) + "]";
  const std::string prefix = std::string(key) + "=";
  // Lines above the first header sit at position 0, like a section that
  // every name opens: keys written there are found for any section.
  size_t headersSeen = 0;
  size_t target = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line = StringUtil::trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[') {
      // Whatever header follows the target section ends it, a repeated
      // header of the same name included: only the first one is read.
      if (target != 0) break;
      ++headersSeen;
      if (line == header) target = headersSeen;
      continue;
    }
    if (headersSeen != target) continue;
    line = removeSpace(line);
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::string value = line.substr(prefix.size());
    if (value.empty()) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

std::optional<std::string> readSettingFromConfig(const std::string& filePath, std::string_view section,
                                                 std::string_view key) {
  InputFile file(filePath);
  if (!file.isOpen()) return std::nullopt;
  std::vector<uint8_t> bytes = file.read(0, limits::kMaxSettingsFileBytes);
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return readSettingFromText(text, section, key);
}

std::optional<std::string> getKPLSettingStr(std::string_view section, std::string_view key) {
  return readSettingFromConfig(std::string(kSettingsDataDirectory) + std::string(kMainSettingsFile), section, key);
}

std::optional<std::string> getEngineConfig(std::string_view section, std::string_view key, int mode) {
  std::array<char, 4096> buffer{};
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return std::nullopt;
  const std::string dir = ensurePathEnding(buffer.data());
  const std::string mainFile = dir + std::string(kMainSettingsFile);
  if (mode == 1) {
    if (auto v = readSettingFromConfig(mainFile, section, key)) return v;
    return readSettingFromConfig(dir + std::string(kDataStoreSettingsFile), section, key);
  }
  if (auto v = readSettingFromConfig(mainFile, kEngineSection, key)) return v;
  if (auto v = readSettingFromConfig(dir + std::string(kEngineSettingsFile), section, key)) return v;
  return getKPLSettingStr(section, key);
}

bool getBoolValue(std::string_view value, bool defaultValue) {
  if (defaultValue) return !(value == "0" || value == "false");
  return value == "1" || value == "true";
}

std::optional<std::string> getEngineConfigFromMap(const SettingsMap& map, const std::string& key) {
  auto it = map.find(key);
  if (it == map.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> getEngineConfigMix(std::string_view section, const SettingsMap* overrides,
                                              const std::string& key) {
  // Overrides replace the files entirely: a host that passes any decides
  // every setting itself.
  if (overrides != nullptr && !overrides->empty()) return getEngineConfigFromMap(*overrides, key);
  return getEngineConfig(section, key, 0).value_or(std::string());
}

}  // namespace kpl
