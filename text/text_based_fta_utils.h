// Text files told apart by their content: HTML, XML dialects (AIML, Atom,
// GPX, RDF, package relationships, RSS, SVG, ZIR, COLLADA, Visio XML),
// Office VML drawings, generic XML, iCalendar and vCalendar, e-mail
// messages and MHTML archives. Plain text is not decided here.
//
// Three probes run in turn, each reading the file itself: the tag probe,
// the calendar probe and the message probe. The tag probe works from the
// tag names in document order: declarations are skipped, the first real
// element may name a dialect, and otherwise the share of HTML element
// names decides between HTML and XML.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/byte_reader.h"

namespace kpl {

enum TextBasedType : uint8_t {
  TEXT_NONE = 0,
  TEXT_AIML = 1,
  TEXT_ATOM = 2,
  TEXT_GPX = 3,
  TEXT_HTML = 4,
  // 5 is not assigned.
  TEXT_RDF = 6,
  TEXT_RELS = 7,
  TEXT_RSS = 8,
  TEXT_SVG = 9,
  TEXT_VML = 10,
  TEXT_XML = 11,
  TEXT_ZIR = 12,
  TEXT_ICS = 13,
  TEXT_VCS = 14,
  TEXT_EML = 15,
  TEXT_MHT = 16,
  TEXT_DAE = 17,
  TEXT_VDX = 18,
};

class TextBasedFTAUtils {
 public:
  static const std::set<std::string> setHtmlTag;
  static const std::set<std::string> setVMLTag;
  // Extensions of XML-based and plain-text formats; the file-type entry
  // point adds a file's own extension from here to an "xml" answer.
  static const std::set<std::string> setXMLBasedExt;

  static TextBasedType isTextBased(const std::string& path);
  static TextBasedType isTextBased(const InputFile& file);
  static void adjustTextBasedTypes(TextBasedType kind, std::string& typeId, std::string& mime,
                                   std::string& extensions, std::string& description);

  // The tag probe, reading the file front to back in bounded memory.
  static TextBasedType checkHTMLComponent(const std::string& path);
  static TextBasedType checkHTMLComponent(const InputFile& file);
  static TextBasedType checkTextCalendarComponent(const std::string& path);
  static TextBasedType checkTextCalendarComponent(const InputFile& file);
  static TextBasedType checkTextMIMEComponent(const std::string& path);
  static TextBasedType checkTextMIMEComponent(const InputFile& file);

  // The tag probe's decision on whole tag lists (names and full tags in
  // document order), as the tag reader collects them.
  static TextBasedType classifyTagLists(const std::vector<std::string>& tags, const std::vector<std::string>& fullTags);
  static TextBasedType isXMLBased(const std::vector<std::string>& tags, const std::vector<std::string>& fullTags);
  static std::string getRootElement(const std::vector<std::string>& tags);
  static bool shouldChangeToXML(const std::string& fullTag);
  static bool isHTMLTag(const std::string& name);
};

// Tests word `wordIndex` (text[start, start + length)) of a declaration:
// word 0 "!doctype" sets isDoctype, word 1 "html" sets isHtml.
void checkDocTypeHtml(std::string text, int start, int length, int wordIndex, bool& isDoctype, bool& isHtml);

}  // namespace kpl
