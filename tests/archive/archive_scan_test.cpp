// Archives end to end through the scan export: the ignore marker (chain
// step 1) and the archive step (chain step 5) as the host sees them.
#include <gtest/gtest.h>

#include "archive_builders.h"
#include "kpl_engine.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;
using test::jsonMember;

class ArchiveScan : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(test::ensureEngineStarted(), 0); }
  std::string built(const Bytes& bytes, const std::string& name = "built.bin") {
    return test::scanJson(dir.write(name, bytes));
  }
  test::TempDir dir;
};

TEST_F(ArchiveScan, BuiltHeadersAndTheIgnoreMarker) {
  for (const auto& h : test::builtHeaders()) {
    if (h.id == nullptr) continue;
    const std::string json = built(h.bytes, h.type == ArchiveType::RarVolume ? "a.part1.rar" : "built.bin");
    EXPECT_EQ(jsonMember(json, "typeID"), h.id) << h.what << ": " << json;
    if (h.type == ArchiveType::RarVolume) {
      EXPECT_EQ(jsonMember(json, "type"), "application/vnd.rar") << json;
    }
  }

  // The ignore marker turns a gzip stream into plain data.
  Bytes gz = {0x1F, 0x8B, 0x08, 0x00};
  gz.resize(1000, 0x42);
  EXPECT_EQ(jsonMember(built(gz, "plain.gz"), "typeID"), "GZ");
  test::append(gz, test::bytesOf("!NOT MSG FILE!"));
  const std::string marked = built(gz, "marked.gz");
  EXPECT_EQ(jsonMember(marked, "typeID"), "data") << marked;
  EXPECT_EQ(jsonMember(marked, "type"), "application/octet-stream") << marked;
}

}  // namespace
}  // namespace kpl
