// Self-extracting executables and the PE resource reader, on images built
// here and on executables made by mingw-w64 (see generate.sh).
#include <gtest/gtest.h>

#include <tuple>

#include "archive/archive_fta_utils.h"
#include "archive/pe_file_parser.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;
using test::PeBuilder;

Bytes padded(const std::string& magic, std::size_t size, uint8_t fill = 0) {
  Bytes b = test::bytesOf(magic);
  b.resize(size, fill);
  return b;
}
PeBuilder withText() { return PeBuilder().section(".text", 0x1000, Bytes(300, 0xC3)); }
Bytes rsrcPe(uint32_t type, const std::vector<Bytes>& payloads, uint32_t va = 0x2000) {
  return PeBuilder().section(".rsrc", va, test::resourceSection(type, payloads, va)).bytes();
}

class SelfExtractor : public ::testing::Test {
 protected:
  bool sfx(const Bytes& b) {
    InputFile f(dir.write("s.exe", b));
    return ArchiveFTAUtils::checkIsSfxArchive(f, static_cast<long long>(b.size()));
  }
  bool rsrc(const Bytes& b) {
    InputFile f(dir.write("r.exe", b));
    return ArchiveFTAUtils::checkPErsrc(f, static_cast<long long>(b.size()));
  }
  test::TempDir dir;
};

TEST_F(SelfExtractor, ArchiveInTheOverlay) {
  const Bytes rar = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0xCF, 0x90, 0x73, 0, 0, 0x0D, 0, 0, 0, 0, 0, 0, 0};
  const Bytes sevenZip = padded(std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8), 64, 0x01);
  const Bytes commented = test::ZipBuilder().entry("a", "b").comment("c").bytes();
  // RAR only right at the overlay start; 7z within the 1029 bytes searched;
  // ZIP with a comment: the first local header within 1024 positions.
  const std::vector<std::tuple<std::size_t, Bytes, bool>> cases = {
      {0, rar, true},       {1, rar, false},         {0, sevenZip, true},     {1023, sevenZip, true},
      {1024, sevenZip, false}, {1023, commented, true}, {1024, commented, false},
  };
  for (const auto& [pad, archive, found] : cases) {
    Bytes overlay(pad, 0);
    test::append(overlay, archive);
    EXPECT_EQ(sfx(withText().overlay(overlay).bytes()), found) << pad;
  }
  EXPECT_FALSE(sfx(withText().bytes()));  // no overlay

  // ZIP without a comment is followed through its directory: offsets
  // relative to the executable's start (zip -A) pass; unadjusted offsets
  // point into the executable and are refused, although a local header sits
  // right at the overlay start.
  EXPECT_TRUE(sfx(test::ZipBuilder().prefix(withText().bytes()).entry("a", "b").bytes()));
  EXPECT_FALSE(sfx(withText().overlay(test::ZipBuilder().entry("a", "b").bytes()).bytes()));
}

TEST_F(SelfExtractor, CabinetResource) {
  const Bytes cab = padded("MSCF", 40);
  for (const char* magic : {"MSCF", "ISc("}) {
    EXPECT_TRUE(rsrc(withText().section(".rsrc", 0x2000, test::resourceSection(10, {padded(magic, 40)}, 0x2000)).bytes()));
  }
  EXPECT_FALSE(rsrc(rsrcPe(10, {Bytes(40, 0x11)})));
  EXPECT_FALSE(rsrc(rsrcPe(3, {test::bytesOf("MSCF")})));  // not RCDATA

  // Two RCDATA resources: once the first is moved to 3 bytes before the end
  // of the file, it settles the check although the second is a cabinet.
  Bytes pe = rsrcPe(10, {Bytes(8, 1), cab});
  EXPECT_TRUE(rsrc(pe));
  const uint32_t rsrcRaw = 512, firstDataEntry = 0x30 + 16 + 16, nearEnd = static_cast<uint32_t>(pe.size()) - 3;
  test::putU32(pe, rsrcRaw + firstDataEntry, 0x2000 + (nearEnd - rsrcRaw));
  EXPECT_FALSE(rsrc(pe));
}

TEST(PeResources, LoopsAndBadOffsetsAreRejected) {
  test::TempDir dir;
  PEFileParser::ResDirTableStructure root;
  auto parse = [&](const Bytes& section) {
    const Bytes b = PeBuilder().section(".rsrc", 0x3000, section).bytes();
    InputFile f(dir.write("p.exe", b));
    return PEFileParser(f, b.size()).parseResourceSection(root);
  };
  auto patched = [](std::size_t at, uint32_t value) {
    Bytes s = test::resourceSection(10, {Bytes(8, 1)}, 0x3000);
    test::putU32(s, at, value);
    return s;
  };
  ASSERT_TRUE(parse(test::resourceSection(10, {Bytes(8, 1)}, 0x3000)));
  ASSERT_EQ(root.subdirectories.size(), 1u);
  EXPECT_EQ(root.subdirectories[0].id, 10u);
  // A name directory pointing back at the root, the root pointing at itself,
  // a subdirectory and a name beyond the end of the file.
  for (const auto& [at, value] : std::vector<std::pair<std::size_t, uint32_t>>{
           {0x18 + 20, 0x80000000u}, {20, 0x80000000u}, {0x18 + 20, 0x80000000u | 0x7FFF0000u}, {16, 0x80000000u | 0x7FFFFF00u}})
    EXPECT_FALSE(parse(patched(at, value))) << at;
}

}  // namespace
}  // namespace kpl
