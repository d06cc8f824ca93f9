// Which rows of the libmagic mapping table a real file reaches: every line
// of tests/fixtures/tridlib/reachability.tsv that says so is proven by
// scanning its file; the rows no file reaches say why.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "detect/regexp_table.h"
#include "engine/scan.h"
#include "engine/scan_chain.h"
#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

struct Line {
  int row = 0;
  std::string key, reached, step, file, madeBy, typeId, mime, extensions, widened, note;
};

std::string dir() { return test::fixturesDir() + "/tridlib/"; }

std::vector<Line> readTable() {
  std::ifstream in(dir() + "reachability.tsv");
  std::vector<Line> lines;
  std::string text;
  bool header = true;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    if (header) {  // the column names
      header = false;
      continue;
    }
    std::vector<std::string> f;
    std::stringstream fields(text);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    EXPECT_EQ(f.size(), 11u) << text;
    if (f.size() != 11) continue;
    lines.push_back({std::stoi(f[0]), f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8] == "-" ? "" : f[8], f[9], f[10]});
  }
  return lines;
}

// The first mapping row whose four patterns match the whole of their
// subjects, numbered from 1; 0 when none does.
int mappingRow(const MappingInputs& in) {
  return regexpTable.matchingRow(in.signatureExtension, in.signatureDescription, in.magicMime, in.magicDescription);
}

// The number of the first built chain step that recognises the file, or 0.
int recognisingStep(const std::string& path) {
  const ScanInput input(path);
  for (const ChainStep& step : scanChain()) {
    DetectionRecord record;
    if (step.run != nullptr && step.run(input, record)) return step.number;
  }
  return 0;
}

// A widening is recorded with the libmagic answer that needed it.
void expectWideningRecorded(const Line& l, const MappingInputs& in) {
  std::stringstream widened(l.widened == "-" ? "" : l.widened);
  for (std::string item; std::getline(widened, item, '|');) {
    item = item.substr(item.find_first_not_of(' '));
    item = item.substr(0, item.find_last_not_of(' ') + 1);
    if (item.rfind("mime=", 0) == 0) {
      EXPECT_EQ(in.magicMime, item.substr(5));
    } else if (item.rfind("description=", 0) == 0) {
      EXPECT_EQ(in.magicDescription.rfind(item.substr(12), 0), 0u) << in.magicDescription;
    } else {
      ADD_FAILURE() << "unknown widening " << item;
    }
  }
}

TEST(Reachability, TableAnswersForEveryRow) {
  std::set<int> rows;
  for (const Line& l : readTable()) {
    SCOPED_TRACE("row " + std::to_string(l.row) + " " + l.file);
    rows.insert(l.row);
    ASSERT_TRUE(l.reached == "yes" || l.reached == "no");
    if (l.reached == "no") {
      EXPECT_GT(l.note.size(), 20u) << "an unreachable row says why";
    }
    if (l.file != "-") {
      EXPECT_TRUE(test::fileExists(dir() + l.file));
      EXPECT_NE(l.madeBy, "-");
    }
    EXPECT_TRUE(l.reached == "no" || l.file != "-");
    EXPECT_TRUE(l.reached == "yes" || l.file == "-" || l.step != "-") << "a file no row sees names its step";
  }
  EXPECT_EQ(rows.size(), regexpTableRows().size());
  EXPECT_EQ(*rows.begin(), 1);
  EXPECT_EQ(*rows.rbegin(), 79);
}

TEST(Reachability, EachFileLandsOnItsRowOrItsStep) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  for (const Line& l : readTable()) {
    if (l.file == "-") continue;
    SCOPED_TRACE("row " + std::to_string(l.row) + " " + l.file);
    const std::string path = dir() + l.file;
    const int step = recognisingStep(path);
    MappingInputs in;
    ASSERT_TRUE(mappingInputs(path, in));
    expectWideningRecorded(l, in);
    if (l.step != "-") {
      const int named = std::stoi(l.step);
      const bool built = scanChain().at(static_cast<std::size_t>(named - 1)).run != nullptr;
      ASSERT_TRUE(built || l.reached == "yes") << "the step that takes this file is not built";
      if (built) {
        // The step the file waited for is built, or takes it already.
        EXPECT_EQ(step, named);
        continue;
      }
    }
    ASSERT_EQ(step, 0) << "a chain step recognises the file; the table needs updating";
    EXPECT_EQ(mappingRow(in), l.row) << "library: " << in.signatureExtension << " / " << in.signatureDescription
                                     << "; libmagic: " << in.magicMime << " / " << in.magicDescription;
    const std::string json = test::scanJson(path);
    EXPECT_EQ(test::jsonMember(json, "typeID"), l.typeId) << json;
    EXPECT_EQ(test::jsonMember(json, "type"), l.mime) << json;
    EXPECT_EQ(test::jsonMember(json, "extensions"), l.extensions) << json;
  }
}

}  // namespace
}  // namespace kpl
