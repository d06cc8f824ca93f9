#include <gtest/gtest.h>

#include <cstring>

#include "detect/file_type_catalogue.h"
#include "media/autocad_util.h"
#include "test_support.h"

namespace kpl {
namespace {

struct Found {
  AutoCADTypes type;
  AutoCADExts kind;
  std::string description;
};

Found classify(const std::string& path, uint64_t size) {
  AutoCADUtil::init();
  Found f{AUTOCAD_NONE, AUTOCAD_EXT_NONE, ""};
  f.type = AutoCADUtil::determineAutoCADType(path, size, f.kind);
  std::string id, mime, ext;
  AutoCADUtil::adjustAutoCADTypes(f.type, f.kind, id, mime, ext, f.description);
  return f;
}

Found classifyBytes(const std::string& bytes) {
  test::TempDir dir;
  return classify(dir.write("f", bytes), bytes.size());
}

std::string padded(std::string s) {
  s.resize(std::max<std::size_t>(s.size(), 64), ' ');
  return s;
}

// A text DXF from group-code/value pairs, with the indentation and line
// ends real writers use, closed by the EOF marker.
std::string dxf(std::initializer_list<const char*> pairs, const char* eol = "\n") {
  std::string out;
  bool code = true;
  for (const char* p : pairs) {
    out += code ? std::string(3 - std::min<std::size_t>(3, std::strlen(p)), ' ') + p : std::string(p);
    out += eol;
    code = !code;
  }
  return out + "  0" + eol + "EOF" + eol;
}

TEST(AutoCADDwg, EveryListedVersionAndNoOther) {
  const char* versions[] = {"MC0.0",  "AC1.2",  "AC1.4",  "AC1.50", "AC2.10", "AC1002", "AC1003", "AC1004", "AC1006",
                            "AC1009", "AC1012", "AC1014", "AC1015", "AC1018", "AC1021", "AC1024", "AC1027", "AC1032"};
  for (int i = 0; i < 18; ++i) {
    Found f = classifyBytes(padded(versions[i]));
    EXPECT_EQ(f.kind, AUTOCAD_EXT_DWG) << versions[i];
    EXPECT_EQ(f.type, i + 1) << versions[i];
    EXPECT_EQ(f.description, DWGVersionDescription.at(i + 1)) << versions[i];
  }
  EXPECT_EQ(classifyBytes(padded("AC1032")).description, "AutoCAD 2018 Drawing");
  EXPECT_EQ(classifyBytes(padded("AC1.2x")).type, DWG_R1_2);  // five characters decide
  EXPECT_EQ(classifyBytes(padded("AC1099")).type, AUTOCAD_NONE);
  EXPECT_EQ(classifyBytes(std::string("AC1032") + std::string(57, '\0')).type, AUTOCAD_NONE);  // 63 bytes
}

TEST(AutoCADOther, FasAndDwfHeaders) {
  Found fas = classifyBytes(padded("\r\n FAS4-FILE ; Do not change it!\r\n"));
  EXPECT_EQ(fas.kind, AUTOCAD_EXT_FAS);
  EXPECT_EQ(fas.description, "AutoCAD Fast-load AutoLISP");
  EXPECT_EQ(classifyBytes(padded("\r\n FAS4-FILE ; Do not change it\r\n")).type, AUTOCAD_NONE);

  Found dwf = classifyBytes(padded("(DWF V06.01)PK"));
  EXPECT_EQ(dwf.kind, AUTOCAD_EXT_DWF);
  EXPECT_EQ(dwf.description, "AutoCAD V06.01 Design Web Format - Theme: single 3D model");
  Found unknown = classifyBytes(padded("(DWF V07.00)PK"));
  EXPECT_EQ(unknown.type, DWF_UNKNOWN);
  EXPECT_EQ(unknown.description, "AutoCAD Design Web Format");
}

TEST(AutoCADDxf, TextHeaders) {
  Found v = classifyBytes(dxf({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015", "0", "ENDSEC"}));
  EXPECT_EQ(v.kind, AUTOCAD_EXT_DXF);
  EXPECT_EQ(v.description, "AutoCAD 2000-2002 Drawing eXchange Format");
  // CR LF line ends, blank lines and $ACADVER after other variables.
  Found later = classifyBytes(dxf({"0", "SECTION", "2", "HEADER", "9", "$INSBASE", "10", "0.0", "9", "$ACADVER", "1",
                                   "AC1009", "0", "ENDSEC"},
                                  "\r\n\r\n"));
  EXPECT_EQ(later.description, "AutoCAD R11-12 Drawing eXchange Format");
  EXPECT_EQ(classifyBytes(dxf({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC9999", "0", "ENDSEC"}))
                .description,
            "AutoCAD Drawing eXchange Format");

  // No $ACADVER: a header followed by TABLES or CLASSES is a DXF of unknown
  // version; one whose first section is not HEADER is none.
  for (const char* next : {"TABLES", "CLASSES"}) {
    Found f = classifyBytes(dxf({"0", "SECTION", "2", "HEADER", "9", "$INSBASE", "10", "0.0", "0", "ENDSEC", "0",
                                 "SECTION", "2", next, "0", "TABLE"}));
    EXPECT_EQ(f.type, DXF_UNKNOWN) << next;
  }
  EXPECT_EQ(classifyBytes(dxf({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "8", "0", "0", "ENDSEC", "0", "EOF"}))
                .type,
            AUTOCAD_NONE);
  EXPECT_EQ(classifyBytes(dxf({"0", "SECTION", "2", "HEADER", "9", "$INSBASE", "0", "ENDSEC", "0", "SECTION", "2",
                               "ENTITIES", "0", "EOF"}))
                .type,
            AUTOCAD_NONE);
}

TEST(AutoCADDxf, LineLengthBound) {
  auto withVariable = [](std::size_t length) {
    return "  0\nSECTION\n  2\nHEADER\n  9\n$X\n  1\n" + std::string(length, 'x') + "\n  9\n$ACADVER\n  1\nAC1018\n";
  };
  EXPECT_EQ(classifyBytes(withVariable(1024)).type, static_cast<AutoCADTypes>(32));
  EXPECT_EQ(classifyBytes(withVariable(1025)).type, AUTOCAD_NONE);
  EXPECT_EQ(classifyBytes(std::string(5000, '0') + "\nSECTION\n").type, AUTOCAD_NONE);
  // A header that never ends is read only so far.
  std::string endless = "  0\nSECTION\n  2\nHEADER\n";
  for (int i = 0; i < 70000; ++i) endless += "  9\n$X\n";
  EXPECT_EQ(classifyBytes(endless + "  9\n$ACADVER\n  1\nAC1018\n").type, AUTOCAD_NONE);
}

TEST(AutoCADDxf, BinarySentinel) {
  const std::string sentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);
  static const char kGroups[] = "\0\0SECTION\0\2\0HEADER\0\x09\0$ACADVER\0\1\0AC1018";  // 2-byte group codes
  std::string head = sentinel + std::string(kGroups, sizeof(kGroups));
  EXPECT_EQ(classifyBytes(padded(head)).description, "AutoCAD 2004-2006 Drawing eXchange Format");
  EXPECT_EQ(classifyBytes(sentinel + std::string(64, '\0')).type, DXF_UNKNOWN);
  EXPECT_EQ(classifyBytes("AutoCAD Binary DXF\n" + std::string(64, '\0')).type, AUTOCAD_NONE);
}

TEST(AutoCADDxf, RealWriterOutput) {
  const struct {
    const char* name;
    AutoCADTypes type;
  } cases[] = {
      {"r12_ascii.dxf", static_cast<AutoCADTypes>(28)},     {"r2000_ascii.dxf", static_cast<AutoCADTypes>(31)},
      {"r2018_binary.dxf", DXF_2018},                        {"r12_binary.dxf", DXF_UNKNOWN},  // 1-byte group codes
      {"r12_no_acadver.dxf", DXF_UNKNOWN},                   {"entities_only.dxf", AUTOCAD_NONE},
  };
  for (const auto& c : cases) {
    const std::string path = test::fixturesDir() + "/media_cad/" + c.name;
    EXPECT_EQ(classify(path, test::readFile(path).size()).type, c.type) << c.name;
  }
}

TEST(AutoCADDxf, TruncationSweep) {
  const std::string bytes = test::readFile(test::fixturesDir() + "/media_cad/r2000_ascii.dxf");
  ASSERT_LT(bytes.find("AC1015") + 6, 64u);
  for (std::size_t n = 0; n <= 400; ++n) {
    Found f = classifyBytes(bytes.substr(0, n));
    EXPECT_EQ(f.type, n < 64 ? AUTOCAD_NONE : static_cast<AutoCADTypes>(31)) << n;
    EXPECT_EQ(f.kind, n < 64 ? AUTOCAD_EXT_NONE : AUTOCAD_EXT_DXF) << n;
  }
}

}  // namespace
}  // namespace kpl
