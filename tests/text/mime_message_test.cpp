// Messages and MHTML archives: the first-line test, the field parser and
// the three heuristics, at the values that decide them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "text/mime_message.h"
#include "text/text_based_fta_utils.h"

namespace kpl {
namespace {

// A header of the given fields, its empty line and a body.
std::string message(const std::vector<std::string>& fields, const std::string& body = "Body text\n") {
  std::string out;
  for (const auto& f : fields) out += f + "\n";
  return out + "\n" + body;
}

// n body lines before the multipart delimiter, then a part.
std::string multipart(int linesBefore, const std::string& contentType = "multipart/mixed; boundary=\"b0\"") {
  std::string body;
  for (int i = 0; i < linesBefore; ++i) body += "preamble line\n";
  body += "--b0\nContent-Type: text/plain\n\npart\n--b0--\n";
  return message({"From: a@example.org", "To: b@example.org", "Content-Type: " + contentType}, body);
}

std::string repeated(const std::string& field, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += field + "\n";
  return out;
}

// `known` listed names and `unknown` unlisted ones.
std::string headerMix(int known, int unknown) {
  return repeated("Subject: s", known) + repeated("Colour: red", unknown) + "\nbody\n";
}

struct MimeCase {
  const char* what;
  std::string content;
  TextBasedType expected;
};

TEST(MIMEHandler, DecidingValues) {
  const std::vector<MimeCase> cases = {
      {"plain message", message({"From: a@example.org", "Subject: s"}), TEXT_EML},
      {"not-a-message marker", "!NOT EML FILE!\n" + message({"From: a@example.org"}), TEXT_NONE},
      {"first line 30 % unprintable", message({"To: aaa\x01\x01\x01", "Subject: s"}), TEXT_NONE},
      {"first line 20 % unprintable", message({"To: aaaa\x01\x01", "Subject: s"}), TEXT_EML},
      {"first line without a colon", "Hello\n" + message({"From: a@example.org"}), TEXT_NONE},
      {"header to the end of the file", "From: a@example.org\nSubject: s\n\n", TEXT_NONE},
      {"header ratio 0.6", headerMix(60, 40), TEXT_EML},
      {"header ratio 0.59", headerMix(59, 41), TEXT_NONE},
      {"x- names are well-known", message({"Subject: s", "X-A: 1", "x-b: 2", "X-C: 3"}), TEXT_EML},
      {"long name without X-", message({"Subject: s", std::string(36, 'n') + ": v"}), TEXT_NONE},
      {"35-character name", message({"Subject: s", "Date: d", std::string(35, 'n') + ": v"}), TEXT_EML},
      {"long name with X-", message({"Subject: s", "X-" + std::string(40, 'n') + ": v"}), TEXT_EML},
      {"http: line is dropped", message({"Subject: s", "http://example.org/"}), TEXT_EML},
      {"https: line is an unlisted field", message({"Subject: s", "https://example.org/"}), TEXT_NONE},
      {"delimiter on body line 10", multipart(9), TEXT_EML},
      {"delimiter on body line 11", multipart(10), TEXT_NONE},
      {"multipart without boundary", multipart(0, "multipart/mixed"), TEXT_NONE},
      {"delimiter as the last line",
       message({"Subject: s", "Content-Type: multipart/mixed; boundary=b0"}, "x\n--b0\n"), TEXT_NONE},
      {"delimiter as the unterminated last line",
       message({"Subject: s", "Content-Type: multipart/mixed; boundary=b0"}, "x\n--b0"), TEXT_NONE},
      {"delimiter without a part header",
       message({"Subject: s", "Content-Type: multipart/mixed; boundary=b0"}, "--b0\n\npart\n"), TEXT_NONE},
      {"folded boundary, colon in a continuation",
       message({"Subject: s", "Content-Disposition: inline;", " filename=\"a: b.txt\"", "Content-Type: multipart/mixed;",
                "\tboundary=\"b0\""},
               "--b0\nContent-Type: text/plain\n\npart\n"),
       TEXT_EML},
      {"quoted semicolon", message({"Subject: s", "Content-Type: multipart/mixed; boundary=\"a;b\""},
                                   "--a;b\nContent-Type: text/plain\n\npart\n"),
       TEXT_EML},
      {"parenthesised semicolon", message({"Subject: s", "Content-Type: multipart/mixed; boundary=(a;b)"},
                                          "--(a;b)\nContent-Type: text/plain\n\npart\n"),
       TEXT_EML},
      {"multipart/related is MHTML", multipart(0, "multipart/related; boundary=b0"), TEXT_MHT},
      {"HTML without sender or recipient", message({"Subject: s", "Content-Type: text/html"}), TEXT_MHT},
      {"HTML saved by a browser",
       message({"From: \"Saved by Internet Explorer 11\"", "Content-Type: text/html"}), TEXT_MHT},
      {"HTML sent to someone",
       message({"From: \"Saved by Internet Explorer 11\"", "To: b@example.org", "Content-Type: text/html"}),
       TEXT_EML},
      {"HTML from someone", message({"From: a@example.org", "Content-Type: text/html"}), TEXT_EML},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.write("m.eml", c.content);
    EXPECT_EQ(TextBasedFTAUtils::checkTextMIMEComponent(path), c.expected) << c.what;
  }
}

TEST(MIMEHandler, FieldsAndParameters) {
  test::TempDir dir;
  MIMEHandler handler;
  ASSERT_TRUE(handler.parseMIMEHeader(dir.write(
      "m.eml", message({"Content-Type: multipart/mixed;", " boundary=\"=_b; x\"; charset = utf-8",
                        "Subject:", "Comment:   ", "Received: (from x; by y) id 1"}))));
  const auto& fields = handler.getAttributes();
  ASSERT_EQ(fields.size(), 3u);  // the empty subject is dropped; a value of blanks stays
  EXPECT_EQ(fields[0].name, "content-type");
  EXPECT_EQ(fields[0].value, "multipart/mixed");
  ASSERT_EQ(fields[0].parameters.size(), 2u);
  EXPECT_EQ(fields[0].parameters[0].value, "\"=_b; x\"");
  EXPECT_EQ(fields[0].parameters[1].name, "charset ");
  std::string boundary;
  EXPECT_TRUE(MIMEHandler::getSectionSeparator(fields[0], boundary));
  EXPECT_EQ(boundary, "=_b; x");
  EXPECT_EQ(fields[1].value, "   ");
  EXPECT_EQ(fields[2].value, "(from x; by y) id 1");
}

TEST(MIMEHandler, ReadsAtMostTheHeaderLineLimit) {
  // 19 999 lines are read: a header whose end lies one line later is
  // judged without reaching its body.
  test::TempDir dir;
  const std::string header = repeated("Subject: s", MIMEHandler::maxReadingLine - 2);
  MIMEHandler atLimit, pastLimit;
  ASSERT_TRUE(atLimit.parseMIMEHeader(dir.write("a.eml", header + "\nbody\n")));
  EXPECT_EQ(atLimit.getHeaderEnd(), header.size() + 1);
  ASSERT_TRUE(pastLimit.parseMIMEHeader(dir.write("b.eml", header + "Subject: s\n\nbody\n")));
  EXPECT_EQ(pastLimit.getHeaderEnd(), header.size() + 11);
  EXPECT_EQ(pastLimit.getAttributes().size(), static_cast<std::size_t>(MIMEHandler::maxReadingLine - 1));
}

}  // namespace
}  // namespace kpl
