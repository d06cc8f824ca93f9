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

Keys keysOf(const rapidjson::Value& object) {
  Keys keys;
  if (object.IsObject())
    for (auto m = object.MemberBegin(); m != object.MemberEnd(); ++m) keys.emplace_back(m->name.GetString());
  return keys;
}

Keys texts(const rapidjson::Value& array) {
  Keys out;
  for (const auto& v : array.GetArray()) out.emplace_back(v.GetString());
  return out;
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

const rapidjson::Value& valuesOf(const rapidjson::Document& config) {
  return config["config"]["engine.kpl_3_filetype.config"]["values"];
}

TEST(ConfigSchemaJson, EveryOptionTypeAndAFeature) {
  runWithEngine([](const EngineLibrary& e) {
    kpl::EngineSchema schema = makeSchema();
    ASSERT_EQ(e.adjustConfig(&schema), 0);
    EXPECT_EQ(schema.configs[3].displayName, "Heuristic scan");
    EXPECT_EQ(schema.configs[3].infos, (Keys{"Level 0", "Level 1", "Level 2", "Level 3"}));
    EXPECT_EQ(schema.configs[0].displayName, "Deep");  // kept, but the built-in (empty) infos replace its own
    EXPECT_TRUE(schema.configs[0].infos.empty());
    EXPECT_EQ(schema.configs[2].infos, Keys{"a label"});  // unknown to the engine: unchanged

    Converted c = convert(e, "", schema);
    ASSERT_TRUE(c.ok);
    rapidjson::Document doc = parse(c.schema);
    ASSERT_EQ(keysOf(doc), (Keys{"version", "product", "schema"}));
    EXPECT_EQ(doc["version"].GetDouble(), 1.1);
    EXPECT_EQ(keysOf(doc["product"]), (Keys{"id", "display_name"}));
    EXPECT_STREQ(doc["product"]["display_name"].GetString(), "File type");
    const auto& options = doc["schema"];
    ASSERT_EQ(options.Size(), 6u);

    EXPECT_EQ(keysOf(options[0]), (Keys{"type", "display_name", "id", "info", "default_value"}));
    EXPECT_STREQ(options[0]["info"].GetString(), "");
    EXPECT_TRUE(options[0]["default_value"].GetBool());

    const auto& number = options[1];
    EXPECT_EQ(keysOf(number), (Keys{"type", "display_name", "id", "info", "default_value", "min", "max"}));
    EXPECT_STREQ(number["display_name"].GetString(), "Max file size (byte)");
    EXPECT_STREQ(number["info"].GetString(), "Max file size to scan");
    EXPECT_EQ(number["default_value"].GetInt64() + number["min"].GetInt64() + number["max"].GetInt64(), 1101);

    EXPECT_STREQ(options[2]["type"].GetString(), "string");
    EXPECT_STREQ(options[2]["default_value"].GetString(), "abc");

    const auto& select = options[3];
    EXPECT_EQ(keysOf(select), (Keys{"type", "display_name", "id", "display_type", "infos", "values", "default_value"}));
    EXPECT_STREQ(select["display_type"].GetString(), "radio");
    EXPECT_EQ(texts(select["infos"]), schema.configs[3].infos);
    EXPECT_EQ(texts(select["values"]), schema.configs[3].strValues);
    EXPECT_EQ(select["default_value"].GetInt64(), 1);

    const auto& feature = options[5];
    EXPECT_EQ(keysOf(feature), (Keys{"type", "display_name", "id", "info", "default_value", "fields"}));
    EXPECT_STREQ(feature["type"].GetString(), "feature");
    ASSERT_EQ(feature["fields"].Size(), 2u);
    const auto& depth = feature["fields"][0];
    EXPECT_STREQ(depth["display_name"].GetString(), "Max Extract Depth");
    EXPECT_EQ(depth["default_value"].GetInt64(), 5);
    EXPECT_EQ(depth["min"].GetInt64(), 0);  // only a default: no range
    EXPECT_EQ(depth["max"].GetInt64(), 0);
    EXPECT_STREQ(feature["fields"][1]["id"].GetString(), "extract_archive");
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
    rapidjson::Document doc = parse(convert(e, "", schema).schema);
    ASSERT_EQ(doc["schema"].Size(), 1u);
    const auto& b = doc["schema"][0]["fields"][0];
    ASSERT_STREQ(b["type"].GetString(), "feature");
    const auto& a2 = b["fields"][0];
    EXPECT_STREQ(a2["display_name"].GetString(), "A2");
    ASSERT_TRUE(a2.HasMember("fields"));
    EXPECT_EQ(a2["fields"].Size(), 0u);  // B is already written above it
  });
}

TEST(ConfigJson, EngineSectionText) {
  runWithEngine([](const EngineLibrary& e) {
    Converted c = convert(e,
                          "[engine]\nmax_file_size = 100\r\n deep_scan=0 \nlabel = \" a b \"\nopt=x=42\n"
                          "max_file_size=7\nextract_archive = maybe\nheuristic_scan=2\nno equals sign\n",
                          makeSchema());
    ASSERT_TRUE(c.ok);
    rapidjson::Document doc = parse(c.config);
    EXPECT_EQ(keysOf(doc), (Keys{"schema-version", "config-serial", "temp-dir", "config"}));
    EXPECT_EQ(doc["schema-version"].GetDouble(), 1.1);
    EXPECT_EQ(doc["config-serial"].GetInt(), 1);
    const auto& v = valuesOf(doc);
    EXPECT_EQ(keysOf(v), (Keys{"deep_scan", "max_file_size", "label", "heuristic_scan", "opt=x", "archive",
                               "max_extract_depth", "extract_archive"}));
    EXPECT_EQ(v["max_file_size"].GetInt64(), 100);  // the first line of a name counts
    EXPECT_FALSE(v["deep_scan"].GetBool());
    EXPECT_STREQ(v["label"].GetString(), "a b");
    EXPECT_STREQ(v["opt=x"].GetString(), "42");  // split at the last "="
    EXPECT_TRUE(v["extract_archive"].GetBool());  // not a flag text: the default stays
    EXPECT_STREQ(v["heuristic_scan"].GetString(), "2");
    EXPECT_EQ(v["max_extract_depth"].GetInt64(), 5);
  });
}

TEST(ConfigJson, EmptyOrInvalidInputGivesTheDefaults) {
  runWithEngine([](const EngineLibrary& e) {
    const Converted defaults = convert(e, "", makeSchema());
    ASSERT_TRUE(defaults.ok);
    for (const char* input : {"invalid", "{ this is invalid", "{\"config\":\"invalid\"}"}) {
      Converted c = convert(e, input, makeSchema());
      EXPECT_TRUE(c.ok) << input;
      EXPECT_EQ(c.config, defaults.config) << input;
    }
    EXPECT_EQ(convert(e, nullptr, makeSchema()).config, defaults.config);
    const rapidjson::Document doc = parse(defaults.config);
    const auto& v = valuesOf(doc);
    EXPECT_TRUE(v["deep_scan"].GetBool());
    EXPECT_EQ(v["max_file_size"].GetInt64(), 100);
    EXPECT_STREQ(v["heuristic_scan"].GetString(), "1");  // the default choice's value
    EXPECT_STREQ(doc["temp-dir"].GetString(), "");
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
    rapidjson::Document doc = parse(c.config);
    EXPECT_STREQ(doc["temp-dir"].GetString(), "/tmp/kpl");
    const auto& v = valuesOf(doc);
    EXPECT_FALSE(v["deep_scan"].GetBool());
    EXPECT_EQ(v["max_file_size"].GetInt64(), 2048);
    EXPECT_STREQ(v["label"].GetString(), "hi");
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
      rapidjson::StringBuffer buffer;
      rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
      doc.Accept(w);
      return std::string(buffer.GetString());
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
    for (size_t cut = 0; cut < valid.size(); ++cut) broken.push_back(valid.substr(0, cut));
    for (const std::string& input : broken) {
      kpl::SettingsMap settings{{"a", "b"}};
      const char* tempDir = nullptr;
      EXPECT_FALSE(e.parseInputJSON(input.c_str(), &schema, &settings, &tempDir)) << input;
      EXPECT_EQ(settings.size(), 1u);
      EXPECT_EQ(tempDir, nullptr);
      if (input.empty()) continue;  // empty input means "defaults", not an error
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
