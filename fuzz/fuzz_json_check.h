// Every text the engine hands out as JSON must parse as JSON, strictly
// (valid UTF-8 included): a host that cannot parse an answer cannot act on
// the file. A fuzz target aborts on the first one that does not.
#pragma once

#include <rapidjson/document.h>

#include <cstdlib>
#include <string>

namespace kpl::fuzz {

inline void requireJson(const std::string& text) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str(), text.size());
  if (doc.HasParseError()) std::abort();
}

}  // namespace kpl::fuzz
