// The detection record every analyzer writes and the result JSON reports.
#pragma once

#include <string>

namespace kpl {

struct DetectionRecord {
  std::string typeId;       // "DOCX", "PDF-ENCRYPTED", "data"
  std::string mime;         // "application/pdf"
  std::string extensions;   // "pdf,ai": comma-separated, no dots
  std::string description;  // the catalogue's text for a catalogue identifier
  bool encrypted = false;

  // Sets identifier, MIME type and extensions, and the catalogue's
  // description of the identifier (which must be a catalogue key).
  void set(const std::string& id, const std::string& mimeType, const std::string& extensionList);
  // The unidentified-data record: "data", "application/octet-stream", the
  // catalogue's "data", no extensions.
  void setData();
};

}  // namespace kpl
