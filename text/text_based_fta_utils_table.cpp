// The vocabularies of the text classifier and the records its kinds write.
#include "text/text_based_fta_utils.h"
#include "text/text_based_records.h"

namespace kpl {

// clang-format off
// HTML element names (and the Office and Blogger namespaced ones that only
// occur in HTML), compared lower-cased.
const std::set<std::string> TextBasedFTAUtils::setHtmlTag = {
  "!doctype", "a", "abbr", "acronym", "address", "applet", "area", "article",
  "aside", "audio", "b", "base", "basefont", "bdi", "bdo", "big",
  "blockquote", "body", "br", "button", "canvas", "caption", "center", "cite",
  "code", "col", "colgroup", "datalist", "dd", "del", "details", "dfn",
  "dialog", "dir", "div", "dl", "dt", "em", "embed", "fieldset",
  "figcaption", "figure", "font", "footer", "form", "frame", "frameset", "h1",
  "h2", "h3", "h4", "h5", "h6", "head", "header", "hr",
  "html", "i", "iframe", "img", "input", "ins", "kbd", "label",
  "legend", "li", "link", "main", "map", "mark", "menu", "menuitem",
  "meta", "meter", "nav", "noframes", "noscript", "object", "ol", "optgroup",
  "o:p", "option", "output", "p", "param", "picture", "pre", "progress",
  "q", "rp", "rt", "ruby", "s", "samp", "script", "section",
  "select", "small", "source", "span", "strike", "strong", "style", "sub",
  "summary", "sup", "table", "tbody", "td", "textarea", "tfoot", "th",
  "thead", "time", "title", "tr", "track", "tt", "u", "ul",
  "var", "video", "wbr", "b:if", "b:else",
};

// The element that marks an Office VML drawing.
const std::set<std::string> TextBasedFTAUtils::setVMLTag = {
  "v:shapetype",
};

// Extensions of XML-based formats, then of plain-text formats.
const std::set<std::string> TextBasedFTAUtils::setXMLBasedExt = {
  "3dml", "abw", "aiml", "apml", "atom", "ficml", "gml", "gpx",
  "htm", "html", "jnlp", "kml", "lxfml", "musicxml", "mxl", "ova",
  "ovf", "rdf", "rels", "resx", "rss", "scrivx", "sgml", "smil",
  "svg", "vml", "x3dv", "xaml", "xht", "xhtml", "xml", "xsd",
  "xspf", "xul", "zir", "1st", "apt", "asc", "cfg", "cnf",
  "conf", "config", "css", "err", "faq", "fodt", "ini", "log",
  "me", "note", "now", "plain", "readme", "text", "tmp", "txt",
  "unx", "classpath", "project",
};

const std::vector<TextBasedRecord> kTextBasedRecords = {
  // kind       type identifier  MIME type                                                   extension list
  { TEXT_AIML,  "AIML",          "application/aiml+xml",                                     "aiml,xml" },
  { TEXT_ATOM,  "ATOM",          "application/atom+xml",                                     "atom,xml" },
  { TEXT_GPX,   "GPX",           "application/gpx+xml",                                      "gpx,xml" },
  { TEXT_HTML,  "HTML",          "text/html",                                                "htm,html" },
  { TEXT_RDF,   "RDF",           "application/rdf+xml",                                      "rdf,xml" },
  { TEXT_RELS,  "RELS",          "application/rels+xml",                                     "rels,xml" },
  { TEXT_RSS,   "RSS",           "application/rss+xml",                                      "rss,xml" },
  { TEXT_SVG,   "SVG",           "text/svg",                                                 "svg" },
  { TEXT_VML,   "VML",           "application/vnd.openxmlformats-officedocument.vmlDrawing", "vml" },
  { TEXT_XML,   "XML",           "text/xml",                                                 "xml" },
  { TEXT_ZIR,   "ZIR",           "application/zir+xml",                                      "zir,xml" },
  { TEXT_ICS,   "ICS",           "text/calendar",                                            "ical,ifb,icalendar,vcs,ics" },
  { TEXT_VCS,   "VCS",           "text/calendar",                                            "ical,ifb,icalendar,vcs,ics" },
  { TEXT_EML,   "EML",           "message/rfc822",                                           "eml" },
  { TEXT_MHT,   "MHT",           "application/x-mimearchive",                                "mht,mhtml" },
  { TEXT_DAE,   "DAE",           "model/vnd.collada+xml",                                    "dae" },
  { TEXT_VDX,   "VDX",           "application/visio",                                        "vdx" },
};
const TextBasedRecord kTextBasedFallbackRecord =
  { TEXT_NONE,  "TXT",           "text/plain",                                               "txt" };
// clang-format on

}  // namespace kpl
