// The tag scan of the tag reader (html_tag_reader.h) run over a file
// front to back without holding it: the same tags, in the same order, with
// the same refusals, handed one at a time to a sink that keeps what it
// needs. The text classifier uses it so that a document of any size is
// judged in memory bounded by limits::kTextReadBlockBytes and
// limits::kTagNameKeepBytes; the tag reader keeps its whole lists for the
// package relationship part, which is small.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "text/text_stream.h"

namespace kpl {

struct ScannedTag {
  // Declaration markers found anywhere in the lower-cased name.
  enum Marker : uint8_t {
    kXmlDeclaration = 1,  // "?xml"
    kDocumentMarker = 2,  // "!document"
    kEncodingMarker = 4,  // "?encoding"
    kEntityMarker = 8,    // "!entity"
    kDoctypeMarker = 16,  // "!doctype"
  };

  std::string name;         // as written, cut at limits::kTagNameKeepBytes
  uint64_t nameLength = 0;  // of the whole name
  uint8_t markers = 0;
  bool isEndTag = false;
  uint64_t fullTagStart = 0;  // offset of the byte after "<"
  uint64_t fullTagEnd = 0;    // offset of the closing ">" (or of "?" of "?>")

  bool nameCut() const { return nameLength > name.size(); }
  // Lower-cased name, or "" when cut (a cut name equals no word compared).
  std::string lowerName() const;
};

// Runs the scan over the stream's file. Returns false when the document is
// refused (no tag at its start, an RTF signature, a "?php" or
// "?mso-application" tag, a long "?" tag); the sink has then seen the tags
// before the refusal.
bool scanHtmlTags(TextStream& stream, const std::function<void(const ScannedTag&)>& sink);

}  // namespace kpl
