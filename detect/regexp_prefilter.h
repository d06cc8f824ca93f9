// What a subject must contain for a mapping-table pattern to match it
// whole, read from the pattern's text: literals it must begin with, end
// with or contain, and its least length. The table tests these cheap
// conditions first and runs a row's regular expressions only where all
// hold, so a condition must be necessary, never merely likely: the reader
// below knows a small part of ECMAScript exactly and derives nothing from a
// pattern with anything else in it.
#pragma once

#include <array>
#include <cstddef>
#include <locale>
#include <string>
#include <vector>

namespace kpl {

// The case folding of a case-insensitive std::regex: both the pattern's
// characters and the subject's go through ctype<char>::tolower of the
// regex's locale, and a character matches where the two agree.
class CaseFold {
 public:
  CaseFold();  // the classic locale's
  explicit CaseFold(const std::locale& locale);
  char operator()(char c) const { return table_[static_cast<unsigned char>(c)]; }
  std::string apply(const std::string& text) const;

 private:
  std::array<char, 256> table_{};
};

// A necessary condition over a folded subject. An empty list says nothing.
struct SubjectCondition {
  std::size_t minLength = 0;
  std::vector<std::string> prefixes;  // the subject begins with one of these
  std::vector<std::string> suffixes;  // ... ends with one of these
  std::vector<std::string> factors;   // ... contains one of these

  bool holds(const std::string& foldedSubject) const;
  bool saysNothing() const { return minLength == 0 && prefixes.empty() && suffixes.empty() && factors.empty(); }
};

// The condition for `pattern` (ECMAScript, case-insensitive, matched against
// the whole subject) to match, with literals folded by `fold`. Understood:
// ordinary printable ASCII characters, escaped punctuation, ".", \d \D \s
// \S \w \W, groups "(...)" and "(?:...)", "|", and the quantifiers * + ?
// {n} {n,} {n,m} (lazy or not). Anything else (brackets, anchors, word
// boundaries, lookaheads, back-references, control and non-ASCII
// characters, other escapes) leaves the whole pattern without a condition.
SubjectCondition deriveCondition(const std::string& pattern, const CaseFold& fold);

}  // namespace kpl
