// Calendars: each rule the streaming reader applies to content lines (a
// duplicate UID, VERSION or PRODID, an event without UID, unclosed or
// crossed components, folding, extensions, case), at the value that decides it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/calendar_reader.h"

namespace kpl {
namespace {

// -1 where the first line refuses the document, else the reader's answer.
int readCalendar(const std::string& content) {
  const InputFile input = InputFile::fromBytes(std::vector<uint8_t>(content.begin(), content.end()));
  CalendarReader reader;
  reader.open(input);
  return reader.parseCalObj() == 0 ? -1 : reader.checkDocumentType();
}

// A calendar of these lines between BEGIN:VCALENDAR and END:VCALENDAR.
std::string calendar(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
  std::string out = "BEGIN:VCALENDAR" + eol;
  for (const auto& line : lines) out += line + eol;
  return out + "END:VCALENDAR" + eol;
}

TEST(CalendarReader, RulesOverContentLines) {
  constexpr int kNone = -1, kNot = CalendarReader::kNotCalendar, kIcs = CalendarReader::kICalendar,
                kVcs = CalendarReader::kVCalendar;
  const std::string v2 = "VERSION:2.0", prod = "PRODID:p";
  const struct {
    const char* what;
    std::string text;
    int expected;
  } cases[] = {
      {"iCalendar", calendar({v2, prod, "BEGIN:VEVENT", "UID:u", "END:VEVENT"}), kIcs},
      {"vCalendar", calendar({"VERSION:1.0", prod}), kVcs},
      {"LF line ends, no final line end", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:p\nEND:VCALENDAR", kIcs},
      {"lower case and blanks", "BEGIN:VCALENDAR\r\nversion: 2.0 \r\nprodid;x=1:p\r\nend :vcalendar\r\n", kIcs},
      {"lower-case first line", "begin:vcalendar\r\nVERSION:2.0\r\nPRODID:p\r\nEND:VCALENDAR\r\n", kNone},
      {"folded first line", " " + calendar({v2, prod}), kNone},
      {"version value with more words", calendar({"VERSION:2.0 extra", prod}), kVcs},
      {"first line without VCALENDAR", "BEGIN:VEVENT\r\n" + calendar({v2, prod}), kNone},
      {"first line holds both words in any order", "VCALENDAR BEGIN\n" + calendar({v2, prod}), kIcs},
      {"no line end in the file", "BEGIN:VCALENDAR", kNone},
      {"empty", "", kNone},
      {"no VERSION", calendar({prod}), kNot},
      {"no PRODID", calendar({v2}), kNot},
      {"VERSION twice", calendar({v2, prod, v2}), kNot},
      {"PRODID twice", calendar({v2, prod, prod}), kNot},
      {"event without UID", calendar({v2, prod, "BEGIN:VEVENT", "END:VEVENT"}), kNot},
      {"UID twice in an event", calendar({v2, prod, "BEGIN:VEVENT", "UID:a", "uid:b", "END:VEVENT"}), kNot},
      {"UID outside events, twice", calendar({v2, prod, "UID:a", "UID:b"}), kIcs},
      {"UID only in the first of two events",
       calendar({v2, prod, "BEGIN:VEVENT", "UID:a", "END:VEVENT", "BEGIN:VEVENT", "END:VEVENT"}), kNot},
      {"crossed components", calendar({v2, prod, "BEGIN:VTODO", "BEGIN:VALARM", "END:VTODO", "END:VALARM"}), kNot},
      {"END without BEGIN", calendar({v2, prod, "END:VTODO"}), kNot},
      {"END after the calendar closed", calendar({v2, prod}) + "END:VCALENDAR\r\n", kNot},
      {"unclosed component", calendar({v2, prod, "BEGIN:VTODO"}), kNot},
      {"unclosed calendar", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:p\r\n", kNot},
      // Folded continuations and extension names are not content lines.
      {"folded duplicate VERSION", calendar({v2, prod, " VERSION:2.0", "\tPRODID:q"}), kIcs},
      {"extension duplicate VERSION", calendar({v2, prod, "X-VERSION:3", "BEGIN:X-Y", "END:X-Z"}), kIcs},
      {"extension mark inside a name", calendar({v2, prod, "BEGIN:VX-A", "begin:x-b"}), kIcs},
      // A carriage return ends the line's scan; so does nothing else.
      {"text after a carriage return", calendar({"VERSION:2.0\rx", prod}), kIcs},
      {"END read as a name after a blank", calendar({v2, prod, "BEGIN:VTODO", "END VTODO:x"}), kNot},
      {"parameters do not replace the value", calendar({"VERSION;X=1:2.0;Y=2", prod}), kIcs},
      {"second value token replaces the first", calendar({"VERSION:1.0 2.0", prod}), kIcs},
      {"delimiters only", calendar({v2, prod, ":;::"}), kIcs},
  };
  for (const auto& c : cases) EXPECT_EQ(readCalendar(c.text), c.expected) << c.what;
}

}  // namespace
}  // namespace kpl
