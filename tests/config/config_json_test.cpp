// Schema and configuration JSON, parsed back with RapidJSON and compared
// member by member.
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <vector>

#include "tests/config/engine_library.h"

namespace {

using kpl::test::EngineLibrary;
using kpl::test::runWithEngine;
using Keys = std::vector<std::string>;

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
