#include "text/text_based_fta_utils.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "catalogue/file_type_catalogue.h"
#include "common/common_utils.h"
#include "text/calendar_reader.h"
#include "text/html_tag_scan.h"
#include "text/mime_message.h"
#include "text/text_based_records.h"
#include "text/text_stream.h"

namespace kpl {
namespace {

constexpr auto contains = CommonUtils::contains;

// Case and whitespace tests of the C locale, whatever locale the host set.
char lowerAscii(int c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }
bool isSpaceAscii(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

const std::string kXml = "xml";

// Fewer tags than this are never judged.
constexpr std::size_t kMinimumTags = 3;
// Share of HTML element names (in per cent) above which a document is HTML.
constexpr float kHtmlTagPercent = 60.0f;

// The dialect named by a document's first real element, or TEXT_NONE.
TextBasedType dialectOf(const std::string& lower, const std::string& asWritten) {
  if (lower == "svg" || lower == "svg:svg") return TEXT_SVG;
  if (lower == "aiml") return TEXT_AIML;
  if (lower == "feed") return TEXT_ATOM;
  if (lower == "gpx") return TEXT_GPX;
  if (lower == "rdf" || lower == "rdf:rdf") return TEXT_RDF;
  if (lower == "relationships") return TEXT_RELS;
  if (lower == "rss") return TEXT_RSS;
  if (lower == "car") return TEXT_ZIR;
  if (asWritten == "COLLADA") return TEXT_DAE;
  return TEXT_NONE;
}

bool isHtmlRatio(std::size_t htmlTags, std::size_t allTags) {
  // Per cent of HTML names, in single precision. Multiplying first keeps an
  // exact 60 % at exactly 60, which is not HTML.
  return static_cast<float>(htmlTags) * 100.0f / static_cast<float>(allTags) > kHtmlTagPercent;
}

// The first two words of a lower-cased declaration, fed one character at a
// time: the streaming form of shouldChangeToXML for a full tag that is not
// held in memory.
class DoctypeWords {
 public:
  bool done() const { return words_ >= 2; }
  void feed(int c) {
    if (done()) return;
    const bool space = isSpaceAscii(c);
    if (space) {
      if (!atStart_ && !lastSpace_) test();
      word_.clear();
      cut_ = false;
    } else if (word_.size() < 9) {
      word_.push_back(lowerAscii(c));
    } else {
      cut_ = true;
    }
    atStart_ = false;
    lastSpace_ = space;
  }
  // The answer once the text has ended.
  bool shouldChangeToXML() {
    if (words_ == 1) test();
    return !(isDoctype_ && isHtml_);
  }

 private:
  void test() {
    if (!cut_ && words_ == 0 && word_ == "!doctype") isDoctype_ = true;
    if (!cut_ && words_ == 1 && word_ == "html") isHtml_ = true;
    ++words_;
  }
  std::string word_;
  bool cut_ = false, atStart_ = true, lastSpace_ = false, isDoctype_ = false, isHtml_ = false;
  int words_ = 0;
};

// The tag probe's decision, built up one tag at a time from the bounded
// scan: counters, the walk to the first real element, whether the root and
// the last tag are "xml", and the second tag's declaration words.
class TagVerdict {
 public:
  explicit TagVerdict(TextStream& stream) : stream_(stream) {}

  void add(const ScannedTag& tag) {
    const std::string& lower = tag.lower;
    const bool html = isHtmlName(lower);
    if (count_ == 0) firstIsXmlDeclaration_ = (tag.markers & ScannedTag::kXmlDeclaration) != 0;
    if (count_ == 1 && firstIsXmlDeclaration_) secondTagKeepsHtml_ = !changeToXML(tag);
    ++count_;
    if (!walkDone_) walk(tag, html);

    // The ratio ignores one-letter names other than the HTML elements.
    if (tag.nameLength != 1 || html) {
      ++allTags_;
      if (html) {
        ++htmlTags_;
      } else if (!vml_ && TextBasedFTAUtils::setVMLTag.count(lower)) {
        vml_ = true;
      }
    }

    const bool isXml = tag.name.size() == 3 && !tag.nameCut() && tag.name == kXml;
    const uint8_t rootSkip = ScannedTag::kXmlDeclaration | ScannedTag::kDocumentMarker | ScannedTag::kEncodingMarker;
    if (!rootSeen_ && (tag.markers & rootSkip) == 0) {
      rootSeen_ = true;
      rootIsXml_ = isXml;
    }
    lastIsXml_ = isXml;
  }

  TextBasedType verdict() const {
    if (count_ < kMinimumTags) return TEXT_NONE;
    if (dialect_ != TEXT_NONE) return dialect_;
    if (firstIsXmlDeclaration_ && !secondTagKeepsHtml_) return TEXT_XML;
    if (allTags_ == 0) return TEXT_NONE;
    if (isHtmlRatio(htmlTags_, allTags_)) return TEXT_HTML;
    return vml_ && rootIsXml_ && lastIsXml_ ? TEXT_VML : TEXT_XML;
  }

 private:
  // One hash look-up per tag instead of a walk down the ordered set.
  static bool isHtmlName(const std::string& lower) {
    static const std::unordered_set<std::string> names(TextBasedFTAUtils::setHtmlTag.begin(),
                                                       TextBasedFTAUtils::setHtmlTag.end());
    return !lower.empty() && names.count(lower) != 0;
  }

  void walk(const ScannedTag& tag, bool html) {
    const std::string& lower = tag.lower;
    const bool declaration = tag.markers != 0;
    if (afterVisio_) {
      afterVisio_ = false;
      if (lower == "documentproperties") {
        dialect_ = TEXT_VDX;
        walkDone_ = true;
        return;
      }
    }
    if (declaration) return;
    if (html) {
      walkDone_ = true;
      return;
    }
    dialect_ = dialectOf(lower, tag.nameCut() ? std::string() : tag.name);
    if (dialect_ != TEXT_NONE) {
      walkDone_ = true;
    } else if (lower == "visiodocument") {
      afterVisio_ = true;
    } else {
      walkDone_ = true;
    }
  }

  bool changeToXML(const ScannedTag& tag) {
    DoctypeWords words;
    for (uint64_t at = tag.fullTagStart; at < tag.fullTagEnd && !words.done(); ++at) words.feed(stream_.at(at));
    return words.shouldChangeToXML();
  }

  TextStream& stream_;
  std::size_t count_ = 0, allTags_ = 0, htmlTags_ = 0;
  bool vml_ = false, rootSeen_ = false, rootIsXml_ = false, lastIsXml_ = false;
  bool firstIsXmlDeclaration_ = false, secondTagKeepsHtml_ = false;
  bool walkDone_ = false, afterVisio_ = false;
  TextBasedType dialect_ = TEXT_NONE;
};

}  // namespace

void checkDocTypeHtml(std::string text, int start, int length, int wordIndex, bool& isDoctype, bool& isHtml) {
  if (start < 0 || static_cast<std::size_t>(start) >= text.size()) return;
  const std::string word = text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(std::max(length, 0)));
  if (wordIndex == 0 && word == "!doctype") isDoctype = true;
  if (wordIndex == 1 && word == "html") isHtml = true;
}

bool TextBasedFTAUtils::shouldChangeToXML(const std::string& fullTag) {
  const std::string s = CommonUtils::toLowerAscii(fullTag);
  bool isDoctype = false, isHtml = false;
  std::size_t pos = 0, wordStart = 0;
  int words = 0;
  for (; pos < s.size() && words < 2; ++pos) {
    if (!isSpaceAscii(static_cast<unsigned char>(s[pos]))) continue;
    if (pos != 0 && !isSpaceAscii(static_cast<unsigned char>(s[pos - 1]))) {
      checkDocTypeHtml(s, static_cast<int>(wordStart), static_cast<int>(pos - wordStart), words, isDoctype, isHtml);
      ++words;
    }
    wordStart = pos + 1;
  }
  if (words == 1) {
    checkDocTypeHtml(s, static_cast<int>(wordStart), static_cast<int>(s.size() - wordStart), 1, isDoctype, isHtml);
  }
  return !(isDoctype && isHtml);
}

bool TextBasedFTAUtils::isHTMLTag(const std::string& name) {
  return setHtmlTag.count(CommonUtils::toLowerAscii(name)) != 0;
}

std::string TextBasedFTAUtils::getRootElement(const std::vector<std::string>& tags) {
  for (const std::string& tag : tags) {
    const std::string lower = CommonUtils::toLowerAscii(tag);
    if (contains(lower, "?xml") || contains(lower, "!document") || contains(lower, "?encoding")) continue;
    return tags.back() == tag ? tag : std::string();
  }
  return std::string();
}

TextBasedType TextBasedFTAUtils::isXMLBased(const std::vector<std::string>& tags,
                                             const std::vector<std::string>& fullTags) {
  bool changeToXML = false;
  TextBasedType result = TEXT_NONE;
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const std::string t = CommonUtils::toLowerAscii(tags[i]);
    if (i == 0 && contains(t, "?xml") && tags.size() > 2 && fullTags.size() > 1) {
      changeToXML = shouldChangeToXML(fullTags[1]);
    }
    if (contains(t, "?xml") || contains(t, "!document") || contains(t, "?encoding") || contains(t, "!entity") ||
        contains(t, "!doctype")) {
      continue;
    }
    if (setHtmlTag.count(t)) break;
    result = dialectOf(t, tags[i]);
    if (result != TEXT_NONE) break;
    if (t != "visiodocument") break;
    if (i + 1 < tags.size() && CommonUtils::toLowerAscii(tags[i + 1]) == "documentproperties") {
      result = TEXT_VDX;
      break;
    }
  }
  return changeToXML && result == TEXT_NONE ? TEXT_XML : result;
}

TextBasedType TextBasedFTAUtils::classifyTagLists(const std::vector<std::string>& tags,
                                                  const std::vector<std::string>& fullTags) {
  const std::vector<std::string> names = tags;
  if (names.size() < kMinimumTags) return TEXT_NONE;
  const TextBasedType dialect = isXMLBased(names, fullTags);
  if (dialect != TEXT_NONE) return dialect;

  std::size_t all = 0, html = 0, other = 0;
  bool vml = false;
  for (const std::string& name : names) {
    const std::string t = CommonUtils::toLowerAscii(name);
    if (t.size() == 1 && !isHTMLTag(t)) continue;
    ++all;
    if (setHtmlTag.count(t)) {
      ++html;
    } else {
      ++other;
      if (setVMLTag.count(t)) vml = true;
    }
  }
  if (all == 0) return TEXT_NONE;
  if (isHtmlRatio(html, all)) return TEXT_HTML;
  return vml && getRootElement(names) == "xml" ? TEXT_VML : TEXT_XML;
}

TextBasedType TextBasedFTAUtils::checkHTMLComponent(const InputFile& file) {
  TextStream stream(file);
  TextStream fullTags(file);  // the second tag's text is read back through its own block
  TagVerdict verdict(fullTags);
  if (!scanHtmlTags(stream, [&verdict](const ScannedTag& tag) { verdict.add(tag); })) return TEXT_NONE;
  return verdict.verdict();
}

TextBasedType TextBasedFTAUtils::checkTextCalendarComponent(const InputFile& file) {
  CalendarReader reader;
  reader.open(file);
  if (reader.parseCalObj() == 0) return TEXT_NONE;
  return static_cast<TextBasedType>(reader.checkDocumentType());
}

TextBasedType TextBasedFTAUtils::checkTextMIMEComponent(const InputFile& file) {
  MIMEHandler handler;
  if (!handler.parseMIMEHeader(file) || !handler.isEMLFileType()) return TEXT_NONE;
  return handler.isMHTFileType() ? TEXT_MHT : TEXT_EML;
}

TextBasedType TextBasedFTAUtils::isTextBased(const InputFile& file) {
  TextBasedType kind = checkHTMLComponent(file);
  if (kind == TEXT_NONE) kind = checkTextCalendarComponent(file);
  if (kind == TEXT_NONE) kind = checkTextMIMEComponent(file);
  return kind;
}

TextBasedType TextBasedFTAUtils::isTextBased(const std::string& path) { return isTextBased(InputFile(path)); }
TextBasedType TextBasedFTAUtils::checkHTMLComponent(const std::string& path) {
  return checkHTMLComponent(InputFile(path));
}
TextBasedType TextBasedFTAUtils::checkTextCalendarComponent(const std::string& path) {
  return checkTextCalendarComponent(InputFile(path));
}
TextBasedType TextBasedFTAUtils::checkTextMIMEComponent(const std::string& path) {
  return checkTextMIMEComponent(InputFile(path));
}

void TextBasedFTAUtils::adjustTextBasedTypes(TextBasedType kind, std::string& typeId, std::string& mime,
                                             std::string& extensions, std::string& description) {
  const auto row = std::find_if(kTextBasedRecords.begin(), kTextBasedRecords.end(),
                                [kind](const TextBasedRecord& r) { return r.kind == kind; });
  const TextBasedRecord& record = row != kTextBasedRecords.end() ? *row : kTextBasedFallbackRecord;
  typeId = record.typeId;
  mime = record.mime;
  extensions = record.extensions;
  description = describe(typeId);
}

}  // namespace kpl
