// The engine property table in a host-owned map, through the exports.
#include "tests/config/engine_library.h"

namespace {

using kpl::test::EngineLibrary;
using kpl::test::runWithEngine;

TEST(EngineProperties, BasicSetValuesAndList) {
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
  });
}

TEST(EngineProperties, ReadOnlyUnlistedAndEmpty) {
  runWithEngine([](const EngineLibrary& e) {
    kpl::PropertyMap map;
    const char* out = nullptr;
    ASSERT_EQ(e.getEngineProperties(&map, "", &out), 0);
    EXPECT_EQ(e.take(out), "[]");

    map["version"] = {"version", "1", "", true, true};
    map["hidden"] = {"hidden", "x", "", false, false};
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "version", "2", 1), 50);
    EXPECT_EQ(map["version"].value, "1");
    EXPECT_EQ(e.validateAndSetPropertyToMap(&map, "version", "2", 0), 0);  // no available values: anything goes
    EXPECT_EQ(map["version"].value, "2");
    ASSERT_EQ(e.getEngineProperties(&map, "", &out), 0);
    EXPECT_EQ(e.take(out), "[{\"prop_name\":\"version\",\"prop_value\":\"2\",\"available_value\":\"\",\"read_only\":1}]");
    ASSERT_EQ(e.getEngineProperties(&map, "hidden", &out), 0);  // unlisted, yet readable by name
    EXPECT_EQ(e.take(out), "x");
  });
}

}  // namespace
