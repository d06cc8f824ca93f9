// The golden corpus: every committed fixture, its expected result JSON and
// the chain step that recognised it, in one table
// (tests/fixtures/expected.tsv). A changed answer, a reordered chain (the
// step is recorded by its position, so a swap of two rows shows) or a
// fixture nobody added to the table fails here.
//
// After a reviewed change of answers, write the table anew with
//   KPL_GOLDEN_WRITE=/path/to/expected.tsv build/tests/kpl_tests --gtest_filter='GoldenCorpus.*'
// and read the diff before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "engine/scan_chain.h"
#include "test_support.h"

namespace kpl {
namespace {

namespace fs = std::filesystem;

struct Expected {
  std::string step;
  std::string json;
};

const char kTable[] = "expected.tsv";

// Scripts that made the fixtures and notes beside them are not fixtures.
bool isFixture(const fs::path& p) {
  static const std::regex kNotFixture(R"((generate|make_|pack_|office_suite)[^/]*\.(sh|py)|README[^/]*|[^/]*\.tsv)");
  return !std::regex_match(p.filename().string(), kNotFixture);
}

// "<position> <name>" of the first chain step that recognises the file, by
// its place in the chain table, or "-" when the file reached libmagic.
std::string recognisingStep(const std::string& path) {
  const ScanInput input(path);
  DetectionRecord record;
  const ChainStep* step = recognise(input, record);
  return step != nullptr ? std::to_string(step - scanChain().data() + 1) + " " + step->name : "-";
}

std::map<std::string, Expected> readTable() {
  std::map<std::string, Expected> rows;
  std::ifstream in(test::fixturesDir() + "/" + kTable);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
    if (a == std::string::npos || b == std::string::npos) {
      ADD_FAILURE() << "malformed row: " << line;
      continue;
    }
    rows[line.substr(0, a)] = {line.substr(a + 1, b - a - 1), line.substr(b + 1)};
  }
  return rows;
}

std::vector<std::string> fixtures() {
  std::vector<std::string> names;
  const fs::path root = test::fixturesDir();
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file() && isFixture(e.path())) names.push_back(fs::relative(e.path(), root).string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GoldenCorpus, EveryFixtureGivesItsExpectedAnswer) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  const std::vector<std::string> names = fixtures();
  ASSERT_GT(names.size(), 100u) << "fixtures missing from " << test::fixturesDir();

  if (const char* out = std::getenv("KPL_GOLDEN_WRITE")) {
    std::ofstream table(out);
    table << "# fixture (below tests/fixtures)\tchain step (position name, - for libmagic)\tresult JSON\n";
    for (const std::string& name : names) {
      const std::string path = test::fixturesDir() + "/" + name;
      table << name << '\t' << recognisingStep(path) << '\t' << test::scanJson(path) << '\n';
    }
    GTEST_SKIP() << "wrote " << out;
  }

  std::map<std::string, Expected> table = readTable();
  for (const std::string& name : names) {
    auto row = table.find(name);
    if (row == table.end()) {
      ADD_FAILURE() << name << " is not in " << kTable;
      continue;
    }
    const std::string path = test::fixturesDir() + "/" + name;
    EXPECT_EQ(test::scanJson(path), row->second.json) << name;
    EXPECT_EQ(recognisingStep(path), row->second.step) << name;
    table.erase(row);
  }
  for (const auto& [name, row] : table) ADD_FAILURE() << kTable << " names " << name << ", which is not a fixture";
}

}  // namespace
}  // namespace kpl
