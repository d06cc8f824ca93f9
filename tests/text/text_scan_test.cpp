// Every text fixture end to end through the scan export.
#include <gtest/gtest.h>

#include "test_support.h"

namespace kpl {
namespace {

TEST(TextScan, FixturesGetTheirRecords) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  struct Row {
    const char* file;
    const char* typeId;
    const char* mime;
    const char* extensions;
  };
  // clang-format off
  const Row rows[] = {
    // file                  typeID  MIME type                                                   extensions
    {"mail_plain.eml",       "EML",  "message/rfc822",                                           "eml"},
    {"mail_alternative.eml", "EML",  "message/rfc822",                                           "eml"},
    {"mail_folded.eml",      "EML",  "message/rfc822",                                           "eml"},
    {"mail_html.eml",        "EML",  "message/rfc822",                                           "eml"},
    {"page_related.mht",     "MHT",  "application/x-mimearchive",                                "mht,mhtml"},
    {"page_single.mht",      "MHT",  "application/x-mimearchive",                                "mht,mhtml"},
    {"libreoffice.html",     "HTML", "text/html",                                                "htm,html"},
    {"libreoffice.xhtml",    "HTML", "text/html",                                                "htm,html"},
    {"calendar.ics",         "ICS",  "text/calendar",                                            "ical,ifb,icalendar,vcs,ics"},
    {"calendar_v1.vcs",      "VCS",  "text/calendar",                                            "ical,ifb,icalendar,vcs,ics"},
    {"feed.rss",             "RSS",  "application/rss+xml",                                      "rss,xml"},
    {"feed.atom",            "ATOM", "application/atom+xml",                                     "atom,xml"},
    {"track.gpx",            "GPX",  "application/gpx+xml",                                      "gpx,xml"},
    {"drawing.svg",          "SVG",  "text/svg",                                                 "svg"},
    {"data.rdf",             "RDF",  "application/rdf+xml",                                      "rdf,xml"},
    {"model.dae",            "DAE",  "model/vnd.collada+xml",                                    "dae"},
    {"drawing.vml",          "VML",  "application/vnd.openxmlformats-officedocument.vmlDrawing", "vml"},
    {"drawing.vdx",          "VDX",  "application/visio",                                        "vdx"},
    {"package.rels",         "RELS", "application/rels+xml",                                     "rels,xml"},
    {"bot.aiml",             "AIML", "application/aiml+xml",                                     "aiml,xml"},
    {"plain.xml",            "XML",  "text/xml",                                                 "xml"},
    {"notes.txt",            "TXT",  "text/plain",                                               ""},  // via libmagic: no extensions
  };
  // clang-format on
  for (const auto& row : rows) {
    const std::string json = test::scanJson(test::fixturesDir() + "/text/" + row.file);
    EXPECT_EQ(test::jsonMember(json, "typeID"), row.typeId) << row.file << ": " << json;
    EXPECT_EQ(test::jsonMember(json, "type"), row.mime) << row.file << ": " << json;
    EXPECT_EQ(test::jsonMember(json, "extensions"), row.extensions) << row.file << ": " << json;
  }
}

}  // namespace
}  // namespace kpl
