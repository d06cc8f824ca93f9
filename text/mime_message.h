// Internet messages (RFC 5322 header, MIME multipart bodies of RFC 2046)
// and MHTML web archives (RFC 2557). The header is read line by line from
// the start of the file, split into fields and parameters, and judged by
// three heuristics: mostly well-known field names, a multipart boundary
// delimiter near the start of the body, and the content type and sender
// fields that MHTML writers produce.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/byte_reader.h"
#include "text/text_stream.h"

namespace kpl {

class MIMEHandler {
 public:
  struct LineParser {
    std::string name;
    std::string value;
  };
  struct Parameter {
    std::string name;  // lower case
    std::string value;
  };
  struct Attribute {
    std::string name;   // lower case once parsed
    std::string value;  // up to the first unprotected ";"
    std::vector<Parameter> parameters;
    void clear() {
      name.clear();
      value.clear();
      parameters.clear();
    }
  };

  // Header lines are read while the count stays below this.
  static constexpr int maxReadingLine = 20000;
  // Share of printable characters above which a line is text.
  static constexpr float thresholdText = 0.7f;
  // Share of well-known field names a message header needs.
  static constexpr float detectThreshold = 0.6f;
  // The first-line test reads at most this much.
  static constexpr std::size_t firstLineBytes = 2048;
  // Body lines searched for the first boundary delimiter.
  static constexpr int boundarySearchLines = 10;
  // A field name longer than this without "X-" ends the header test.
  static constexpr std::size_t maxFieldNameLength = 35;

  static const std::vector<std::string> l_excludeAttrName;
  static const std::set<std::string> l_commonHeaderFieldName;

  MIMEHandler() = default;
  ~MIMEHandler() { close(); }
  MIMEHandler(const MIMEHandler&) = delete;
  MIMEHandler& operator=(const MIMEHandler&) = delete;

  bool open(const std::string& path);
  // Reads through a file the caller keeps open for the handler's lifetime.
  bool open(const InputFile& file);
  void close();

  bool parseMIMEHeader(const std::string& path);
  bool parseMIMEHeader(const InputFile& file);
  bool isEMLFileType();
  bool isMHTFileType() const;

  bool isCommonHeaderField(const Attribute& field) const;
  bool isExistAttribute(Attribute pattern) const;
  static bool getSectionSeparator(const Attribute& field, std::string& boundary);

  std::vector<Attribute> headerParser(uint64_t start, uint64_t& position);
  LineParser lineParserFunc(uint64_t& position);
  static void attributeParserFunc(Attribute& field);
  static bool parseParameter(std::string text, Parameter& parameter);
  static std::vector<std::pair<std::size_t, std::size_t>> getRestrictRange(const std::string& text);
  static bool isInExcludeList(const std::string& name);
  static bool isTextLine(const std::string& text);

  static std::string whiteSpaceEliminator(const std::string& text, bool leading);
  static void CR_EliminationFunc(std::string& text);
  static void fileNameParserFunc(std::string& text);

  const std::vector<Attribute>& getAttributes() const { return attributes; }
  uint64_t getHeaderEnd() const { return headerEnd; }

 private:
  bool parseHeaderOfOpenFile();

  std::unique_ptr<InputFile> owned_;
  TextStream stream_;
  bool open_ = false;
  uint64_t fileSize = 0;
  uint64_t headerEnd = 0;
  std::vector<Attribute> attributes;
  // Header bytes still allowed in this parse, and whether the last line
  // read ran past them.
  std::size_t headerBudget_ = limits::kMimeMaxHeaderBytes;
  bool lineOverBudget_ = false;
};

}  // namespace kpl
