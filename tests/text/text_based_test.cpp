// The text classifier: the tag probe's deciding values, the bounded tag
// scan against the tag reader's whole lists, and the probe order.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "text/html_tag_reader.h"
#include "text/text_based_fta_utils.h"

namespace kpl {
namespace {

std::string tags(const std::string& name, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "<" + name + ">";
  return out;
}

// The tag reader's whole lists judged by the list form of the probe.
TextBasedType wholeListVerdict(const std::string& document) {
  HTMLReader reader;
  if (!reader.readFromBytes(document.data(), document.size())) return TEXT_NONE;
  return TextBasedFTAUtils::classifyTagLists(reader.getListTag(), reader.getListFullTag());
}

// The probe as the scan runs it: the bounded scan over the input.
TextBasedType boundedVerdict(const std::string& document) {
  return TextBasedFTAUtils::checkHTMLComponent(
      InputFile::fromBytes(std::vector<uint8_t>(document.begin(), document.end())));
}

struct TagCase {
  const char* what;
  std::string document;
  TextBasedType expected;
};

TEST(TextBasedFTAUtils, TagProbeDecidingValues) {
  const std::vector<TagCase> cases = {
      {"60 % HTML names", "<body>" + tags("b", 59) + tags("zz", 40), TEXT_XML},
      {"61 % HTML names", "<body>" + tags("b", 60) + tags("zz", 39), TEXT_HTML},
      {"3 of 5 HTML names", "<p><p><p><zz><zz>", TEXT_XML},
      {"two tags", "<html></html>", TEXT_NONE},
      {"three tags", "<html><body></html>", TEXT_HTML},
      {"one-letter names other than HTML's", "<html><x><y><z><body><zz>", TEXT_HTML},
      {"one-letter HTML names count", "<html><b><i><zz><yy><xx>", TEXT_XML},
      {"COLLADA", "<COLLADA><asset></asset></COLLADA>", TEXT_DAE},
      {"Collada", "<Collada><asset></asset></Collada>", TEXT_XML},
      {"dialects in any case", "<?xml version=\"1.0\"?><SVG:svg><g/></SVG:svg>", TEXT_SVG},
      {"feed", "<feed><entry></entry></feed>", TEXT_ATOM},
      {"rss", "<RSS><channel></channel></RSS>", TEXT_RSS},
      {"relationships", "<Relationships><Relationship/></Relationships>", TEXT_RELS},
      {"car", "<car><x></x></car>", TEXT_ZIR},
      {"aiml", "<aiml><category></category></aiml>", TEXT_AIML},
      {"gpx", "<gpx><trk></trk></gpx>", TEXT_GPX},
      {"rdf", "<rdf:RDF><x></x></rdf:RDF>", TEXT_RDF},
      {"XML declaration, html doctype", "<?xml version=\"1.0\"?><!DOCTYPE html><html><body></body></html>",
       TEXT_HTML},
      {"XML declaration, html doctype with more words",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE  HTML PUBLIC \"-//W3C//DTD XHTML 1.0\"><html><body></body></html>", TEXT_HTML},
      {"XML declaration, other doctype", "<?xml version=\"1.0\"?><!DOCTYPE page><html><body></body></html>", TEXT_XML},
      {"XML declaration, no doctype", "<?xml version=\"1.0\"?><page><p><b><i></i></b></p></page>", TEXT_XML},
      {"first real element is HTML", "<div><p><svg></svg></p></div>", TEXT_HTML},
      {"visio document", "<VisioDocument><DocumentProperties/><Pages/></VisioDocument>", TEXT_VDX},
      {"visio document without properties", "<VisioDocument><svg/><Pages/></VisioDocument>", TEXT_SVG},
      {"VML drawing", "<xml><v:shapetype/><v:shape></v:shape></xml>", TEXT_VML},
      {"VML root in upper case", "<XML><v:shapetype/><v:shape></v:shape></XML>", TEXT_XML},
      {"VML root not closing the document", "<xml><v:shapetype/></xml><o:p>", TEXT_XML},
      {"text before the first tag", "x<html><head><body>", TEXT_NONE},
      {"byte-order mark and whitespace", "\xEF\xBB\xBF \r\n<html><head><body>", TEXT_HTML},
      {"php", "<html><head><?php echo 1; ?><body>", TEXT_NONE},
      {"comment and script", "<html><!-- <zz><zz><zz> --><script><zz><zz></script><body>", TEXT_HTML},
      {"high byte outside quotes", "<html><zz \x80><zz \x80><head><body>", TEXT_HTML},
      {"high byte inside quotes", "<html><zz a=\"\x80\"><zz a=\"\x80\"><head>", TEXT_XML},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(boundedVerdict(c.document), c.expected) << c.what;
    EXPECT_EQ(wholeListVerdict(c.document), c.expected) << c.what << " (whole lists)";
  }
}

// Every text fixture and a generated mix of markup: the bounded scan
// answers what the tag reader's whole lists answer.
TEST(TextBasedFTAUtils, BoundedScanEqualsWholeLists) {
  std::vector<std::string> documents;
  for (const auto& e : std::filesystem::directory_iterator(test::fixturesDir() + "/text"))
    documents.push_back(test::readFile(e.path().string()));
  ASSERT_GT(documents.size(), 20u);

  const std::vector<std::string> pieces = {
      "<html>", "</html>", "<body>", "<p>", "<b>", "<x>", "<zz>", "</zz>", "<v:shapetype/>", "<xml>", "</xml>",
      "<?xml version=\"1.0\"?>", "<!DOCTYPE html>", "<!doctype svg>", "<!DOCTYPE\thtml\n>", "<svg>", "<COLLADA>",
      "<VisioDocument>", "<documentProperties>", "<!-- c -->", "<!--", "-->", "<script>", "</script>", "<a href=\"x>\">",
      "<zz a=\"\x80\">", "<zz \x80>", "\x80", "<?>", "<? x ?>", "<?php", "<http://x>", "</>", "</zz/>", "<zz/>",
      "<a=b>", "text", " ", "\n", "<", ">", "\"", "<!ENTITY e>", "<?encoding x?>", "<rss>", "<feed>", "<o:p>", "<Z>",
      "<" + std::string(100, 'n') + "?xml>", std::string(1, '\0')};
  std::mt19937 random(7);
  for (int n = 0; n < 20000; ++n) {
    std::string doc = random() % 4 == 0 ? "\xEF\xBB\xBF" : "";
    const int count = 1 + static_cast<int>(random() % 16);
    for (int i = 0; i < count; ++i) doc += pieces[random() % pieces.size()];
    documents.push_back(doc);
  }
  int recognised = 0;
  for (const auto& doc : documents) {
    const TextBasedType whole = wholeListVerdict(doc);
    recognised += whole != TEXT_NONE ? 1 : 0;
    ASSERT_EQ(boundedVerdict(doc), whole) << doc;
  }
  EXPECT_GT(recognised, 2000);
}

TEST(TextBasedFTAUtils, RetriedTagsBeforeOneDistantEndStayLinear) {
  // Every "<a" is refused at one of the two high bytes (whichever lies
  // outside quotes counted from it) and the scan retries one byte later: a
  // walk from each start to the end would take minutes here.
  std::string doc = "<html><head><body>";
  for (int i = 0; i < 400000; ++i) doc += "<a \"";
  doc += "\x80\"\x80>";
  EXPECT_EQ(boundedVerdict(doc), wholeListVerdict(doc));
  EXPECT_EQ(boundedVerdict(doc), TEXT_HTML);
}

TEST(TextBasedFTAUtils, DoctypeWords) {
  for (const char* html : {"!DOCTYPE html", " !doctype  HTML public"})
    EXPECT_FALSE(TextBasedFTAUtils::shouldChangeToXML(html)) << html;
  for (const char* other : {"!DOCTYPE htmlx", "!DOCTYPE svg html", "!DOCTYPE "})
    EXPECT_TRUE(TextBasedFTAUtils::shouldChangeToXML(other)) << other;
}

TEST(TextBasedFTAUtils, ProbeOrderAndRecords) {
  test::TempDir dir;
  // A calendar that starts like a tag document is judged by the tag probe.
  const std::string calendar = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:p\nEND:VCALENDAR\n";
  EXPECT_EQ(TextBasedFTAUtils::isTextBased(dir.write("a.ics", calendar)), TEXT_ICS);
  EXPECT_EQ(TextBasedFTAUtils::isTextBased(dir.write("b.ics", "<a><b><i>\n" + calendar)), TEXT_HTML);
  EXPECT_EQ(TextBasedFTAUtils::isTextBased(dir.write("c.txt", "plain words\n")), TEXT_NONE);
  EXPECT_EQ(TextBasedFTAUtils::isTextBased(dir.path() + "/missing"), TEXT_NONE);

  // Every kind has a record whose identifier is in the catalogue; value 5
  // and unknown values fall back to plain text.
  for (int kind = 0; kind <= 19; ++kind) {
    std::string id, mime, ext, description;
    TextBasedFTAUtils::adjustTextBasedTypes(static_cast<TextBasedType>(kind), id, mime, ext, description);
    EXPECT_FALSE(description.empty()) << kind;
    EXPECT_EQ(id == "TXT", kind == 0 || kind == 5 || kind == 19) << kind;
  }
}

}  // namespace
}  // namespace kpl
