// vCalendar 1.0 and iCalendar (RFC 5545) files, told apart by a structural
// check of their content lines: balanced BEGIN/END, exactly one VERSION
// and one PRODID, one UID per event. This is a recogniser, not a parser:
// each line is cut into a few upper-cased tokens and the rules are applied
// as the lines go by, so a calendar of any size costs a stack of open
// components and a few flags.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "text/text_stream.h"

namespace kpl {

// One content line as the rules see it. Tokens are upper-cased and, past
// limits::kCalendarTokenKeepBytes, cut short (`overflow` set); the rules
// compare them only with short words, and refuse to keep a cut component
// name. Parameters count but are not kept: no rule reads them.
struct iCalendarObject {
  std::string keyword;  // "BEGIN", "END" or empty
  std::string name;     // property name, or component name on BEGIN/END
  std::string value;    // the last value token
  std::size_t parameters = 0;
  bool nameOverflow = false;
  bool nameHasExtensionMark = false;  // "X-" anywhere in the whole name
};

class CalendarReader {
 public:
  enum AssignToValue { kName = 0, kValue = 1, kKeyword = 2, kParameters = 3 };

  // Document types (the text-based kinds of the classifier).
  static constexpr int kNotCalendar = 0;
  static constexpr int kICalendar = 13;
  static constexpr int kVCalendar = 14;
  // The first-line test reads at most this much.
  static constexpr std::size_t headerTestBytes = 2048;

  CalendarReader() = default;
  ~CalendarReader() { close(); }
  CalendarReader(const CalendarReader&) = delete;
  CalendarReader& operator=(const CalendarReader&) = delete;

  void open(const std::string& path);
  // Reads through a file the caller keeps open for the reader's lifetime.
  void open(const InputFile& file);
  void close();

  // 1 when the file was read to its end as a calendar, 0 otherwise.
  int parseCalObj();
  // 13, 14 or 0, from the rules applied while parsing.
  int checkDocumentType() const;

 private:
  class Token;
  void scanLine(iCalendarObject& object);
  void applyRules(const iCalendarObject& object);

  std::unique_ptr<InputFile> owned_;
  TextStream stream_;
  bool open_ = false;
  int64_t fileSize = 0;

  // Rule state.
  std::vector<std::string> openComponents_;
  std::size_t openComponentBytes_ = 0;
  bool failed_ = false;
  bool eventOpen_ = false;
  bool eventHasUID_ = false;
  bool hasVersion_ = false;
  bool hasProdId_ = false;
  std::string version_;
};

}  // namespace kpl
