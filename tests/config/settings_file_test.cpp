// Settings looked up in INI files and override maps, and the engine property
// table in a host-owned map, through the exports.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "tests/config/engine_library.h"

namespace {

using kpl::test::EngineLibrary;
using kpl::test::runWithEngine;
using kpl::test::TempDir;

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

// Three layers in the working directory; mode 1 is the data-store layout.
void writeLayers(const TempDir& dir) {
  dir.write("kplConfig.ini", "[engine]\na=main-engine\n[scan]\nb=main-scan\n");
  dir.write("kplConfig_engine.ini", "[scan]\na=engine-file\nb=engine-file\nc=engine-file\n");
  dir.write("kplDSConfig.ini", "[scan]\nc=ds\nd=ds\n");
}

TEST(EngineConfig, LayersOfTheWorkingDirectory) {
  TempDir dir;
  writeLayers(dir);
  const bool dataFile = kpl::test::fileExists("/var/lib/kplhome/kplConfig.ini");
  runWithEngine(
      [&](const EngineLibrary& e) {
        auto get = [&](const char* section, const char* key, int mode) {
          return e.take(e.getEngineConfig(section, key, mode));
        };
        EXPECT_EQ(get("scan", "a", 0), "main-engine");
        EXPECT_EQ(get("scan", "b", 0), "engine-file");
        EXPECT_EQ(get("scan", "c", 2), "engine-file");
        if (!dataFile) {
          EXPECT_EQ(get("scan", "d", 0), std::nullopt);
        }
        EXPECT_EQ(get("scan", "a", 1), std::nullopt);
        EXPECT_EQ(get("scan", "b", 1), "main-scan");
        EXPECT_EQ(get("scan", "c", 1), "ds");
        EXPECT_EQ(get("engine", "a", 1), "main-engine");
        EXPECT_EQ(get(nullptr, "a", 0), std::nullopt);
      },
      dir.path());
}

TEST(EngineConfig, DataDirectoryIsTheLastLayerOfTheEngineLayout) {
  const std::string dataDir = "/var/lib/kplhome", dataFile = dataDir + "/kplConfig.ini";
  if (kpl::test::fileExists(dataFile)) GTEST_SKIP() << dataFile << " exists; it is left untouched";
  const bool madeDir = ::mkdir(dataDir.c_str(), 0755) == 0;
  FILE* f = std::fopen(dataFile.c_str(), "wx");
  if (f == nullptr) {
    if (madeDir) ::rmdir(dataDir.c_str());
    GTEST_SKIP() << "cannot write " << dataFile;
  }
  std::fputs("[scan]\na=data\nd=data\n", f);
  std::fclose(f);
  TempDir dir;
  writeLayers(dir);
  runWithEngine(
      [&](const EngineLibrary& e) {
        EXPECT_EQ(e.take(e.getKPLSettingStr("scan", "d")), "data");
        EXPECT_EQ(e.take(e.getEngineConfig("scan", "d", 0)), "data");
        EXPECT_EQ(e.take(e.getEngineConfig("scan", "a", 0)), "main-engine");
        EXPECT_EQ(e.take(e.getEngineConfig("scan", "d", 1)), "ds");
        EXPECT_EQ(e.take(e.getEngineConfig("scan", "a", 1)), std::nullopt);
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

    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "extract_archive", "2", 1), 50);
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "extract_archive", "", 1), 50);
    EXPECT_EQ(map["extract_archive"].value, "");
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "extract_archive", "1", 1), 0);
    EXPECT_EQ(get("extract_archive"), std::make_pair(0, std::string("1")));
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "nope", "1", 1), 55);
    EXPECT_EQ(get("nope"), std::make_pair(55, std::string("<null>")));
    EXPECT_EQ(get(nullptr), std::make_pair(50, std::string("<null>")));
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "extract_archive", nullptr, 1), 50);

    // A host's own map: read-only and unlisted properties.
    map.clear();
    EXPECT_EQ(get(""), std::make_pair(0, std::string("[]")));
    map["version"] = {"version", "1", "", true, true};
    map["hidden"] = {"hidden", "x", "", false, false};
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "version", "2", 1), 50);
    EXPECT_EQ(map["version"].value, "1");
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "version", "2", 0), 0);  // no available values: anything goes
    EXPECT_EQ(map["version"].value, "2");
    EXPECT_EQ(get(""), std::make_pair(0, std::string(R"([{"prop_name":"version","prop_value":"2","available_value":"",)"
                                                      R"("read_only":1}])")));
    EXPECT_EQ(get("hidden"), std::make_pair(0, std::string("x")));  // unlisted, yet readable by name
  });
}

}  // namespace
