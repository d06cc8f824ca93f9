// scan and the file-type entry point end to end in the engine home, and the
// result JSON they write: real files and built ones passed with the
// extensions a host would see, the split-volume, sibling, text and XML rules.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include "catalogue/file_type_groups.h"
#include "common/common_utils.h"
#include "engine/result_json.h"
#include "engine/string_store.h"
#include "kpl_engine.h"
#include "office/office_builders.h"
#include "test_support.h"
#include "test_support_process.h"

namespace kpl {
namespace {

const std::string kGif = test::fixturesDir() + "/tridlib/image.gif";

// A strict parser's view: valid JSON of valid UTF-8.
bool parsesAsJson(const std::string& text) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str(), text.size());
  return !doc.HasParseError();
}

TEST(ResultJson, EscapingKeepsValidTextAndMendsTheRest) {
  const std::string kReplacement = "\xEF\xBF\xBD";
  const struct {
    std::string in, out;
  } kCases[] = {
      {"a\tb\"c\\d\n\r\b\f", "a\\tb\\\"c\\\\d\\n\\r\\b\\f"},  // the seven short escapes
      {std::string("\x00\x01\x1b[31m\x1f", 8), "\\u0000\\u0001\\u001b[31m\\u001f"},
      {"\x7f \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xef\xbf\xbd", "\x7f \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xef\xbf\xbd"},
      {"\xff\xfe", kReplacement + kReplacement},               // never in UTF-8
      {"x\xc3", "x" + kReplacement},                           // cut at the end
      {"\xe2\x82" "A", kReplacement + "A"},                      // one mark for one cut sequence
      {"\xc0\xaf", kReplacement + kReplacement},               // overlong
      {"\xed\xa0\x80", kReplacement + kReplacement + kReplacement},  // a surrogate
      {"\xf4\x90\x80\x80", std::string() + kReplacement + kReplacement + kReplacement + kReplacement},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(escapeJsonString(c.in), c.out);
    EXPECT_TRUE(parsesAsJson('"' + escapeJsonString(c.in) + '"')) << c.out;
  }
}

TEST(FileTypeGroups, TableAndJsonInvariants) {
  map_TypeToGroupId.clear();
  initFileTypeGroup();
  // Every "-ENCRYPTED" identifier but the Visio ones is an encrypted document.
  for (const auto& [id, groups] : map_TypeToGroupId) {
    if (id.find("-ENCRYPTED") != std::string::npos) {
      EXPECT_EQ(groups, (std::vector<std::string>{"D_ENC"})) << id;
    }
  }
  const std::string& json = cacheFileTypeGroups;
  EXPECT_EQ(json.rfind(R"({"A":{"types":[{"id":"7Z","description":"7-zip Compressed Archive","extensions":".7z"},)",
                       0),
            0u);
  EXPECT_NE(json.find(R"("O":{"types":[{"id":"","description":"-","extensions":"-"},)"), std::string::npos);
  EXPECT_NE(json.find(R"({"id":"ZLIB","description":"Zlib Compressed Data","extensions":""}],"description":"Other"}})"),
            std::string::npos);
  // The texts go out unescaped, so none may need escaping.
  EXPECT_EQ(json.find('\\'), std::string::npos);
  EXPECT_TRUE(parsesAsJson(json));
}

// An answer the host cannot parse lets the file past it: libmagic copies raw
// bytes of the file (here a control byte and 0xFF) into its descriptions.
TEST(Scan, AnswerIsJsonWhateverLibmagicCopies) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  const std::string answer =
      test::scanJson(KPL_TEST_SOURCE_DIR "/fuzz/regress/scan/vim-swap-version-control-and-non-utf8");
  ASSERT_TRUE(parsesAsJson(answer)) << answer;
  EXPECT_NE(test::jsonMember(answer, "description").find("\\u0001\xEF\xBF\xBD\\u001b"), std::string::npos) << answer;
}

TEST(Scan, FailuresGiveOneAndNoJsonAndUnreceivedAnswersAreNotKept) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  unsigned int status = 7;
  const std::size_t before = registeredStringCount();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(scan(kGif.c_str(), &status, nullptr), 0);
  EXPECT_EQ(registeredStringCount(), before);
  const char* json = "untouched";
  EXPECT_EQ(scan(nullptr, &status, &json), 1);
  EXPECT_EQ(status, 1u);
  EXPECT_EQ(json, nullptr);
  json = "untouched";
  EXPECT_EQ(scan("/no/such/file", &status, &json), 1);
  EXPECT_EQ(json, nullptr);
  // A FIFO: libmagic names it without reading, the library refuses it.
  test::TempDir dir;
  std::string fifo = dir.path() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(scan(fifo.c_str(), &status, &json), 1);
  EXPECT_EQ(json, nullptr);
}

// An Office Open XML extension from the signature library reaches the table
// as "ZIP": a home whose library names a marker "XLSX" shows it.
TEST(Scan, OfficeOpenXmlAnswerIsSeenAsZip) {
  test::TempDir home;
  const std::string real = test::homeDir();
  for (const char* f : {"kpl_engine.so", "libTrIDLib.so", "7za", "database/magic/magic.mgc"})
    home.write(f, test::readFile(real + "/" + f));
  home.write("database/trid/probe.trd",
             std::string("def XLSX\n type Excel Microsoft Office Open XML Format document\n"
                         " at 0 \"KPL-OOXML-PROBE\"\nend\n"));
  std::string file = home.write("probe.bin", "KPL-OOXML-PROBE META-INF/" + test::randomBytes(2000, 3));
  int rc = test::runInChild([&] {
    if (::chdir(home.path().c_str()) != 0 || init() != 0) return 2;
    std::string json = test::scanJson(file);
    // Row 78 with the rewritten extension "zip", which with "META-INF/" near
    // the start makes a JAR; with "xlsx" it would stay data.
    return test::jsonMember(json, "typeID") == "JAR" ? 0 : 3;
  });
  EXPECT_EQ(rc, 0);
}

std::string fileType(const std::string& path, const char* extension) {
  const char* json = nullptr;
  if (::kplFileType(path.c_str(), extension, &json) != 0 || json == nullptr) return "failed";
  std::string copy = json;
  ::freeString(&json);
  return copy;
}

// The list of type identifiers, which only this entry point writes: the
// last member, after "encrypted".
std::string typeIds(const std::string& json) {
  const std::size_t at = json.find(",\"type_ids\":[");
  if (at == std::string::npos || json.compare(json.size() - 2, 2, "]}") != 0) return "<none>";
  return json.substr(at + 13, json.size() - 2 - at - 13);
}

std::string fixture(const std::string& name) { return test::fixturesDir() + "/" + name; }

// Compound files the fixtures do not hold: a PowerPoint document encrypted
// with a user password, and a Visio 2003-2010 drawing.
test::Bytes encryptedPowerPoint() {
  const test::Bytes info =
      test::cryptoApiInfo(test::loadVerifier("cryptoapi", 128, "secret"), test::CryptoApiHeader());
  const test::PptStreams s = test::pptStreams(&info, 1, {{1, {test::kCrypt}}});
  test::CfbBuilder b;
  b.stream("Current User", s.currentUser);
  b.stream("PowerPoint Document", s.document);
  return b.build();
}

test::Bytes visioDrawing() {
  test::CfbBuilder b;
  b.stream(u"VisioDocument", test::Bytes(64, 0));
  return b.build();
}

class FileTypeEntry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(test::ensureEngineStarted(), 0); }
  test::TempDir dir;
};

TEST_F(FileTypeEntry, TheExtensionDecidesWhatTheBytesCannot) {
  const std::string ppt = fixture("office/powerpoint.ppt"), encryptedPpt = dir.write("e.ppt", encryptedPowerPoint());
  const std::string csv = dir.write("t.csv", "name,size,kind\nalpha,1,a\nbeta,2,b\ngamma,3,c\n");
  const struct {
    std::string path;
    const char* extension;
    const char* typeId;
    const char* mime;        // null: not checked
    const char* extensions;  // null: not checked
    const char* typeIds;
    bool encrypted;
  } cases[] = {
      {ppt, "pps", "PPS", "application/vnd.ms-powerpoint", "pps", R"("PPS")", false},
      {ppt, "POT", "POT", "application/vnd.ms-powerpoint", "pot", R"("POT")", false},
      {ppt, "doc", "PPT", "application/vnd.ms-powerpoint", nullptr, R"("PPT","DOC")", false},
      {encryptedPpt, "pot", "POT-ENCRYPTED", "application/vnd.ms-powerpoint", "pot", R"("POT-ENCRYPTED")", true},
      {fixture("text/page_single.mht"), "eml", "EML", "message/rfc822", "eml", R"("EML")", false},
      {fixture("text/page_single.mht"), "mhtml", "MHT", "application/x-mimearchive", "mht,mhtml", R"("MHT","MHTML")", false},
      {dir.write("v.vsd", visioDrawing()), "vss", "VSS", "application/visio", "vss", R"("VSS")", false},
      {dir.write("v2.vsd", visioDrawing()), "vdx", "VSD", nullptr, nullptr, R"("VSD","VDX")", false},
      {fixture("text/notes.txt"), "txt", "TXT", "text/plain", nullptr, R"("TXT")", false},
      {csv, "csv", "CSV", nullptr, nullptr, R"("TXT","CSV")", false},
      {dir.write("a.xex", std::string("\xFF\xFF\x00\x20\x03\x20\xEA\xEA\xEA\xEA", 10)), "exe", "XEX/EXE", nullptr,
       "xex,exe", R"("XEX","EXE")", false},
      {fixture("office/word_password.doc"), "doc", "DOC-ENCRYPTED", nullptr, nullptr, R"("DOC-ENCRYPTED")", true},
      {fixture("office/packages/text_password.odt"), "odt", "ODT-ENCRYPTED", nullptr, nullptr,
       R"("ODT-ENCRYPTED","ODT")", true},
      {dir.write("r.docx", test::randomBytes(3000, 3)), "docx", "data", "application/octet-stream", "-", R"("data","DOCX")", false},
      {dir.write("r.bin", test::randomBytes(3000, 3)), "bin", "data", nullptr, "", R"("data","BIN")", false},
      {fixture("text/plain.xml"), "svg", "XML", nullptr, "xml,svg", R"("XML","SVG")", false},
      {fixture("text/plain.xml"), "XML", "XML", nullptr, "xml", R"("XML")", false},
      {fixture("text/plain.xml"), "", "XML", nullptr, "xml", R"("XML")", false},
      {fixture("office/word.doc"), "htm", "DOC", nullptr, nullptr, R"("DOC","HTML")", false},
  };
  for (const auto& c : cases) {
    const std::string json = fileType(c.path, c.extension);
    SCOPED_TRACE(c.path + " as \"" + c.extension + "\": " + json);
    EXPECT_EQ(test::jsonMember(json, "typeID"), c.typeId);
    if (c.mime) {
      EXPECT_EQ(test::jsonMember(json, "type"), c.mime);
    }
    if (c.extensions) {
      EXPECT_EQ(test::jsonMember(json, "extensions"), c.extensions);
    }
    EXPECT_EQ(typeIds(json), c.typeIds);
    EXPECT_EQ(test::jsonMember(json, "encrypted"), c.encrypted ? "true" : "false");
  }
  // A presentation taken as a show reads as the host documents it.
  EXPECT_EQ(test::jsonMember(fileType(ppt, "pps"), "description"), "Microsoft PowerPoint 97-2003 Show");
}

TEST_F(FileTypeEntry, SplitVolumesByTheirVolumeExtensionOnly) {
  // Volumes from 7za -v, split and zip -s; the first piece of a ZIP cut by
  // `split` is made here: a local header, no end record.
  const std::string zip = test::readFile(fixture("archive/plain.zip"));
  const std::string zipPiece = dir.write("p.zip.001", zip.substr(0, zip.size() / 2));
  const struct {
    std::string path;
    const char* volumeExtension;
    const char* wholeExtension;
    const char* scanned;  // scan's own answer, which the other extension keeps
    const char* mime;
  } cases[] = {
      {fixture("archive/vol.7z.001"), "001", "7z", "7Z", "application/octet-stream"},
      {fixture("archive/noise.tar.001"), "001", "tar", "TAR", "application/x-tar"},
      {fixture("archive/noise.xz.001"), "001", "xz", "XZ", "application/octet-stream"},
      {fixture("archive/noise.gz.001"), "001", "gz", "GZ", "application/octet-stream"},
      {zipPiece, "001", "zip", "ZIP", "application/zip"},
      {fixture("archive/zipsplit.z01"), "z01", "zip", "ZIP", "application/zip"},  // zip -s
  };
  for (const auto& c : cases) {
    const std::string volume = fileType(c.path, c.volumeExtension);
    EXPECT_EQ(test::jsonMember(volume, "typeID"), "SPLIT_ARC") << c.path << ": " << volume;
    EXPECT_EQ(test::jsonMember(volume, "type"), c.mime) << volume;
    EXPECT_EQ(test::jsonMember(volume, "extensions"), "") << volume;
    EXPECT_EQ(test::jsonMember(fileType(c.path, c.wholeExtension), "typeID"), c.scanned) << c.path;
  }
  // A whole archive with a volume extension stays what it is.
  EXPECT_EQ(test::jsonMember(fileType(fixture("archive/plain.zip"), "001"), "typeID"), "ZIP");
}

TEST_F(FileTypeEntry, FailuresPassThroughAndLeaveTheReceiverAlone) {
  const char* json = "host's own";
  EXPECT_EQ(::kplFileType((dir.path() + "/missing").c_str(), "txt", &json), 1);
  EXPECT_STREQ(json, "host's own");
  EXPECT_EQ(::kplFileType(nullptr, "txt", &json), 1);
  EXPECT_EQ(::kplFileType(fixture("office/word.doc").c_str(), nullptr, &json), 0);  // NULL extension: ""
  ::freeString(&json);
  EXPECT_EQ(::kplFileType(fixture("office/word.doc").c_str(), "doc", nullptr), 0);
}

TEST(FileTypeEntryReadBack, ValuesAreReadBackAsWritten) {
  const std::string json = R"({"typeID":"A/B","type":"","description":"say \"hi\", there","extensions":"x,y","encrypted":true})";
  std::string values;
  for (const char* name : {"typeID", "type", "description", "extensions", "encrypted", "missing"})
    values += CommonUtils::getValueOf(name, json) + "|";
  EXPECT_EQ(values, R"(A/B||say \"hi\", there|x,y|true||)");  // escapes stay as written
}

}  // namespace
}  // namespace kpl
