// The tag reader: which tags a document yields, which documents are
// refused, and that reading a file stays bounded.
#include "text/html_tag_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "common/limits.h"
#include "test_support.h"

namespace kpl {
namespace {

using Tags = std::vector<std::string>;

struct Case {
  const char* what;
  std::string text;
  bool parsed;
  Tags names;
  Tags fullTags;
};

TEST(HTMLReader, DocumentsGiveTheirTags) {
  const std::vector<Case> cases = {
      {"whitespace before the first tag", " \t\r\n<html><body>", true, {"html", "body"}, {"html", "body"}},
      {"text before the first tag", "x<html>", false, {}, {}},
      {"no tag at all", "   ", false, {}, {}},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF<a>", true, {"a"}, {"a"}},
      {"UTF-16 byte-order mark", "\xFF\xFE<a>", false, {}, {}},
      {"RTF", "{\\rtf1<a>", false, {}, {}},
      {"attributes and end tag", "<a href=\"x\" id=1>t</a>", true, {"a", "a"}, {"a href=\"x\" id=1", "/a"}},
      {"declarations", "<?xml version=\"1.0\"?><!DOCTYPE html>", true, {"?xml", "!DOCTYPE"},
       {"?xml version=\"1.0\"?", "!DOCTYPE html"}},
      {"comment holding tags", "<a><!-- <b> --><c>", true, {"a", "c"}, {"a", "c"}},
      {"unclosed comment", "<a><!-- <b> <c>", true, {"a"}, {"a"}},
      // The end search restarts one byte after a failed partial match.
      {"comment closed by more dashes", "<a><!-- <b> ---><c>", true, {"a", "c"}, {"a", "c"}},
      {"high byte inside quotes", "<a t=\"\xC3\xA9\"><b>", true, {"a", "b"}, {"a t=\"\xC3\xA9\"", "b"}},
      {"high byte outside quotes", "<p><a t=\xC3\xA9><b>", true, {"p", "b"}, {"p", "b"}},
      {"high byte after a name", "<p><a\xC3\xA9>", true, {"p"}, {"p"}},
      {"script content", "<p><script>if(a<b){x='<div>'}</div></SCRIPT><i>", true,
       {"p", "script", "div", "SCRIPT", "i"}, {"p", "script", "/div", "/SCRIPT", "i"}},
      {"addresses in angle brackets", "<p><http://x.org/><HTTPS://y><file:/z><fpt://q>", true, {"p"}, {"p"}},
      {"empty element and bad end tag", "<p><br/></a/></>", true, {"p", "br"}, {"p", "br/"}},
      {"name followed by a bad byte", "<p><a\"b><c;>", true, {"p"}, {"p"}},
      {"unclosed tag", "<p><a href=", true, {"p"}, {"p"}},
      {"php stops the parse", "<p><?PHP echo 1 ?><b>", false, {"p"}, {"p"}},
      {"Office application mark", "<?xml v=\"1\"?><?mso-application progid=\"Word.Document\"?>", false,
       {"?xml"}, {"?xml v=\"1\"?"}},
      {"short question-mark tag", "<p><?><b>", true, {"p", "b"}, {"p", "b"}},
      {"long question-mark tag", "<p><? x ?><b>", false, {"p"}, {"p"}},
  };
  for (const Case& c : cases) {
    HTMLReader reader;
    EXPECT_EQ(reader.readFromString(c.text), c.parsed) << c.what;
    EXPECT_EQ(reader.getListTag(), c.names) << c.what;
    EXPECT_EQ(reader.getListFullTag(), c.fullTags) << c.what;
  }
}

TEST(HTMLReader, StringStopsAtNulBytesAndBytesDoNot) {
  const std::string text("<a>\0<b>", 7);
  HTMLReader fromString, fromBytes;
  EXPECT_TRUE(fromString.readFromString(text));
  EXPECT_EQ(fromString.getListTag(), Tags{"a"});
  EXPECT_TRUE(fromBytes.readFromBytes(text.data(), text.size()));
  EXPECT_EQ(fromBytes.getListTag(), (Tags{"a", "b"}));
}

// Many tags that all end at one distant ">" and are all invalid: each one
// would be walked to that ">" again without the reader's remembered search.
TEST(HTMLReader, TagsSharingADistantEndStayLinear) {
  std::string text = "<p>";
  for (int i = 0; i < 200000; ++i) text += "<a \"\" ";
  text += "\x80>";
  HTMLReader reader;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(reader.readFromString(text));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(reader.getListTag(), Tags{"p"});

  // One more quote in front: the first of those tags now sees the high
  // byte inside quotes and is collected, spanning the rest.
  text = "<p><a \" " + text.substr(3);
  HTMLReader quoted;
  EXPECT_TRUE(quoted.readFromString(text));
  ASSERT_EQ(quoted.getListTag().size(), 2u);
  EXPECT_EQ(quoted.getListTag()[1], "a");
}

TEST(HTMLReader, FilesAreReadBoundedAndRefusedEarly) {
  test::TempDir dir;
  EXPECT_FALSE(HTMLReader().readFile(dir.path() + "/missing.html"));
  EXPECT_FALSE(HTMLReader().readFile(dir.write("empty.html", std::string())));

  // A sparse 4 GiB file that does not start with "<" is refused after its
  // first bytes.
  const std::string binary = dir.write("binary.bin", "MZ");
  std::ofstream(binary, std::ios::in | std::ios::binary).seekp(std::streamoff{4} << 30) << "<a>";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(HTMLReader().readFile(binary));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

  HTMLReader blank;
  EXPECT_TRUE(blank.readFile(dir.write("lead.xml", std::string(3 * limits::kTagDocumentLeadChunk, '\n') + "<x/>")));
  EXPECT_EQ(blank.getListTag(), Tags{"x"});
}

}  // namespace
}  // namespace kpl
