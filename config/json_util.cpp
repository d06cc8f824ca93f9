// Schema JSON: {"version":..,"product":{"id":..,"display_name":..},
// "schema":[option, ...]} where an option that others name as their parent
// becomes a "feature" with its children under "fields".
// Configuration JSON: {"schema-version":..,"config-serial":1,"temp-dir":..,
// "config":{"engine.<id>.config":{"values":{name: value, ...}}}}.
#include "config/json_util.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <charconv>
#include <cmath>

#include "common/json_text.h"
#include "common/limits.h"
#include "config/string_util.h"

namespace kpl {

namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// The host's configuration may carry bytes that are not UTF-8 (an INI file in
// a legacy code page, a damaged value); the JSON handed back must still
// parse, so such bytes are written as U+FFFD.
void writeString(JsonWriter& w, std::string_view s) {
  if (!json_text::isValidUtf8(s)) {
    const std::string mended = json_text::mendedUtf8(s);
    w.String(mended.data(), static_cast<rapidjson::SizeType>(mended.size()));
    return;
  }
  w.String(s.data(), static_cast<rapidjson::SizeType>(s.size()));
}

// The writer writes a key as it writes any string.
void writeKey(JsonWriter& w, std::string_view s) { writeString(w, s); }

// The schema version is a float; written as a double it would read
// 1.100000023841858 for 1.1. The float's shortest decimal form, read back
// as a double, is written instead. JSON has no NaN or infinity: those are 0.
void writeVersion(JsonWriter& w, float version) {
  if (!std::isfinite(version)) {
    w.Double(0.0);
    return;
  }
  char text[64];
  auto end = std::to_chars(text, text + sizeof(text), version).ptr;
  double value = version;
  std::from_chars(text, end, value);
  w.Double(value);
}

int64_t intAt(const ValidConfig& c, size_t i) { return i < c.intValues.size() ? c.intValues[i] : 0; }
std::string_view strAt(const ValidConfig& c, size_t i) {
  return i < c.strValues.size() ? std::string_view(c.strValues[i]) : std::string_view();
}
std::string_view firstInfo(const ValidConfig& c) { return c.infos.empty() ? std::string_view() : c.infos[0]; }

std::string defaultText(const ValidConfig& c) {
  if (c.type == "bool") return intAt(c, 0) != 0 ? "true" : "false";
  if (c.type == "string") return std::string(strAt(c, 0));
  if (c.type == "select") {
    // The written configuration carries the chosen value itself, so the
    // default index is turned into its choice where there is one.
    int64_t index = intAt(c, 0);
    if (index >= 0 && static_cast<uint64_t>(index) < c.strValues.size()) return c.strValues[index];
    return c.intValues.empty() && !c.strValues.empty() ? c.strValues[0] : std::to_string(index);
  }
  if (!c.intValues.empty()) return std::to_string(c.intValues[0]);
  return std::string(strAt(c, 0));
}

void generateConfigJson(JsonWriter& w, const std::vector<ValidConfig>& list, size_t index,
                        std::vector<bool>& written, int depth) {
  const ValidConfig& c = list[index];
  written[index] = true;
  std::vector<size_t> children;
  for (size_t child : getConfigFromList(list, c.name))
    if (child != index) children.push_back(child);

  w.StartObject();
  writeKey(w, "type");
  writeString(w, children.empty() ? std::string_view(c.type) : std::string_view("feature"));
  writeKey(w, "display_name");
  writeString(w, c.displayName);
  writeKey(w, "id");
  writeString(w, c.name);
  if (c.type == "bool") {
    writeKey(w, "info");
    writeString(w, firstInfo(c));
    writeKey(w, "default_value");
    w.Bool(intAt(c, 0) != 0);
  } else if (c.type == "number") {
    writeKey(w, "info");
    writeString(w, firstInfo(c));
    writeKey(w, "default_value");
    w.Int64(intAt(c, 0));
    writeKey(w, "min");
    w.Int64(intAt(c, 1));
    writeKey(w, "max");
    w.Int64(intAt(c, 2));
  } else if (c.type == "string") {
    writeKey(w, "info");
    writeString(w, firstInfo(c));
    writeKey(w, "default_value");
    writeString(w, strAt(c, 0));
  } else if (c.type == "select") {
    writeKey(w, "display_type");
    writeString(w, "radio");
    writeKey(w, "infos");
    w.StartArray();
    for (const std::string& info : c.infos) writeString(w, info);
    w.EndArray();
    writeKey(w, "values");
    w.StartArray();
    for (const std::string& value : c.strValues) writeString(w, value);
    w.EndArray();
    writeKey(w, "default_value");
    w.Int64(intAt(c, 0));
  }
  if (!children.empty()) {
    writeKey(w, "fields");
    w.StartArray();
    // Each option is written once: two options of one name, or a parent
    // chain that loops, must not make the schema repeat or recurse forever.
    if (depth < limits::kMaxConfigFeatureDepth)
      for (size_t child : children)
        if (!written[child]) generateConfigJson(w, list, child, written, depth + 1);
    w.EndArray();
  }
  w.EndObject();
}

// The member of "config" that holds this engine's values: the one named
// exactly after the schema, else one written for an older interface version
// of the same engine (the newest of those).
const rapidjson::Value* findEngineMember(const rapidjson::Value& config, const std::string& wanted) {
  const int64_t ownVersion = getApiVersion(wanted);
  const std::string_view head = std::string_view(wanted).substr(0, wanted.find('_'));
  const std::string_view tail = ownVersion >= 0 ? std::string_view(wanted).substr(wanted.rfind('_')) : "";
  const rapidjson::Value* older = nullptr;
  int64_t olderVersion = -1;
  for (auto m = config.MemberBegin(); m != config.MemberEnd(); ++m) {
    std::string_view name(m->name.GetString(), m->name.GetStringLength());
    if (name == wanted) return &m->value;
    if (ownVersion < 0) continue;
    int64_t version = getApiVersion(name);
    if (version < 0 || version >= ownVersion || version <= olderVersion) continue;
    if (name.substr(0, name.find('_')) != head || name.substr(name.rfind('_')) != tail) continue;
    older = &m->value;
    olderVersion = version;
  }
  return older;
}

std::string numberText(const rapidjson::Value& v) {
  if (v.IsInt64()) return std::to_string(v.GetInt64());
  if (v.IsUint64()) return std::to_string(v.GetUint64());
  rapidjson::StringBuffer buffer;
  JsonWriter w(buffer);
  w.Double(v.GetDouble());
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace

// clang-format off
const std::vector<ValidConfig> JSONUtil::defaultConfigInfo = [] {
  std::vector<ValidConfig> list = {
    {"deep_scan",              0, "bool",   "Deep scan"},
    {"extract_archive",        0, "bool",   "Extract archive file"},
    {"heuristic_scan",         0, "bool",   "Heuristic scan"},
    {"heuristic_scan",         0, "select", "Heuristic scan"},
    {"enable_cloud_scan",      0, "bool",   "Cloud scan"},
    {"enable_pup_scan",        0, "bool",   "Detect PUP/PUA", "Scan for spyware, adware or some other unwanted softwares"},
    {"return_pup_scan_result", 0, "bool",   "Return PUP/PUA scan result", "Distinguish PUP from infected result"},
    {"max_file_size",          0, "number", "Max file size (byte)", "Max file size to scan"},
    {"max_scan_size",          0, "number", "Max scan size (byte)", "The maximum amount of data to scan for each container file"},
    {"max_extract_depth",      0, "number", "Max Extract Depth"},
  };
  list[3].infos = {"Level 0", "Level 1", "Level 2", "Level 3"};
  return list;
}();
// clang-format on

std::vector<size_t> getConfigFromList(const std::vector<ValidConfig>& list, const std::string& parentName) {
  std::vector<size_t> found;
  if (parentName.empty()) return found;  // an empty parent name means "top level", not a parent called ""
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].parentName == parentName) found.push_back(i);
  return found;
}

int64_t getApiVersion(std::string_view name) {
  size_t first = name.find('_');
  size_t last = name.rfind('_');
  if (first == std::string_view::npos || first == last) return -1;
  std::string_view digits = name.substr(first + 1, last - first - 1);
  if (digits.empty() || digits.front() == '-') return -1;
  return StringUtil::ParseInt64(digits).value_or(-1);
}

void adjustConfig(EngineSchema& schema) {
  for (ValidConfig& option : schema.configs) {
    for (const ValidConfig& known : JSONUtil::defaultConfigInfo) {
      if (known.name != option.name || known.type != option.type) continue;
      if (option.displayName.empty()) option.displayName = known.displayName;
      option.infos = known.infos;
      break;
    }
  }
}

std::string JSONUtil::createSchema(const EngineSchema& schema) {
  rapidjson::StringBuffer buffer;
  JsonWriter w(buffer);
  w.StartObject();
  writeKey(w, "version");
  writeVersion(w, schema.version);
  writeKey(w, "product");
  w.StartObject();
  writeKey(w, "id");
  writeString(w, schema.id);
  writeKey(w, "display_name");
  writeString(w, schema.displayName);
  w.EndObject();
  writeKey(w, "schema");
  w.StartArray();
  std::vector<bool> written(schema.configs.size(), false);
  for (size_t i = 0; i < schema.configs.size(); ++i)
    if (schema.configs[i].parentName.empty() && !written[i]) generateConfigJson(w, schema.configs, i, written, 0);
  w.EndArray();
  w.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string JSONUtil::getValueOf(const SettingsMap& settings, const ValidConfig& option) {
  auto it = settings.find(option.name);
  return it != settings.end() ? it->second : defaultText(option);
}

std::string JSONUtil::createConfigOut(const EngineSchema& schema, const SettingsMap& settings,
                                      const std::string& tempDir) {
  rapidjson::StringBuffer buffer;
  JsonWriter w(buffer);
  w.StartObject();
  writeKey(w, "schema-version");
  writeVersion(w, schema.version);
  writeKey(w, "config-serial");
  w.Int(1);
  writeKey(w, "temp-dir");
  writeString(w, tempDir);
  writeKey(w, "config");
  w.StartObject();
  writeKey(w, "engine." + schema.id + ".config");
  w.StartObject();
  writeKey(w, "values");
  w.StartObject();
  for (const ValidConfig& option : schema.configs) {
    const std::string value = getValueOf(settings, option);
    writeKey(w, option.name);
    if (option.type == "bool") {
      bool flag = intAt(option, 0) != 0;
      if (value == "1" || value == "true") flag = true;
      else if (value == "0" || value == "false") flag = false;
      w.Bool(flag);
    } else if (option.type == "number") {
      w.Int64(StringUtil::ParseInt64(value).value_or(intAt(option, 0)));
    } else {
      writeString(w, value);
    }
  }
  w.EndObject();
  w.EndObject();
  w.EndObject();
  w.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::optional<ParsedConfig> parseInputJSON(std::string_view input, const EngineSchema& schema,
                                           SettingsMap& settings) {
  if (input.size() > limits::kMaxConfigInputBytes) return std::nullopt;
  rapidjson::Document doc;
  // The iterative parser keeps deeply nested input off the call stack.
  doc.Parse<rapidjson::kParseIterativeFlag>(input.data(), input.size());
  if (doc.HasParseError() || !doc.IsObject()) return std::nullopt;

  ParsedConfig parsed;
  auto tempDir = doc.FindMember("temp-dir");
  if (tempDir != doc.MemberEnd() && tempDir->value.IsString())
    parsed.tempDir = std::string(tempDir->value.GetString(), tempDir->value.GetStringLength());
  if (!doc.HasMember("schema-version") || !doc.HasMember("config-serial")) return std::nullopt;
  auto config = doc.FindMember("config");
  if (config == doc.MemberEnd() || !config->value.IsObject()) return std::nullopt;
  const rapidjson::Value* engine = findEngineMember(config->value, "engine." + schema.id + ".config");
  if (engine == nullptr || !engine->IsObject()) return std::nullopt;
  auto values = engine->FindMember("values");
  if (values == engine->MemberEnd() || !values->value.IsObject()) return std::nullopt;

  SettingsMap found;
  for (auto m = values->value.MemberBegin(); m != values->value.MemberEnd(); ++m) {
    std::string name(m->name.GetString(), m->name.GetStringLength());
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(0, dot + 1);
    const rapidjson::Value& v = m->value;
    if (v.IsBool()) found.emplace(name, v.GetBool() ? "true" : "false");
    else if (v.IsNumber()) found.emplace(name, numberText(v));
    else if (v.IsString()) found.emplace(name, std::string(v.GetString(), v.GetStringLength()));
  }
  settings.insert(found.begin(), found.end());
  return parsed;
}

void readIniInput(std::string_view input, SettingsMap& settings) {
  for (const std::string& line : StringUtil::ParseStrToVecWith(input, '\n')) {
    if (StringUtil::trim(line) == "[engine]") continue;
    // Split at the last "=": the value never holds one, the name keeps any
    // earlier ones.
    size_t eq = line.rfind('=');
    if (eq == std::string::npos) continue;
    std::string name = StringUtil::trim(std::string_view(line).substr(0, eq));
    if (name.empty()) continue;
    settings.emplace(std::move(name), StringUtil::trim(std::string_view(line).substr(eq + 1)));
  }
}

ConvertedConfig convertJSON(std::string_view input, const EngineSchema& schema) {
  ConvertedConfig out;
  out.schemaJson = JSONUtil::createSchema(schema);
  SettingsMap settings;
  std::string tempDir;
  if (input.find("[engine]") != std::string_view::npos) {
    readIniInput(input, settings);
  } else if (!input.empty() && input.find("invalid") == std::string_view::npos) {
    auto parsed = parseInputJSON(input, schema, settings);
    if (!parsed) return out;
    tempDir = parsed->tempDir.value_or(std::string());
  }
  out.configJson = JSONUtil::createConfigOut(schema, settings, tempDir);
  out.ok = true;
  return out;
}

}  // namespace kpl
