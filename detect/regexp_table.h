// Maps the four raw answers for a file that no analyzer recognised (the
// signature library's extension and file-type texts, libmagic's MIME type
// and description) to a detection record, through an ordered table of
// regular expressions: the first row whose four patterns all match the
// whole of their subjects wins. Literals that each pattern's subject must
// hold are read from the pattern text when the table is built
// (regexp_prefilter.h), so a row whose subjects lack them is passed over
// without running its regular expressions.
#pragma once

#include <array>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "detect/regexp_prefilter.h"

namespace kpl {

// One row: four patterns and four output templates.
struct TypeMatch {
  std::string extensionPattern;
  std::string signatureDescriptionPattern;
  std::string mimePattern;
  std::string magicPattern;
  std::string typeTemplate;
  std::string mimeTemplate;
  std::string descriptionTemplate;
  std::string extensions;  // literal list, "" (from the type identifier) or "*" (the signature extension)
};

// A description template in the row data: a literal or template, or the
// catalogue's description of a type identifier.
struct DescriptionSource {
  DescriptionSource(const char* text) : value(text) {}  // NOLINT: rows read best without a wrapper
  const char* value;
  bool fromCatalogue = false;
};
inline DescriptionSource catalogue(const char* typeId) {
  DescriptionSource source(typeId);
  source.fromCatalogue = true;
  return source;
}

struct RegexpRowSource {
  const char* extensionPattern;
  const char* signatureDescriptionPattern;
  const char* mimePattern;
  const char* magicPattern;
  const char* typeTemplate;
  const char* mimeTemplate;
  DescriptionSource descriptionTemplate;
  const char* extensions;
};
const std::vector<RegexpRowSource>& regexpTableRows();

class RegexpTable {
 public:
  // How rows are tried: passing over the rows whose subjects lack what
  // their patterns need, or (for tests and the benchmark, which compare
  // the two) running every row's regular expressions.
  enum class Walk { indexed, plain };

  RegexpTable() = default;

  // Builds the 79 rows (needs the catalogue, which is static data) and
  // compiles every pattern once. Returns 0.
  int init();
  // Builds the table from given rows; for tests of the matching rules.
  void initWith(const std::vector<TypeMatch>& rows);

  // 0 when a row matched and its templates could be filled: the four
  // outputs are written. 1 otherwise, outputs untouched (except that a
  // regular-expression error reported after some were written leaves them).
  int check(const char* signatureExtension, const char* signatureDescription, const char* magicMime,
            const char* magicDescription, std::string& typeId, std::string& mime, std::string& description,
            std::string& extensions, Walk walk = Walk::indexed) const;

  // The number (from 1) of the row that wins for these four answers, 0 when
  // none matches or a pattern could not be compiled.
  int matchingRow(const std::string& signatureExtension, const std::string& signatureDescription,
                  const std::string& magicMime, const std::string& magicDescription,
                  Walk walk = Walk::indexed) const;
  const std::vector<TypeMatch>& rows() const { return rows_; }

 private:
  // A template, parsed once: a literal, or a reference to capture group
  // `group` of subject `subject` (1..4).
  struct Template {
    bool isReference = false;
    unsigned long subject = 0;
    unsigned long group = 0;
    std::string literal;
  };
  struct PatternError {
    std::regex_constants::error_type code;
    std::string message;
  };
  struct Compiled {
    std::array<std::regex, 4> patterns;
    std::optional<PatternError> errors[4];  // a pattern that did not compile fails when tried
    // What each subject must hold for its pattern to match; a row with a
    // pattern that did not compile is never passed over, so that its error
    // is reported whenever the walk reaches it.
    SubjectCondition conditions[4];
    bool screened = false;
    Template templates[3];
  };

  static Template parseTemplate(const std::string& text);
  // The index of the first row whose four patterns match their subjects
  // (with its matches), or the row count; throws std::regex_error, and
  // reports and returns the row count for a pattern that did not compile.
  std::size_t firstMatch(const std::string (&subjects)[4], std::smatch (&matches)[4], Walk walk) const;

  std::vector<TypeMatch> rows_;
  CaseFold fold_;  // the patterns' own case folding
  std::vector<Compiled> compiled_;
};

extern RegexpTable regexpTable;

// Name of a regular-expression error code, as the exception report prints it.
const char* regexErrorName(int code);

}  // namespace kpl
