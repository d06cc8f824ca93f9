#include "text/calendar_reader.h"

#include <algorithm>
#include <cstring>

#include "common/limits.h"

namespace kpl {
namespace {

// The tokenizer's character classes, in the C locale whatever the host set.
bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isAlnum(int c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char upper(int c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }

// Watches a byte sequence for one word whose proper prefixes are never
// suffixes of it ("BEGIN", "VCALENDAR"), so a mismatch restarts cleanly.
class WordWatch {
 public:
  explicit WordWatch(const char* word) : word_(word), len_(std::strlen(word)) {}
  void feed(int c) {
    if (found_) return;
    matched_ = c == word_[matched_] ? matched_ + 1 : (c == word_[0] ? 1 : 0);
    found_ = matched_ == len_;
  }
  bool found() const { return found_; }

 private:
  const char* word_;
  std::size_t len_;
  std::size_t matched_ = 0;
  bool found_ = false;
};

}  // namespace

// A token as it is collected: upper-cased, cut at the keep limit, with the
// extension mark looked for over all of it.
class CalendarReader::Token {
 public:
  void push(int c) {
    const char u = upper(c);
    if (lastWasX_ && u == '-') hasExtensionMark = true;
    lastWasX_ = u == 'X';
    if (text.size() < limits::kCalendarTokenKeepBytes) {
      text.push_back(u);
    } else {
      overflow = true;
    }
  }
  std::string text;
  bool overflow = false;
  bool hasExtensionMark = false;

 private:
  bool lastWasX_ = false;
};

void CalendarReader::open(const std::string& path) {
  close();
  owned_ = std::make_unique<InputFile>(path);
  if (!owned_->isOpen()) {
    owned_.reset();
    return;
  }
  open(*owned_);
}

void CalendarReader::open(const InputFile& file) {
  if (&file != owned_.get()) close();
  stream_ = TextStream(file);
  fileSize = static_cast<int64_t>(file.size());
  open_ = true;
}

void CalendarReader::close() {
  stream_ = TextStream();
  owned_.reset();
  open_ = false;
  fileSize = 0;
}

int CalendarReader::parseCalObj() {
  openComponents_.clear();
  openComponentBytes_ = 0;
  failed_ = eventOpen_ = eventHasUID_ = hasVersion_ = hasProdId_ = false;
  version_.clear();
  if (!open_ || fileSize <= 0) return 0;

  // The first line must open a calendar, and must end within the first
  // block: anything else is rejected for the price of one small read.
  const std::size_t head = static_cast<std::size_t>(std::min<int64_t>(fileSize, headerTestBytes));
  {
    WordWatch begin("BEGIN"), calendar("VCALENDAR");
    bool lineFeed = false;
    for (std::size_t i = 0; i < head && !lineFeed; ++i) {
      const int c = stream_.at(i);
      lineFeed = c == '\n';
      begin.feed(c);
      calendar.feed(c);
    }
    if (!lineFeed || !begin.found() || !calendar.found()) return 0;
  }

  stream_.seek(0);
  bool scannedAny = false;
  while (!stream_.eof()) {
    const bool mustOpenCalendar = !scannedAny;
    WordWatch begin("BEGIN"), calendar("VCALENDAR");
    iCalendarObject object;
    Token token, name;
    bool tokenOpen = false, scanEnded = false, folded = false, first = true;
    AssignToValue target = kName;

    auto closeToken = [&]() {
      if (!tokenOpen) return;
      tokenOpen = false;
      switch (target) {
        case kName: name = token; break;
        case kValue: object.value = token.text; break;
        case kKeyword: object.keyword = token.text; break;
        case kParameters: ++object.parameters; break;
      }
    };

    for (int c = stream_.get(); c != -1 && c != '\n'; c = stream_.get()) {
      if (mustOpenCalendar) {
        begin.feed(c);
        calendar.feed(c);
      }
      if (first) {
        first = false;
        folded = isBlank(c);  // a folded continuation line is skipped whole
      }
      if (folded || scanEnded) continue;
      if (c == '\r') {
        closeToken();
        scanEnded = true;
      } else if (isBlank(c)) {
        closeToken();
      } else if (!tokenOpen && isAlnum(c)) {
        tokenOpen = true;
        token = Token();
        token.push(c);
      } else if (c == ':') {
        closeToken();
        target = kValue;
        if (!name.overflow && (name.text == "BEGIN" || name.text == "END")) {
          object.keyword = name.text;
          name = Token();
          target = kName;
        }
      } else if (c == ';') {
        closeToken();
        target = kParameters;
      } else if (tokenOpen) {
        token.push(c);
      }
    }
    if (mustOpenCalendar && !(begin.found() && calendar.found())) return 0;
    if (folded) continue;
    closeToken();
    scannedAny = true;

    object.name = name.text;
    object.nameOverflow = name.overflow;
    object.nameHasExtensionMark = name.hasExtensionMark;
    // Extension properties and components are not the rules' business.
    if (!object.name.empty() && !object.nameHasExtensionMark) applyRules(object);
    // Once the rules have failed the answer is settled; the rest of the
    // file cannot make the parse itself fail any more.
    if (failed_) return 1;
  }
  return 1;
}

void CalendarReader::applyRules(const iCalendarObject& object) {
  const std::string& name = object.name;
  if (object.keyword == "BEGIN") {
    if (name == "VEVENT") eventOpen_ = true;
    if (object.nameOverflow || name.size() > limits::kCalendarMaxOpenComponentBytes - openComponentBytes_) {
      failed_ = true;
      return;
    }
    openComponents_.push_back(name);
    openComponentBytes_ += name.size();
  } else if (object.keyword == "END") {
    if (name == "VEVENT") {
      if (!eventHasUID_) {
        failed_ = true;
        return;
      }
      eventOpen_ = eventHasUID_ = false;
    }
    // An END with no component open fails like one that closes the wrong one.
    if (openComponents_.empty() || object.nameOverflow || openComponents_.back() != name) {
      failed_ = true;
      return;
    }
    openComponentBytes_ -= openComponents_.back().size();
    openComponents_.pop_back();
  }
  if (eventOpen_ && name == "UID") {
    if (eventHasUID_) {
      failed_ = true;
      return;
    }
    eventHasUID_ = true;
  }
  if (name == "VERSION") {
    if (hasVersion_) {
      failed_ = true;
      return;
    }
    hasVersion_ = true;
    version_ = object.value;
  }
  if (name == "PRODID") {
    if (hasProdId_) {
      failed_ = true;
      return;
    }
    hasProdId_ = true;
  }
}

int CalendarReader::checkDocumentType() const {
  if (failed_ || !hasVersion_ || !hasProdId_ || !openComponents_.empty()) return kNotCalendar;
  return version_ == "2.0" ? kICalendar : kVCalendar;
}

}  // namespace kpl
