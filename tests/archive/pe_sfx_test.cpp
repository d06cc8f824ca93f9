// Self-extracting executables and the PE resource reader, on images built
// here and on executables made by mingw-w64 (see generate.sh).
#include <gtest/gtest.h>

#include "archive/archive_fta_utils.h"
#include "archive/pe_file_parser.h"
#include "archive_builders.h"
#include "common/byte_reader.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::Bytes;
using test::PeBuilder;

const Bytes kRar4 = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0xCF, 0x90, 0x73, 0, 0, 0x0D, 0, 0, 0, 0, 0, 0, 0};

Bytes sevenZip() {
  Bytes b = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x04};
  b.resize(64, 0x01);
  return b;
}

Bytes textSection() { return Bytes(300, 0xC3); }

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

TEST_F(SelfExtractor, ArchiveAtAndAfterTheOverlayStart) {
  auto withOverlay = [](Bytes pad, const Bytes& archive) {
    test::append(pad, archive);
    return PeBuilder().section(".text", 0x1000, textSection()).overlay(pad).bytes();
  };
  EXPECT_TRUE(sfx(withOverlay({}, kRar4)));
  EXPECT_FALSE(sfx(withOverlay({0}, kRar4)));  // RAR only right at the start
  EXPECT_TRUE(sfx(withOverlay({}, sevenZip())));
  EXPECT_TRUE(sfx(withOverlay(Bytes(1023, 0), sevenZip())));
  EXPECT_FALSE(sfx(withOverlay(Bytes(1024, 0), sevenZip())));  // beyond the 1029 bytes searched

  // ZIP with a comment: the first local header within 1024 positions.
  const Bytes commented = test::ZipBuilder().entry("a", "b").comment("c").bytes();
  EXPECT_TRUE(sfx(withOverlay(Bytes(1023, 0), commented)));
  EXPECT_FALSE(sfx(withOverlay(Bytes(1024, 0), commented)));
  EXPECT_FALSE(sfx(PeBuilder().section(".text", 0x1000, textSection()).bytes()));  // no overlay
}

TEST_F(SelfExtractor, ZipWithoutCommentIsFollowedThroughItsDirectory) {
  const Bytes pe = PeBuilder().section(".text", 0x1000, textSection()).bytes();
  // Offsets relative to the executable's start, as zip -A leaves them.
  Bytes adjusted = test::ZipBuilder().prefix(pe).entry("a", "b").bytes();
  EXPECT_TRUE(sfx(adjusted));
  // Unadjusted offsets point into the executable part: refused, although a
  // local header sits right at the overlay start.
  Bytes unadjusted = pe;
  test::append(unadjusted, test::ZipBuilder().entry("a", "b").bytes());
  EXPECT_FALSE(sfx(unadjusted));
}

TEST_F(SelfExtractor, CabinetResource) {
  for (const char* magic : {"MSCF", "ISc("}) {
    Bytes cab = test::bytesOf(magic);
    cab.resize(40, 0);
    EXPECT_TRUE(rsrc(PeBuilder()
                         .section(".text", 0x1000, textSection())
                         .section(".rsrc", 0x2000, test::resourceSection(10, cab, 0x2000))
                         .bytes()));
  }
  Bytes icon(40, 0x11);
  EXPECT_FALSE(rsrc(PeBuilder().section(".rsrc", 0x2000, test::resourceSection(10, icon, 0x2000)).bytes()));
  Bytes cab = test::bytesOf("MSCF");
  EXPECT_FALSE(rsrc(PeBuilder().section(".rsrc", 0x2000, test::resourceSection(3, cab, 0x2000)).bytes()));
}

TEST_F(SelfExtractor, RawDataNearTheEndEndsTheCheck) {
  // Two RCDATA resources: the first is moved to 3 bytes before the end of
  // the file, the second is a cabinet. The first settles it.
  Bytes cab = test::bytesOf("MSCF");
  cab.resize(40, 0);
  const Bytes section = test::resourceSection(10, std::vector<Bytes>{Bytes(8, 1), cab}, 0x2000);
  Bytes pe = PeBuilder().section(".rsrc", 0x2000, section).bytes();
  EXPECT_TRUE(rsrc(pe));
  const uint32_t rsrcRaw = 512, firstDataEntry = 0x30 + 16 + 16;
  const uint32_t nearEnd = static_cast<uint32_t>(pe.size()) - 3;
  test::putU32(pe, rsrcRaw + firstDataEntry, 0x2000 + (nearEnd - rsrcRaw));
  EXPECT_FALSE(rsrc(pe));
}

TEST(PeResources, LoopsAndBadOffsetsAreRejected) {
  test::TempDir dir;
  auto parse = [&](const Bytes& b, PEFileParser::ResDirTableStructure& root) {
    InputFile f(dir.write("p.exe", b));
    return PEFileParser(f, b.size()).parseResourceSection(root);
  };
  PEFileParser::ResDirTableStructure root;
  Bytes good = PeBuilder().section(".rsrc", 0x3000, test::resourceSection(10, Bytes(8, 1), 0x3000)).bytes();
  ASSERT_TRUE(parse(good, root));
  ASSERT_EQ(root.subdirectories.size(), 1u);
  EXPECT_EQ(root.subdirectories[0].id, 10u);

  // A name directory pointing back at the root.
  Bytes loop = test::resourceSection(10, Bytes(8, 1), 0x3000);
  test::putU32(loop, 0x18 + 20, 0x80000000u);
  EXPECT_FALSE(parse(PeBuilder().section(".rsrc", 0x3000, loop).bytes(), root));
  // The root pointing at itself.
  Bytes self = loop;
  test::putU32(self, 20, 0x80000000u);
  EXPECT_FALSE(parse(PeBuilder().section(".rsrc", 0x3000, self).bytes(), root));
  // A subdirectory and a name beyond the end of the file.
  Bytes far = test::resourceSection(10, Bytes(8, 1), 0x3000);
  test::putU32(far, 0x18 + 20, 0x80000000u | 0x7FFF0000u);
  EXPECT_FALSE(parse(PeBuilder().section(".rsrc", 0x3000, far).bytes(), root));
  Bytes named = test::resourceSection(10, Bytes(8, 1), 0x3000);
  test::putU32(named, 16, 0x80000000u | 0x7FFFFF00u);
  EXPECT_FALSE(parse(PeBuilder().section(".rsrc", 0x3000, named).bytes(), root));
  // A chain of distinct directories deeper than any real tree, ending in a
  // data entry: without the depth bound it would be read as valid.
  auto chain = [](uint32_t levels) {
    Bytes c(levels * 24 + 16, 0);
    for (uint32_t d = 0; d < levels; ++d) {
      test::putU16(c, d * 24 + 14, 1);
      test::putU32(c, d * 24 + 20, d + 1 < levels ? (0x80000000u | (d + 1) * 24) : levels * 24);
    }
    return PeBuilder().section(".rsrc", 0x3000, c).bytes();
  };
  EXPECT_TRUE(parse(chain(4), root));
  EXPECT_FALSE(parse(chain(12), root));
}

TEST(PeResources, RealExecutables) {
  const std::string dir = test::fixturesDir() + "/archive/";
  PEFileParser plain(dir + "plain.exe");
  PEFileParser::SectionTable text;
  EXPECT_TRUE(plain.getSectionInformation(".text", text));
  EXPECT_GT(text.sizeOfRawData, 0u);
  EXPECT_TRUE(plain.getListResourceObjects().empty());

  PEFileParser withCab(dir + "rcdata_cab.exe");
  auto list = withCab.getListResourceObjects();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].typeId, 10u);
  EXPECT_EQ(list[0].nameId, 1u);
  InputFile f(dir + "rcdata_cab.exe");
  EXPECT_EQ(f.read(list[0].fileOffset, 4), test::bytesOf("MSCF"));
  EXPECT_EQ(list[0].size, test::readFile(dir + "a.cab").size());
}

}  // namespace
}  // namespace kpl
