// RAR 5 variable-length integers and a marker too short for a header.
#include <gtest/gtest.h>

#include "archive/rar_archive.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;

TEST(RarHeader, VariableLengthIntegers) {
  test::TempDir dir;
  InputFile f(dir.write("v", Bytes{0xFF, 0x01, 0x05, 0x80, 0x80}));
  VInt v;
  uint64_t pos = 0;
  ASSERT_TRUE(v.ReadVIntValue(f, pos, f.size()));
  EXPECT_EQ(v.GetVIntValue(), 0xFFu);
  EXPECT_EQ(pos, 2u);
  ASSERT_TRUE(v.ReadVIntValue(f, pos, f.size()));
  EXPECT_EQ(v.GetVIntValue(), 5u);
  // Continuation bits running into the limit stop there.
  ASSERT_TRUE(v.ReadVIntValue(f, pos, f.size()));
  EXPECT_EQ(pos, 5u);
  EXPECT_FALSE(v.ReadVIntValue(f, pos, f.size()));

  // Ten bytes at most, even when all carry the continuation bit.
  InputFile g(dir.write("w", Bytes(16, 0xFF)));
  pos = 0;
  v.ReadVIntValue(g, pos, g.size());
  EXPECT_EQ(pos, 10u);

  // Fewer than 8 bytes: no marker, no volume flag.
  InputFile s(dir.write("s", Bytes{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}));
  bool volume = true;
  EXPECT_FALSE(RARHeaderParser(&s).parseRARHeader(volume));
  EXPECT_FALSE(volume);
}

}  // namespace
}  // namespace kpl
