// Calendars: the streaming reader against a reference that keeps every
// content line as the format's rules are written (tokens stored, rules
// applied to the stored list at the end), over real files and a generated
// mix that breaks each rule (a duplicate UID, VERSION or PRODID, an event
// without UID, unclosed or crossed components, folding, extensions, case).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "text/calendar_reader.h"
#include "text/text_based_fta_utils.h"

namespace kpl {
namespace {

int readCalendar(const std::string& content) {
  const InputFile input = InputFile::fromBytes(std::vector<uint8_t>(content.begin(), content.end()));
  CalendarReader reader;
  reader.open(input);
  return reader.parseCalObj() == 0 ? -1 : reader.checkDocumentType();
}

// ---- Reference: the rules over stored lines ---------------------------------

struct StoredLine {
  std::string keyword, name, value;
};

int referenceCalendar(const std::string& text) {
  const std::size_t head = std::min<std::size_t>(text.size(), 2048);
  const std::size_t lf = text.substr(0, head).find('\n');
  if (text.empty() || lf == std::string::npos) return -1;
  const std::string first = text.substr(0, lf);
  if (first.find("BEGIN") == std::string::npos || first.find("VCALENDAR") == std::string::npos) return -1;

  std::vector<StoredLine> stored;
  bool scanned = false;
  std::size_t at = 0;
  for (bool more = true; more;) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    more = end != std::string::npos;
    at = end + 1;
    if (!scanned && (line.find("BEGIN") == std::string::npos || line.find("VCALENDAR") == std::string::npos)) return -1;
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) continue;
    scanned = true;
    StoredLine object;
    int target = 0;  // name, value, keyword, parameters
    long start = -1;
    auto close = [&](std::size_t i) {
      if (start < 0) return;
      std::string token = line.substr(static_cast<std::size_t>(start), i - static_cast<std::size_t>(start));
      for (char& c : token) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (target == 0) object.name = token;
      if (target == 1) object.value = token;
      start = -1;
    };
    for (std::size_t i = 0; i <= line.size(); ++i) {
      const char c = i < line.size() ? line[i] : '\0';
      if (i == line.size() || c == '\n' || c == '\r') {
        close(i);
        break;
      }
      if (c == ' ' || c == '\t') {
        close(i);
      } else if (start < 0 && std::isalnum(static_cast<unsigned char>(c))) {
        start = static_cast<long>(i);
      } else if (c == ':') {
        close(i);
        target = 1;
        if (object.name == "BEGIN" || object.name == "END") {
          object.keyword = object.name;
          object.name.clear();
          target = 0;
        }
      } else if (c == ';') {
        close(i);
        target = 3;
      }
    }
    if (!object.name.empty() && object.name.find("X-") == std::string::npos) stored.push_back(object);
  }

  std::vector<std::string> open;
  bool event = false, uid = false, version = false, prodId = false;
  std::string versionValue;
  for (const auto& o : stored) {
    if (o.keyword == "BEGIN") {
      if (o.name == "VEVENT") event = true;
      open.push_back(o.name);
    } else if (o.keyword == "END") {
      if (o.name == "VEVENT") {
        if (!uid) return 0;
        event = uid = false;
      }
      if (open.empty() || open.back() != o.name) return 0;
      open.pop_back();
    }
    if (event && o.name == "UID") {
      if (uid) return 0;
      uid = true;
    }
    if (o.name == "VERSION") {
      if (version) return 0;
      version = true;
      versionValue = o.value;
    }
    if (o.name == "PRODID") {
      if (prodId) return 0;
      prodId = true;
    }
  }
  if (!version || !prodId || !open.empty()) return 0;
  return versionValue == "2.0" ? 13 : 14;
}

TEST(CalendarReader, StreamingEqualsStoredLines) {
  std::vector<std::string> documents;
  for (const char* name : {"calendar.ics", "calendar_v1.vcs", "mail_plain.eml", "libreoffice.html"})
    documents.push_back(test::readFile(test::fixturesDir() + "/text/" + name));
  // A generated mix: valid calendars with a few lines inserted, dropped or
  // replaced by calendar-like lines with blanks, delimiters, carriage
  // returns, extension names, folding and lower case.
  const std::vector<std::string> skeleton = {"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:p", "BEGIN:VEVENT",
                                             "UID:u",           "BEGIN:VALARM", "END:VALARM", "END:VEVENT",
                                             "END:VCALENDAR"};
  const std::vector<std::string> pieces = {
      "BEGIN:VEVENT", "END:VEVENT", "BEGIN:VALARM", "END:VALARM", "UID:u1", "uid : u2", "VERSION:2.0",
      "VERSION: 1.0", "PRODID:p", "PRODID;X=1:p", "X-WR-CALNAME:n", "BEGIN:X-Y", "END:X-Y", " folded:UID",
      "\tVERSION:3", "END:VCALENDAR", "BEGIN:VCALENDAR x", "DTSTART;TZID=a:b:c", "SUMMARY:a\rUID", "begin:vtodo",
      "END:VTODO", ":;::", "VERSION:2.0 extra", "END :VEVENT", "ATTACH:" + std::string(300, 'A'), ""};
  std::mt19937 random(20240601);
  for (int n = 0; n < 5000; ++n) {
    std::vector<std::string> content = skeleton;
    for (int edits = static_cast<int>(random() % 4); edits > 0; --edits) {
      const std::size_t at = random() % content.size();
      switch (random() % 3) {
        case 0: content.insert(content.begin() + static_cast<long>(at), pieces[random() % pieces.size()]); break;
        case 1: if (content.size() > 1) content.erase(content.begin() + static_cast<long>(at)); break;
        default: content[at] = pieces[random() % pieces.size()]; break;
      }
    }
    std::string doc;
    for (const auto& line : content) doc += line + (random() % 5 == 0 ? "\n" : "\r\n");
    if (random() % 4 == 0) doc.pop_back();
    documents.push_back(doc);
  }
  int calendars = 0;
  for (const auto& doc : documents) {
    const int expected = referenceCalendar(doc);
    calendars += expected > 0 ? 1 : 0;
    ASSERT_EQ(readCalendar(doc), expected) << doc;
  }
  EXPECT_GT(calendars, 500);  // the mix reaches both answers
}

}  // namespace
}  // namespace kpl
