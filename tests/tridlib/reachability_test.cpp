// Which rows of the libmagic mapping table a real file reaches: every line
// of tests/fixtures/tridlib/reachability.tsv that says so is proven by the
// answers the file's own scan hands the table; the rows no file reaches
// say why. (The chain step and result of each file are in the golden corpus.)
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "detect/regexp_table.h"
#include "engine/scan.h"
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

TEST(Reachability, EachFileLandsOnItsRowAndUnreachedRowsSayWhy) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  std::set<int> rows;
  for (const Line& l : readTable()) {
    SCOPED_TRACE("row " + std::to_string(l.row) + " " + l.file);
    rows.insert(l.row);
    ASSERT_TRUE(l.reached == "yes" || l.reached == "no");
    if (l.reached == "no") {
      EXPECT_GT(l.note.size(), 20u) << "an unreachable row says why";
    }
    EXPECT_TRUE(l.reached == "no" || l.file != "-");
    EXPECT_TRUE(l.reached == "yes" || l.file == "-" || l.step != "-") << "a file no row sees names its step";
    if (l.file == "-") continue;
    EXPECT_NE(l.madeBy, "-");
    MappingInputs in;
    ASSERT_TRUE(mappingInputs(dir() + l.file, in));
    expectWideningRecorded(l, in);
    if (l.step != "-") continue;  // a chain step takes the file before the table
    EXPECT_EQ(regexpTable.matchingRow(in.signatureExtension, in.signatureDescription, in.magicMime, in.magicDescription),
              l.row) << "library: " << in.signatureExtension << " / " << in.signatureDescription
                                     << "; libmagic: " << in.magicMime << " / " << in.magicDescription;
  }
  EXPECT_EQ(rows.size(), regexpTableRows().size());
  EXPECT_EQ(*rows.begin(), 1);
  EXPECT_EQ(*rows.rbegin(), 79);
}

}  // namespace
}  // namespace kpl
