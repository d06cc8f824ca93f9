#include "detect/regexp_table.h"

#include <cctype>
#include <cstdio>

#include "catalogue/file_type_catalogue.h"
#include "common/limits.h"

namespace kpl {

RegexpTable regexpTable;

namespace {

// libstdc++ matches ECMAScript patterns by backtracking, recursing a few
// frames for every character of the subject: about 300 bytes of stack per
// character, so a 4 KiB answer needs more than the 1 MiB many host threads
// have. The polynomial (breadth-first) executor recurses only as deep as
// the pattern. No table pattern uses a back-reference, which it refuses.
constexpr auto kSyntax = std::regex::ECMAScript | std::regex::icase | std::regex_constants::__polynomial;

// The group-reference form of a template: "%<subject>:$<group>".
const std::regex& referenceForm() {
  static const std::regex form(R"(%([0-9]+):\$([0-9]+))", kSyntax);
  return form;
}

void reportRegexError(int code, const std::string& message) {
  std::printf("EXCEPTION: %s : %d\n%s\n", message.c_str(), code, regexErrorName(code));
  std::fflush(stdout);
}

// Matching time grows with the subject; real answers are far shorter.
std::string boundedSubject(const char* text) {
  std::string s = text ? text : "";
  if (s.size() > limits::kMaxMappingSubjectBytes) s.resize(limits::kMaxMappingSubjectBytes);
  return s;
}

// Every run of slashes becomes one comma; the list is lower case.
std::string extensionList(const std::string& list) {
  std::string out;
  out.reserve(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == '/') {
      if (i == 0 || list[i - 1] != '/') out.push_back(',');
    } else {
      out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(list[i]))));
    }
  }
  return out;
}

}  // namespace

const char* regexErrorName(int code) {
  switch (code) {
    case 0: return "error_collate";
    case 1: return "error_ctype";
    case 2: return "error_escape";
    case 3: return "error_backref";
    case 4: return "error_brack";
    case 5: return "error_paren";
    case 6: return "error_brace";
    case 7: return "error_badbrace";
    case 8: return "error_range";
    case 9: return "error_space";
    case 10: return "error_badrepeat";
    case 11: return "error_complexity";
    case 12: return "error_stack";
    default: return "something happened. or didn't";
  }
}

RegexpTable::Template RegexpTable::parseTemplate(const std::string& text) {
  Template t;
  std::smatch m;
  if (std::regex_match(text, m, referenceForm())) {
    // Digits beyond any real subject or group count simply fail later.
    auto number = [](const std::string& digits) {
      return digits.size() > 9 ? static_cast<unsigned long>(-1) : std::stoul(digits);
    };
    t.isReference = true;
    t.subject = number(m[1].str());
    t.group = number(m[2].str());
  } else {
    t.literal = text;
  }
  return t;
}

int RegexpTable::init() {
  std::vector<TypeMatch> rows;
  for (const RegexpRowSource& source : regexpTableRows()) {
    TypeMatch row;
    row.extensionPattern = source.extensionPattern;
    row.signatureDescriptionPattern = source.signatureDescriptionPattern;
    row.mimePattern = source.mimePattern;
    row.magicPattern = source.magicPattern;
    row.typeTemplate = source.typeTemplate;
    row.mimeTemplate = source.mimeTemplate;
    row.descriptionTemplate =
        source.descriptionTemplate.fromCatalogue ? describe(source.descriptionTemplate.value) : source.descriptionTemplate.value;
    row.extensions = source.extensions;
    rows.push_back(std::move(row));
  }
  initWith(rows);
  return 0;
}

void RegexpTable::initWith(const std::vector<TypeMatch>& rows) {
  rows_ = rows;
  compiled_.clear();
  compiled_.resize(rows_.size());
  // Every pattern and the conditions read from it fold case alike.
  const std::locale locale;
  fold_ = CaseFold(locale);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const TypeMatch& row = rows_[i];
    const std::string* patterns[4] = {&row.extensionPattern, &row.signatureDescriptionPattern, &row.mimePattern,
                                      &row.magicPattern};
    Compiled& compiled = compiled_[i];
    compiled.screened = true;
    for (int p = 0; p < 4; ++p) {
      try {
        compiled.patterns[p].imbue(locale);
        compiled.patterns[p].assign(*patterns[p], kSyntax);
      } catch (const std::regex_error& e) {
        compiled.errors[p] = PatternError{e.code(), e.what()};
        compiled.screened = false;
      }
    }
    if (compiled.screened)
      for (int p = 0; p < 4; ++p) compiled.conditions[p] = deriveCondition(*patterns[p], fold_);
    compiled.templates[0] = parseTemplate(row.typeTemplate);
    compiled.templates[1] = parseTemplate(row.mimeTemplate);
    compiled.templates[2] = parseTemplate(row.descriptionTemplate);
  }
}

std::size_t RegexpTable::firstMatch(const std::string (&subjects)[4], std::smatch (&matches)[4], Walk walk) const {
  const bool indexed = walk == Walk::indexed;
  std::string folded[4];
  if (indexed)
    for (int p = 0; p < 4; ++p) folded[p] = fold_.apply(subjects[p]);
  for (std::size_t i = 0; i < compiled_.size(); ++i) {
    const Compiled& row = compiled_[i];
    // A condition fails only where its pattern cannot match, so the plain
    // walk would pass over this row as well (matching throws nothing: a
    // pattern the executor cannot run fails to compile, and such a row is
    // never screened).
    if (indexed && row.screened &&
        !(row.conditions[0].holds(folded[0]) && row.conditions[1].holds(folded[1]) &&
          row.conditions[2].holds(folded[2]) && row.conditions[3].holds(folded[3])))
      continue;
    bool matched = true;
    for (int p = 0; p < 4 && matched; ++p) {
      if (row.errors[p]) {
        reportRegexError(row.errors[p]->code, row.errors[p]->message);
        return compiled_.size();
      }
      matched = std::regex_match(subjects[p], matches[p], row.patterns[p]);
    }
    if (matched) return i;
  }
  return compiled_.size();
}

int RegexpTable::matchingRow(const std::string& signatureExtension, const std::string& signatureDescription,
                             const std::string& magicMime, const std::string& magicDescription,
                             Walk walk) const {
  const std::string subjects[4] = {boundedSubject(signatureExtension.c_str()),
                                   boundedSubject(signatureDescription.c_str()), boundedSubject(magicMime.c_str()),
                                   boundedSubject(magicDescription.c_str())};
  std::smatch matches[4];
  try {
    const std::size_t i = firstMatch(subjects, matches, walk);
    return i < compiled_.size() ? static_cast<int>(i + 1) : 0;
  } catch (const std::regex_error&) {
    return 0;
  }
}

int RegexpTable::check(const char* signatureExtension, const char* signatureDescription, const char* magicMime,
                       const char* magicDescription, std::string& typeId, std::string& mime,
                       std::string& description, std::string& extensions, Walk walk) const {
  const std::string subjects[4] = {boundedSubject(signatureExtension), boundedSubject(signatureDescription),
                                   boundedSubject(magicMime), boundedSubject(magicDescription)};
  try {
    std::smatch matches[4];
    const std::size_t i = firstMatch(subjects, matches, walk);
    if (i < compiled_.size()) {
      const Compiled& row = compiled_[i];
      // The winning row: fill all three templates before writing any.
      std::string filled[3];
      for (int t = 0; t < 3; ++t) {
        const Template& tpl = row.templates[t];
        if (!tpl.isReference) {
          filled[t] = tpl.literal;
          continue;
        }
        if (tpl.subject < 1 || tpl.subject > 4) return 1;
        const std::smatch& m = matches[tpl.subject - 1];
        if (tpl.group >= m.size()) return 1;
        filled[t] = m[tpl.group].matched ? m[tpl.group].str() : std::string();
      }
      typeId = filled[0];
      mime = filled[1];
      description = filled[2];
      const std::string& field = rows_[i].extensions;
      extensions = extensionList(field == "*" ? subjects[0] : field.empty() ? typeId : field);
      return 0;
    }
  } catch (const std::regex_error& e) {
    reportRegexError(e.code(), e.what());
  }
  return 1;
}

}  // namespace kpl
