// Tar headers without the ustar magic.
#include <gtest/gtest.h>

#include <tuple>

#include "archive/tar_archive.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;

Bytes tarHeader(const std::string& name, const std::string& size, char type) {
  Bytes h = test::textAt(512, 0, name);
  test::putText(h, 124, size);
  h[156] = static_cast<uint8_t>(type);
  return h;
}

TEST(TarHeader, TypeFlagSizeAndName) {
  test::TempDir dir;
  auto isTar = [&](const Bytes& b) {
    InputFile f(dir.write("t.tar", b));
    return TarArchive().isTAR(f, b.size());
  };
  const std::vector<std::tuple<const char*, const char*, char, bool>> cases = {
      {"a.txt", "00000000014", '0', true},   {"dir/", "00000000000", '5', true},
      {"link", "           ", '2', false},   // no digit at all
      {"link", "0", '1', true},              {"empty", "00000000000", '0', false},  // empty regular file
      {"old", "00000000014", '\0', false},   // pre-POSIX regular file
      {"dir/", "00000000001", '5', false},   {"a.txt", "0000000001 9", '0', false},  // not octal
      {"a.txt", "00000000014", 'x', false},  {"a.txt", "   14 ", '0', true},  // leading spaces, then digits
  };
  for (const auto& [name, size, type, tar] : cases) EXPECT_EQ(isTar(tarHeader(name, size, type)), tar) << name << size;
  for (char c : std::string(":*?\"<>|")) EXPECT_FALSE(isTar(tarHeader(std::string("a") + c, "1", '0'))) << c;
  Bytes h = tarHeader("a.txt", "00000000014", '0');
  h[60] = ':';  // the name field is checked past its NUL
  EXPECT_FALSE(isTar(h));
  h[60] = 0;
  h.resize(511);
  EXPECT_FALSE(isTar(h));
}

}  // namespace
}  // namespace kpl
