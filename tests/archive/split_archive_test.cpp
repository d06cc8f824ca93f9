// The split-piece probes on pieces made by zip -s, 7za -v and split(1).
#include <gtest/gtest.h>

#include <tuple>

#include "archive/archive_fta_utils.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;

// zip -s: the first piece has no end record, the last one has. 7za -v: every
// volume ends before the header the start header points to. split(1): a
// piece ends inside the data; the last tar piece ends with the archive's
// zero blocks and cannot be told from a whole archive. A gzip stream carries
// no length up front: every piece counts as one.
TEST(SplitArchive, PiecesAndWholeFiles) {
  const std::vector<std::tuple<const char*, const char*, bool>> cases = {
      {"ZIP", "zipsplit.z01", true},  {"ZIP", "zipsplit.zip", false},  {"ZIP", "plain.zip", false},
      {"7Z", "vol.7z.001", true},     {"7Z", "vol.7z.002", true},      {"7Z", "vol.7z.003", true},
      {"7Z", "a.7z", false},          {"TAR", "noise.tar.001", true},  {"TAR", "noise.tar.002", true},
      {"TAR", "noise.tar.005", false}, {"TAR", "noise.tar", false},    {"XZ", "noise.xz.001", true},
      {"XZ", "noise.xz.002", false},  {"XZ", "noise.xz", false},       {"GZ", "noise.gz.001", true},
      {"GZ", "noise.gz", true},
  };
  for (const auto& [probe, name, split] : cases) {
    InputFile f(test::fixturesDir() + "/archive/" + name);
    ASSERT_TRUE(f.isOpen()) << name;
    EXPECT_EQ(ArchiveFTAUtils::splitFuntionHandler.at(probe)(f, f.size()), split) << probe << " " << name;
  }
}

TEST(SplitArchive, SevenZipCutAnywhereIsAPiece) {
  const std::string whole = test::readFile(test::fixturesDir() + "/archive/a.7z");
  test::TempDir dir;
  for (std::size_t n = 0; n < whole.size(); n += 97) {
    InputFile f(dir.write("cut.7z", whole.substr(0, n)));
    EXPECT_TRUE(ArchiveFTAUtils::isSplit7z(f, f.size())) << n;
  }
  // Header fields near 2^64 must not wrap into "complete".
  Bytes hostile(64, 0);
  InputFile h(dir.write("h.7z", test::put(hostile, {{12, 4, 0xFFFFFFF0u}, {16, 4, 0xFFFFFFFFu}, {20, 4, 0x40}})));
  EXPECT_TRUE(ArchiveFTAUtils::isSplit7z(h, h.size()));
}

}  // namespace
}  // namespace kpl
