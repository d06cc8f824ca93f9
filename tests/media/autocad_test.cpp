// The AutoCAD probe: DWG, FAS and DWF headers, text and binary DXF, bounds.
#include <gtest/gtest.h>

#include <sstream>

#include "media/autocad_table.h"
#include "media/autocad_util.h"
#include "test_support.h"

namespace kpl {
namespace {

// The version found in a file of these bytes and the description reported.
std::pair<int, std::string> classify(const std::string& bytes) {
  AutoCADUtil::init();
  test::TempDir dir;
  AutoCADExts kind;
  const AutoCADTypes type = AutoCADUtil::determineAutoCADType(dir.write("f", bytes), bytes.size(), kind);
  EXPECT_EQ(type == AUTOCAD_NONE, kind == AUTOCAD_EXT_NONE);
  std::string id, mime, ext, description;
  AutoCADUtil::adjustAutoCADTypes(type, kind, id, mime, ext, description);
  return {type, description};
}

std::string padded(std::string s) {
  if (s.size() < 64) s.resize(64, ' ');
  return s;
}

// A text DXF from space-separated group codes and values, indented as real
// writers do and closed by the EOF marker.
std::string dxf(const std::string& tokens, const std::string& eol = "\n") {
  std::istringstream in(tokens + " 0 EOF");
  std::string out, token;
  for (bool code = true; in >> token; code = !code)
    out += (code ? std::string(3 - std::min<std::size_t>(3, token.size()), ' ') : "") + token + eol;
  return out;
}

TEST(AutoCADDwg, EveryListedVersionAndNoOther) {
  const char* versions[] = {"MC0.0",  "AC1.2",  "AC1.4",  "AC1.50", "AC2.10", "AC1002", "AC1003", "AC1004", "AC1006",
                            "AC1009", "AC1012", "AC1014", "AC1015", "AC1018", "AC1021", "AC1024", "AC1027", "AC1032"};
  for (int i = 0; i < 18; ++i)
    EXPECT_EQ(classify(padded(versions[i])), std::make_pair(i + 1, DWGVersionDescription.at(i + 1))) << versions[i];
  EXPECT_EQ(classify(padded("AC1032")).second, "AutoCAD 2018 Drawing");
  EXPECT_EQ(classify(padded("AC1.2x")).first, DWG_R1_2);  // five characters decide
  EXPECT_EQ(classify(padded("AC1099")).first, AUTOCAD_NONE);
  EXPECT_EQ(classify("AC1032" + std::string(57, '\0')).first, AUTOCAD_NONE);  // 63 bytes
  // FAS and DWF headers.
  EXPECT_EQ(classify(padded("\r\n FAS4-FILE ; Do not change it!\r\n")).second, "AutoCAD Fast-load AutoLISP");
  EXPECT_EQ(classify(padded("\r\n FAS4-FILE ; Do not change it\r\n")).first, AUTOCAD_NONE);
  EXPECT_EQ(classify(padded("(DWF V06.01)PK")).second, "AutoCAD V06.01 Design Web Format - Theme: single 3D model");
  EXPECT_EQ(classify(padded("(DWF V07.00)PK")), std::make_pair(+DWF_UNKNOWN, std::string("AutoCAD Design Web Format")));
}

TEST(AutoCADDxf, TextHeaders) {
  const std::string header = "0 SECTION 2 HEADER 9 $INSBASE 10 0.0 0 ENDSEC 0 SECTION 2 ";
  const std::pair<std::string, std::string> described[] = {
      {dxf("0 SECTION 2 HEADER 9 $ACADVER 1 AC1015 0 ENDSEC"), "AutoCAD 2000-2002 Drawing eXchange Format"},
      // CR LF line ends, blank lines, $ACADVER after another variable.
      {dxf("0 SECTION 2 HEADER 9 $INSBASE 10 0.0 9 $ACADVER 1 AC1009 0 ENDSEC", "\r\n\r\n"),
       "AutoCAD R11-12 Drawing eXchange Format"},
      {dxf("0 SECTION 2 HEADER 9 $ACADVER 1 AC9999 0 ENDSEC"), "AutoCAD Drawing eXchange Format"},
  };
  for (const auto& [bytes, description] : described) EXPECT_EQ(classify(bytes).second, description);
  // Without $ACADVER only a header followed by TABLES or CLASSES counts.
  EXPECT_EQ(classify(dxf(header + "TABLES 0 TABLE")).first, DXF_UNKNOWN);
  EXPECT_EQ(classify(dxf(header + "CLASSES 0 CLASS")).first, DXF_UNKNOWN);
  EXPECT_EQ(classify(dxf(header + "ENTITIES 0 LINE")).first, AUTOCAD_NONE);
  EXPECT_EQ(classify(dxf("0 SECTION 2 ENTITIES 0 LINE 8 0 0 ENDSEC 0 SECTION 2 TABLES")).first, AUTOCAD_NONE);
}

TEST(AutoCADDxf, LinesAreBounded) {
  auto withValue = [](std::size_t length) {
    return dxf("0 SECTION 2 HEADER 9 $X 1 " + std::string(length, 'x') + " 9 $ACADVER 1 AC1018");
  };
  EXPECT_EQ(classify(withValue(1024)).first, 32);
  EXPECT_EQ(classify(withValue(1025)).first, AUTOCAD_NONE);
  EXPECT_EQ(classify(std::string(5000, '0') + "\nSECTION\n").first, AUTOCAD_NONE);
}

TEST(AutoCADDxf, BinarySentinel) {
  const std::string sentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);
  static const char kGroups[] = "\0\0SECTION\0\2\0HEADER\0\x09\0$ACADVER\0\1\0AC1018";  // 2-byte group codes
  EXPECT_EQ(classify(padded(sentinel + std::string(kGroups, sizeof(kGroups)))).second,
            "AutoCAD 2004-2006 Drawing eXchange Format");
  EXPECT_EQ(classify(sentinel + std::string(64, '\0')).first, DXF_UNKNOWN);
  EXPECT_EQ(classify("AutoCAD Binary DXF\n" + std::string(64, '\0')).first, AUTOCAD_NONE);
}

}  // namespace
}  // namespace kpl
