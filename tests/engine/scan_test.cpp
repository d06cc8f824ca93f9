// scan end to end in the engine home, and the result JSON it writes.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include "detect/file_type_groups.h"
#include "engine/result_json.h"
#include "engine/string_store.h"
#include "kpl_engine.h"
#include "test_support.h"
#include "test_support_process.h"

namespace kpl {
namespace {

const std::string kGif = test::fixturesDir() + "/tridlib/image.gif";

// A strict parser's view: valid JSON of valid UTF-8.
bool parsesAsJson(const std::string& text) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str(), text.size());
  return !doc.HasParseError();
}

TEST(ResultJson, EscapingKeepsValidTextAndMendsTheRest) {
  const std::string kReplacement = "\xEF\xBF\xBD";
  const struct {
    std::string in, out;
  } kCases[] = {
      {"a\tb\"c\\d\n\r\b\f", "a\\tb\\\"c\\\\d\\n\\r\\b\\f"},  // the seven short escapes
      {std::string("\x00\x01\x1b[31m\x1f", 8), "\\u0000\\u0001\\u001b[31m\\u001f"},
      {"\x7f \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xef\xbf\xbd", "\x7f \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xef\xbf\xbd"},
      {"\xff\xfe", kReplacement + kReplacement},               // never in UTF-8
      {"x\xc3", "x" + kReplacement},                           // cut at the end
      {"\xe2\x82" "A", kReplacement + "A"},                      // one mark for one cut sequence
      {"\xc0\xaf", kReplacement + kReplacement},               // overlong
      {"\xed\xa0\x80", kReplacement + kReplacement + kReplacement},  // a surrogate
      {"\xf4\x90\x80\x80", std::string() + kReplacement + kReplacement + kReplacement + kReplacement},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(escapeJsonString(c.in), c.out);
    EXPECT_TRUE(parsesAsJson('"' + escapeJsonString(c.in) + '"')) << c.out;
  }
}

TEST(FileTypeGroups, TableAndJsonInvariants) {
  map_TypeToGroupId.clear();
  initFileTypeGroup();
  // Every "-ENCRYPTED" identifier but the Visio ones is an encrypted document.
  for (const auto& [id, groups] : map_TypeToGroupId) {
    if (id.find("-ENCRYPTED") != std::string::npos) {
      EXPECT_EQ(groups, (std::vector<std::string>{"D_ENC"})) << id;
    }
  }
  const std::string& json = cacheFileTypeGroups;
  EXPECT_EQ(json.rfind(R"({"A":{"types":[{"id":"7Z","description":"7-zip Compressed Archive","extensions":".7z"},)",
                       0),
            0u);
  EXPECT_NE(json.find(R"("O":{"types":[{"id":"","description":"-","extensions":"-"},)"), std::string::npos);
  EXPECT_NE(json.find(R"({"id":"ZLIB","description":"Zlib Compressed Data","extensions":""}],"description":"Other"}})"),
            std::string::npos);
  // The texts go out unescaped, so none may need escaping.
  EXPECT_EQ(json.find('\\'), std::string::npos);
  EXPECT_TRUE(parsesAsJson(json));
}

// An answer the host cannot parse lets the file past it: libmagic copies raw
// bytes of the file (here a control byte and 0xFF) into its descriptions.
TEST(Scan, AnswerIsJsonWhateverLibmagicCopies) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  const std::string answer =
      test::scanJson(KPL_TEST_SOURCE_DIR "/fuzz/regress/scan/vim-swap-version-control-and-non-utf8");
  ASSERT_TRUE(parsesAsJson(answer)) << answer;
  EXPECT_NE(test::jsonMember(answer, "description").find("\\u0001\xEF\xBF\xBD\\u001b"), std::string::npos) << answer;
}

TEST(Scan, FailuresGiveOneAndNoJsonAndUnreceivedAnswersAreNotKept) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  unsigned int status = 7;
  const std::size_t before = registeredStringCount();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(scan(kGif.c_str(), &status, nullptr), 0);
  EXPECT_EQ(registeredStringCount(), before);
  const char* json = "untouched";
  EXPECT_EQ(scan(nullptr, &status, &json), 1);
  EXPECT_EQ(status, 1u);
  EXPECT_EQ(json, nullptr);
  json = "untouched";
  EXPECT_EQ(scan("/no/such/file", &status, &json), 1);
  EXPECT_EQ(json, nullptr);
  // A FIFO: libmagic names it without reading, the library refuses it.
  test::TempDir dir;
  std::string fifo = dir.path() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(scan(fifo.c_str(), &status, &json), 1);
  EXPECT_EQ(json, nullptr);
}

// An Office Open XML extension from the signature library reaches the table
// as "ZIP": a home whose library names a marker "XLSX" shows it.
TEST(Scan, OfficeOpenXmlAnswerIsSeenAsZip) {
  test::TempDir home;
  const std::string real = test::homeDir();
  for (const char* f : {"kpl_engine.so", "libTrIDLib.so", "7za", "database/magic/magic.mgc"})
    home.write(f, test::readFile(real + "/" + f));
  home.write("database/trid/probe.trd",
             std::string("def XLSX\n type Excel Microsoft Office Open XML Format document\n"
                         " at 0 \"KPL-OOXML-PROBE\"\nend\n"));
  std::string file = home.write("probe.bin", "KPL-OOXML-PROBE META-INF/" + test::randomBytes(2000, 3));
  int rc = test::runInChild([&] {
    if (::chdir(home.path().c_str()) != 0 || init() != 0) return 2;
    std::string json = test::scanJson(file);
    // Row 78 with the rewritten extension "zip", which with "META-INF/" near
    // the start makes a JAR; with "xlsx" it would stay data.
    return test::jsonMember(json, "typeID") == "JAR" ? 0 : 3;
  });
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace kpl
