// The configuration exports as a host sees them: resolved by name from the
// loaded kpl_engine.so and driven with host-owned maps and schemas. Settings
// come from INI files and override maps; schema and configuration JSON are
// parsed back with RapidJSON and compared member by member.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/engine_properties.h"
#include "kpl_engine.h"
#include "kpl_engine_config.h"
#include "test_support.h"
#include "test_support_process.h"

namespace {

using kpl::kPropertyBadValue;
using kpl::kPropertyUnknown;
using kpl::test::TempDir;
using Keys = std::vector<std::string>;

struct EngineLibrary {
#define KPL_EXPORT(fn) decltype(&::fn) fn = nullptr;
#define KPL_CONFIG_EXPORTS(X)                                                                              \
  X(freeString) X(trim) X(removeSpace) X(ensurePathEnding) X(readSettingFromConfig) X(getKPLSettingStr)    \
  X(getEngineConfig) X(getEngineConfigFromMap) X(getBoolValue) X(getEngineConfigMix)                       \
  X(createBasicSupportedProperties) X(getEngineProperties) X(validateAndSetPropertyToMap) X(adjustConfig) \
  X(convertJSON) X(parseInputJSON)
  KPL_CONFIG_EXPORTS(KPL_EXPORT)
#undef KPL_EXPORT

  bool load() {
    void* lib = ::dlopen((kpl::test::homeDir() + "/kpl_engine.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return false;
    bool all = true;
#define KPL_RESOLVE(fn)                                          \
  fn = reinterpret_cast<decltype(fn)>(::dlsym(lib, #fn)); \
  all = all && fn != nullptr;
    KPL_CONFIG_EXPORTS(KPL_RESOLVE)
#undef KPL_RESOLVE
    return all;
  }

  // Copies an engine string and gives it back; checks it was registered.
  std::optional<std::string> take(const char* text) const {
    if (text == nullptr) return std::nullopt;
    std::string copy = text;
    freeString(&text);
    EXPECT_EQ(text, nullptr) << "not an engine-registered string: " << copy;
    return copy;
  }
};

// Runs body in a child process that loaded the engine (in workDir when one
// is given, so the test's own working directory stays put). The child's
// failures are printed by the child; the parent sees its exit status.
void runWithEngine(const std::function<void(const EngineLibrary&)>& body, const std::string& workDir = "") {
  int rc = kpl::test::runInChild([&] {
    if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) return 2;
    EngineLibrary engine;
    if (!engine.load()) return 3;
    body(engine);
    return ::testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_EQ(rc, 0) << "the engine child failed (2: chdir, 3: load, 1: see its failures above)";
}

TEST(SettingsText, CleaningHelpersAndBoolValues) {
  runWithEngine([](const EngineLibrary& e) {
    EXPECT_EQ(e.take(e.trim(" \"\ta b\r\n")), "a b");
    EXPECT_EQ(e.take(e.trim(" \"\"\r\n")), std::nullopt);
    EXPECT_EQ(e.take(e.trim(nullptr)), std::nullopt);
    EXPECT_EQ(e.take(e.removeSpace(" a\tb c ")), "a\tbc");
    EXPECT_EQ(e.take(e.removeSpace("")), std::nullopt);
    EXPECT_EQ(e.take(e.ensurePathEnding("/x")), "/x/");
    EXPECT_EQ(e.take(e.ensurePathEnding("/x/")), "/x/");
    EXPECT_EQ(e.take(e.ensurePathEnding("")), std::nullopt);
    EXPECT_TRUE(e.getBoolValue("1", false) && e.getBoolValue("true", false));
    EXPECT_FALSE(e.getBoolValue("TRUE", false) || e.getBoolValue(nullptr, false));
    EXPECT_FALSE(e.getBoolValue("0", true) || e.getBoolValue("false", true));
    EXPECT_TRUE(e.getBoolValue("yes", true) && e.getBoolValue("", true));
  });
}

TEST(SettingsFile, SectionsKeysAndBlanks) {
  TempDir dir;
  const std::string path = dir.write("settings.ini",
                                     "top key = above\n"
                                     "[ engine]\nhidden=1\n"
                                     "[engine]\r\n"
                                     "max file size = 10\r\n"
                                     "spaced = a b\n  empty=  \n"
                                     "dup=first\ndup=second\nkeyx=1\n"
                                     "[other]\nonly_other=1\n"
                                     "[engine]\nsecond=1\n");
  const std::string twice = dir.write("twice.ini", "[engine]\n[engine]\nx=1\n");
  runWithEngine([&](const EngineLibrary& e) {
    auto read = [&](const std::string& file, const char* section, const char* key) {
      return e.take(e.readSettingFromConfig(file.c_str(), section, key));
    };
    EXPECT_EQ(read(path, "engine", "topkey"), "above");
    EXPECT_EQ(read(path, "nowhere", "topkey"), "above");
    EXPECT_EQ(read(path, "engine", "hidden"), std::nullopt);
    EXPECT_EQ(read(path, " engine", "hidden"), "1");  // the header text is compared as written
    EXPECT_EQ(read(path, "engine", "maxfilesize"), "10");
    EXPECT_EQ(read(path, "engine", "spaced"), "ab");
    EXPECT_EQ(read(path, "engine", "empty"), std::nullopt);
    EXPECT_EQ(read(path, "engine", "dup"), "first");
    EXPECT_EQ(read(path, "engine", "key"), std::nullopt);
    EXPECT_EQ(read(path, "engine", "only_other"), std::nullopt);
    EXPECT_EQ(read(path, "other", "only_other"), "1");
    EXPECT_EQ(read(path, "engine", "second"), std::nullopt);
    EXPECT_EQ(read(twice, "engine", "x"), std::nullopt);
    EXPECT_EQ(read(path + ".missing", "engine", "topkey"), std::nullopt);
    EXPECT_EQ(e.take(e.readSettingFromConfig(path.c_str(), "engine", nullptr)), std::nullopt);
  });
}

// Three layers in the working directory (mode 1 is the data-store layout),
// then the data directory as the last layer of the engine layout.
TEST(EngineConfig, LayersOfTheWorkingDirectoryThenTheDataDirectory) {
  TempDir dir;
  dir.write("kplConfig.ini", "[engine]\na=main-engine\n[scan]\nb=main-scan\n");
  dir.write("kplConfig_engine.ini", "[scan]\na=engine-file\nb=engine-file\nc=engine-file\n");
  dir.write("kplDSConfig.ini", "[scan]\nc=ds\nd=ds\n");
  const std::string dataDir = "/var/lib/kplhome", dataFile = dataDir + "/kplConfig.ini";
  const bool hadDataFile = kpl::test::fileExists(dataFile);
  const auto get = [](const EngineLibrary& e, const char* section, const char* key, int mode) {
    return e.take(e.getEngineConfig(section, key, mode));
  };
  runWithEngine(
      [&](const EngineLibrary& e) {
        EXPECT_EQ(get(e, "scan", "a", 0), "main-engine");
        EXPECT_EQ(get(e, "scan", "b", 0), "engine-file");
        EXPECT_EQ(get(e, "scan", "c", 2), "engine-file");
        if (!hadDataFile) {
          EXPECT_EQ(get(e, "scan", "d", 0), std::nullopt);
        }
        EXPECT_EQ(get(e, "scan", "a", 1), std::nullopt);
        EXPECT_EQ(get(e, "scan", "b", 1), "main-scan");
        EXPECT_EQ(get(e, "scan", "c", 1), "ds");
        EXPECT_EQ(get(e, "engine", "a", 1), "main-engine");
        EXPECT_EQ(get(e, nullptr, "a", 0), std::nullopt);
      },
      dir.path());

  if (hadDataFile) GTEST_SKIP() << "no data-directory layer: " << dataFile << " exists and is left untouched";
  const bool madeDir = ::mkdir(dataDir.c_str(), 0755) == 0;
  FILE* f = std::fopen(dataFile.c_str(), "wx");
  if (f == nullptr) {
    if (madeDir) ::rmdir(dataDir.c_str());
    GTEST_SKIP() << "no data-directory layer: cannot write " << dataFile;
  }
  std::fputs("[scan]\na=data\nd=data\n", f);
  std::fclose(f);
  runWithEngine(
      [&](const EngineLibrary& e) {
        EXPECT_EQ(e.take(e.getKPLSettingStr("scan", "d")), "data");
        EXPECT_EQ(get(e, "scan", "d", 0), "data");
        EXPECT_EQ(get(e, "scan", "a", 0), "main-engine");
        EXPECT_EQ(get(e, "scan", "d", 1), "ds");
        EXPECT_EQ(get(e, "scan", "a", 1), std::nullopt);
      },
      dir.path());
  std::remove(dataFile.c_str());
  if (madeDir) ::rmdir(dataDir.c_str());
}

TEST(EngineConfigMix, OverridesReplaceTheFiles) {
  TempDir dir;
  dir.write("kplConfig.ini", "[engine]\nflag=1\nname=fromfile\n");
  runWithEngine(
      [&](const EngineLibrary& e) {
        auto str = [&](const kpl::SettingsMap* overrides, const char* key, bool expectTaken) {
          static const char* const untouched = "untouched";
          const char* out = untouched;
          EXPECT_EQ(e.getEngineConfigMix("scan", overrides, key, &out, 1, false), expectTaken) << key;
          return out == untouched ? std::string(untouched) : e.take(out).value_or("<null>");
        };
        auto flag = [&](const kpl::SettingsMap* overrides, const char* key, bool defaultBool) {
          bool out = !defaultBool;
          e.getEngineConfigMix("scan", overrides, key, &out, 0, defaultBool);
          return out;
        };
        const kpl::SettingsMap none, overrides{{"name", "override"}};
        EXPECT_EQ(str(&none, "name", true), "fromfile");
        EXPECT_EQ(str(nullptr, "missing", true), "");
        EXPECT_TRUE(flag(&none, "flag", false));
        EXPECT_TRUE(flag(&none, "missing", true));
        EXPECT_EQ(str(&overrides, "name", true), "override");
        EXPECT_EQ(str(&overrides, "flag", false), "untouched");
        EXPECT_FALSE(flag(&overrides, "flag", false));
        EXPECT_TRUE(flag(&overrides, "flag", true));

        const char* out = nullptr;
        EXPECT_TRUE(e.getEngineConfigFromMap(&overrides, "name", &out));
        EXPECT_EQ(e.take(out), "override");
        out = nullptr;
        EXPECT_FALSE(e.getEngineConfigFromMap(&overrides, "flag", &out));
        EXPECT_EQ(out, nullptr);
      },
      dir.path());
}

TEST(EngineProperties, BasicSetValuesListReadOnlyAndUnlisted) {
  runWithEngine([](const EngineLibrary& e) {
    kpl::PropertyMap map{{"stale", {}}};
    ASSERT_EQ(e.createBasicSupportedProperties(&map), 0);
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.count("stale"), 0u);
    auto get = [&](const char* name) {
      const char* out = nullptr;
      int rc = e.getEngineProperties(&map, name, &out);
      return std::make_pair(rc, e.take(out).value_or("<null>"));
    };
    EXPECT_EQ(get(""), std::make_pair(0, std::string(
        "[{\"prop_name\":\"extract_archive\",\"prop_value\":\"\",\"available_value\":\"|0|1|\",\"read_only\":0},"
        "{\"prop_name\":\"heuristic_scan\",\"prop_value\":\"\",\"available_value\":\"|0|1|\",\"read_only\":0}]")));

    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "extract_archive", "2", 1), kPropertyBadValue);
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "extract_archive", "", 1), kPropertyBadValue);
    EXPECT_EQ(map["extract_archive"].value, "");
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "extract_archive", "1", 1), 0);
    EXPECT_EQ(get("extract_archive"), std::make_pair(0, std::string("1")));
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "nope", "1", 1), kPropertyUnknown);
    EXPECT_EQ(get("nope"), std::make_pair(kPropertyUnknown, std::string("<null>")));
    EXPECT_EQ(get(nullptr), std::make_pair(kPropertyBadValue, std::string("<null>")));
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "extract_archive", nullptr, 1), kPropertyBadValue);

    // A host's own map: read-only and unlisted properties.
    map.clear();
    EXPECT_EQ(get(""), std::make_pair(0, std::string("[]")));
    map["version"] = {"version", "1", "", true, true};
    map["hidden"] = {"hidden", "x", "", false, false};
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "version", "2", 1), kPropertyBadValue);
    EXPECT_EQ(map["version"].value, "1");
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "version", "2", 0), 0);  // no available values: anything goes
    EXPECT_EQ(map["version"].value, "2");
    EXPECT_EQ(get(""), std::make_pair(0, std::string(R"([{"prop_name":"version","prop_value":"2","available_value":"",)"
                                                      R"("read_only":1}])")));
    EXPECT_EQ(get("hidden"), std::make_pair(0, std::string("x")));  // unlisted, yet readable by name
  });
}

rapidjson::Document parse(const std::string& text) {
  rapidjson::Document doc;
  doc.Parse(text.c_str());
  EXPECT_FALSE(doc.HasParseError()) << text;
  return doc;
}

// One option of every type, a feature with two children, and options the
// engine knows by name (their display names and infos come from it).
kpl::EngineSchema makeSchema() {
  kpl::EngineSchema s{"kpl_3_filetype", "File type", 1.1f, {}};
  s.configs = {{"deep_scan", 1, "bool", "Deep", "go deep"},
               {"max_file_size", 100, "number", ""},
               {"label", std::string("abc"), "string", "Label", "a label"},
               {"heuristic_scan", 1, "select", ""},
               {"opt=x", std::string(""), "string", "Odd"},
               {"archive", 0, "bool", "Archives"},
               {"max_extract_depth", 5, "number", ""},
               {"extract_archive", 1, "bool", ""}};
  s.configs[1].intValues = {100, 1, 1000};
  s.configs[3].strValues = {"0", "1", "2", "3"};
  s.configs[6].parentName = s.configs[7].parentName = "archive";
  return s;
}

struct Converted {
  bool ok;
  std::string schema, config, error;
};

Converted convert(const EngineLibrary& e, const char* input, const kpl::EngineSchema& schema) {
  const char *schemaJson = nullptr, *configJson = nullptr, *error = nullptr;
  bool ok = e.convertJSON(input, &schema, &schemaJson, &configJson, &error);
  return {ok, e.take(schemaJson).value_or(""), e.take(configJson).value_or(""), e.take(error).value_or("")};
}

// The compact text of a parsed value: members in the order written.
std::string text(const rapidjson::Value& v) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
  v.Accept(w);
  return buffer.GetString();
}

// The configuration JSON convertJSON writes around the option values.
std::string configText(const std::string& tempDir, const std::string& values) {
  return R"({"schema-version":1.1,"config-serial":1,"temp-dir":")" + tempDir +
         R"(","config":{"engine.kpl_3_filetype.config":{"values":{)" + values + "}}}}";
}
const char* const kDefaultValues = R"("deep_scan":true,"max_file_size":100,"label":"abc","heuristic_scan":"1",)"
                                   R"("opt=x":"","archive":false,"max_extract_depth":5,"extract_archive":true)";

TEST(ConfigSchemaJson, EveryOptionTypeAndAFeature) {
  runWithEngine([](const EngineLibrary& e) {
    kpl::EngineSchema schema = makeSchema();
    ASSERT_EQ(e.adjustConfig(&schema), 0);
    EXPECT_EQ(schema.configs[3].displayName, "Heuristic scan");
    EXPECT_EQ(schema.configs[0].displayName, "Deep");  // kept, but the built-in (empty) infos replace its own
    EXPECT_TRUE(schema.configs[0].infos.empty());
    EXPECT_EQ(schema.configs[2].infos, Keys{"a label"});  // unknown to the engine: unchanged

    Converted c = convert(e, "", schema);
    ASSERT_TRUE(c.ok);
    // A number with only a default has no range (min and max 0).
    EXPECT_EQ(text(parse(c.schema)),
              R"j({"version":1.1,"product":{"id":"kpl_3_filetype","display_name":"File type"},"schema":[)j"
              R"j({"type":"bool","display_name":"Deep","id":"deep_scan","info":"","default_value":true},)j"
              R"j({"type":"number","display_name":"Max file size (byte)","id":"max_file_size",)j"
              R"j("info":"Max file size to scan","default_value":100,"min":1,"max":1000},)j"
              R"j({"type":"string","display_name":"Label","id":"label","info":"a label","default_value":"abc"},)j"
              R"j({"type":"select","display_name":"Heuristic scan","id":"heuristic_scan","display_type":"radio",)j"
              R"j("infos":["Level 0","Level 1","Level 2","Level 3"],"values":["0","1","2","3"],"default_value":1},)j"
              R"j({"type":"string","display_name":"Odd","id":"opt=x","info":"","default_value":""},)j"
              R"j({"type":"feature","display_name":"Archives","id":"archive","info":"","default_value":false,"fields":[)j"
              R"j({"type":"number","display_name":"Max Extract Depth","id":"max_extract_depth","info":"",)j"
              R"j("default_value":5,"min":0,"max":0},)j"
              R"j({"type":"bool","display_name":"Extract archive file","id":"extract_archive","info":"",)j"
              R"j("default_value":true}]}]})j");
  });
}

TEST(ConfigSchemaJson, ParentNamesThatLoopAreWrittenOnce) {
  runWithEngine([](const EngineLibrary& e) {
    // a -> b -> a again (a second option named "a"), and c its own parent.
    kpl::EngineSchema schema{"x", "X", 1, {{"a", 0, "bool", "A"}, {"b", 0, "bool", "B"}, {"a", 0, "bool", "A2"},
                                           {"c", 0, "bool", "C"}}};
    schema.configs[1].parentName = "a";
    schema.configs[2].parentName = "b";
    schema.configs[3].parentName = "c";
    // A2 has no fields: B is already written above it.
    EXPECT_EQ(text(parse(convert(e, "", schema).schema)["schema"]),
              R"([{"type":"feature","display_name":"A","id":"a","info":"","default_value":false,"fields":[)"
              R"({"type":"feature","display_name":"B","id":"b","info":"","default_value":false,"fields":[)"
              R"({"type":"feature","display_name":"A2","id":"a","info":"","default_value":false,"fields":[]}]}]}])");
  });
}

TEST(ConfigJson, EngineSectionTextOrTheDefaults) {
  runWithEngine([](const EngineLibrary& e) {
    // The first line of a name counts, "opt=x=42" splits at the last "=", and
    // "maybe" is no flag text, so extract_archive keeps its default.
    const char* const kSection = "[engine]\nmax_file_size = 100\r\n deep_scan=0 \nlabel = \" a b \"\nopt=x=42\n"
                                 "max_file_size=7\nextract_archive = maybe\nheuristic_scan=2\nno equals sign\n";
    const std::string sectionValues = R"("deep_scan":false,"max_file_size":100,"label":"a b","heuristic_scan":"2",)"
                                      R"("opt=x":"42","archive":false,"max_extract_depth":5,"extract_archive":true)";
    // Empty, missing or unreadable input: the defaults, heuristic_scan as its
    // default choice's value.
    const struct {
      const char* input;
      std::string values;
    } kCases[] = {{kSection, sectionValues}, {"", kDefaultValues}, {nullptr, kDefaultValues},
                  {"invalid", kDefaultValues}, {"{ this is invalid", kDefaultValues},
                  {"{\"config\":\"invalid\"}", kDefaultValues}};
    for (const auto& c : kCases) {
      const Converted converted = convert(e, c.input, makeSchema());
      EXPECT_TRUE(converted.ok) << c.input;
      EXPECT_EQ(text(parse(converted.config)), configText("", c.values)) << c.input;
    }
  });
}

// A host configuration JSON; `engineMember` names this engine's member.
std::string hostConfig(const std::string& engineMember, const std::string& values) {
  return "{\"temp-dir\":\"/tmp/kpl\",\"schema-version\":1,\"config-serial\":7,\"config\":{"
         "\"engine.other_3_x.config\":{\"values\":{\"deep_scan\":false}},\"" +
         engineMember + "\":{\"values\":{" + values + "}}}}";
}

TEST(ConfigJson, HostConfigurationIsReadBack) {
  runWithEngine([](const EngineLibrary& e) {
    const kpl::EngineSchema schema = makeSchema();
    const std::string input = hostConfig("engine.kpl_3_filetype.config",
                                         "\"scan.deep_scan\":false,\"max_file_size\":2048,\"label\":\"hi\","
                                         "\"ratio\":1.5,\"big\":18446744073709551615,\"none\":null");
    kpl::SettingsMap settings{{"label", "kept"}};
    const char* tempDir = nullptr;
    ASSERT_TRUE(e.parseInputJSON(input.c_str(), &schema, &settings, &tempDir));
    EXPECT_EQ(e.take(tempDir), "/tmp/kpl");
    EXPECT_EQ(settings, (kpl::SettingsMap{{"big", "18446744073709551615"}, {"deep_scan", "false"},
                                          {"label", "kept"}, {"max_file_size", "2048"}, {"ratio", "1.5"}}));

    Converted c = convert(e, input.c_str(), schema);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(text(parse(c.config)), configText("/tmp/kpl", R"("deep_scan":false,"max_file_size":2048,"label":"hi",)"
                                                    R"("heuristic_scan":"1","opt=x":"","archive":false,"max_extract_depth":5,"extract_archive":true)"));
  });
}

TEST(ConfigJson, MemberOfAnOlderInterfaceVersion) {
  runWithEngine([](const EngineLibrary& e) {
    const kpl::EngineSchema schema = makeSchema();
    auto labelFrom = [&](const std::string& input) -> std::string {
      kpl::SettingsMap settings;
      if (!e.parseInputJSON(input.c_str(), &schema, &settings, nullptr)) return "<fail>";
      return settings["label"];
    };
    EXPECT_EQ(labelFrom(hostConfig("engine.kpl_2_filetype.config", "\"label\":\"v2\"")), "v2");
    EXPECT_EQ(labelFrom(hostConfig("engine.kpl_4_filetype.config", "\"label\":\"v4\"")), "<fail>");
    EXPECT_EQ(labelFrom(hostConfig("engine.kpl_x_filetype.config", "\"label\":\"vx\"")), "<fail>");
    const std::string both = "{\"schema-version\":1,\"config-serial\":1,\"config\":{"
                             "\"engine.kpl_1_filetype.config\":{\"values\":{\"label\":\"v1\"}},"
                             "\"engine.kpl_2_filetype.config\":{\"values\":{\"label\":\"v2\"}},"
                             "\"engine.kpl_3_filetype.config\":{\"values\":{\"label\":\"v3\"}}}}";
    EXPECT_EQ(labelFrom(both), "v3");
  });
}

TEST(ConfigJson, EachMissingMemberFails) {
  runWithEngine([](const EngineLibrary& e) {
    const kpl::EngineSchema schema = makeSchema();
    const std::string valid = hostConfig("engine.kpl_3_filetype.config", "\"label\":\"hi\"");
    auto variant = [&](const std::function<void(rapidjson::Document&)>& change) {
      rapidjson::Document doc = parse(valid);
      change(doc);
      return text(doc);
    };
    std::vector<std::string> broken = {
        variant([](auto& d) { d.RemoveMember("schema-version"); }),
        variant([](auto& d) { d.RemoveMember("config-serial"); }),
        variant([](auto& d) { d["config"].SetInt(5); }),
        variant([](auto& d) { d["config"].RemoveMember("engine.kpl_3_filetype.config"); }),
        variant([](auto& d) { d["config"]["engine.kpl_3_filetype.config"].SetArray(); }),
        variant([](auto& d) { d["config"]["engine.kpl_3_filetype.config"].RemoveMember("values"); }),
        variant([](auto& d) { d["config"]["engine.kpl_3_filetype.config"]["values"].SetString("x"); }),
        "[]", valid + "x"};
    for (const std::string& input : broken) {
      kpl::SettingsMap settings{{"a", "b"}};
      const char* tempDir = nullptr;
      EXPECT_FALSE(e.parseInputJSON(input.c_str(), &schema, &settings, &tempDir)) << input;
      EXPECT_EQ(settings.size(), 1u);
      EXPECT_EQ(tempDir, nullptr);
      Converted c = convert(e, input.c_str(), schema);
      EXPECT_FALSE(c.ok) << input;
      EXPECT_EQ(c.error, "Fail to parse inputJSON");
      EXPECT_EQ(c.config, "");
    }
    kpl::SettingsMap settings;
    EXPECT_TRUE(e.parseInputJSON(variant([](auto& d) { d.RemoveMember("temp-dir"); }).c_str(), &schema, &settings,
                                 nullptr));
  });
}

}  // namespace
