#include "tridlib/definitions.h"

#include "common/limits.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <string_view>

namespace tridlib {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Reads the arguments of one clause, left to right.
class Arguments {
 public:
  explicit Arguments(std::string_view text) : text_(text) {}

  bool atEnd() {
    skipSpace();
    return pos_ >= text_.size();
  }

  // A bare token: a number or a word.
  std::string_view token() {
    skipSpace();
    std::size_t start = pos_;
    while (pos_ < text_.size() && !isSpace(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A decimal or 0x-prefixed number no larger than 0xFFFFFFFF.
  bool number(std::size_t& value) {
    std::string_view t = token();
    if (t.empty()) return false;
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
      base = 16;
      t.remove_prefix(2);
    }
    uint64_t v = 0;
    for (char c : t) {
      int d = base == 16 ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
      if (d < 0) return false;
      v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
      if (v > 0xFFFFFFFFull) return false;
    }
    value = static_cast<std::size_t>(v);
    return true;
  }

  bool atQuote() {
    skipSpace();
    return pos_ < text_.size() && text_[pos_] == '"';
  }

  // A quoted string with its escapes resolved.
  bool quoted(std::string& out, std::string& error) {
    out.clear();
    if (!atQuote()) {
      error = "expected a quoted string";
      return false;
    }
    ++pos_;
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == '"') return true;
      if (c == '\\') {
        if (pos_ >= text_.size()) break;
        char e = text_[pos_++];
        switch (e) {
          case 'n': c = '\n'; break;
          case 'r': c = '\r'; break;
          case 't': c = '\t'; break;
          case '0': c = '\0'; break;
          case '\\': c = '\\'; break;
          case '"': c = '"'; break;
          case 'x': {
            if (pos_ + 1 >= text_.size() || hexValue(text_[pos_]) < 0 || hexValue(text_[pos_ + 1]) < 0) {
              error = "bad \\x escape";
              return false;
            }
            c = static_cast<char>(hexValue(text_[pos_]) * 16 + hexValue(text_[pos_ + 1]));
            pos_ += 2;
            break;
          }
          default:
            error = std::string("unknown escape \\") + e;
            return false;
        }
      }
      out.push_back(c);
    }
    error = "unterminated string";
    return false;
  }

  // Hex pairs, "??" wildcards and quoted strings, up to the end.
  bool bytes(Clause& clause, std::string& error) {
    while (!atEnd()) {
      char c = text_[pos_];
      if (c == '"') {
        std::string s;
        if (!quoted(s, error)) return false;
        for (char b : s) {
          clause.bytes.push_back(static_cast<uint8_t>(b));
          clause.wildcard.push_back(0);
        }
      } else if (c == '?' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '?') {
        clause.bytes.push_back(0);
        clause.wildcard.push_back(1);
        pos_ += 2;
      } else if (pos_ + 1 < text_.size() && hexValue(c) >= 0 && hexValue(text_[pos_ + 1]) >= 0) {
        clause.bytes.push_back(static_cast<uint8_t>(hexValue(c) * 16 + hexValue(text_[pos_ + 1])));
        clause.wildcard.push_back(0);
        pos_ += 2;
      } else {
        error = std::string("unexpected '") + c + "' in byte pattern";
        return false;
      }
    }
    if (clause.bytes.empty()) {
      error = "empty byte pattern";
      return false;
    }
    return true;
  }

  // One or more quoted strings, up to the end.
  bool quotedList(std::vector<std::string>& out, std::string& error) {
    while (!atEnd()) {
      std::string s;
      if (!quoted(s, error)) return false;
      out.push_back(std::move(s));
    }
    if (out.empty()) {
      error = "expected a quoted string";
      return false;
    }
    return true;
  }

 private:
  void skipSpace() {
    while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

unsigned fixedBytes(const Clause& c) {
  return static_cast<unsigned>(std::count(c.wildcard.begin(), c.wildcard.end(), 0));
}

bool allOfLength(const std::vector<std::string>& texts, std::size_t n) {
  return std::all_of(texts.begin(), texts.end(), [n](const std::string& t) { return t.size() == n; });
}

// How much a clause costs to test: header compares first, then the views
// that are parsed once per file, then searches.
int cost(ClauseKind kind) {
  switch (kind) {
    case ClauseKind::At:
    case ClauseKind::AtEnd:
    case ClauseKind::Riff:
    case ClauseKind::Brand:
    case ClauseKind::Compatible:
    case ClauseKind::Pe:
      return 0;
    case ClauseKind::Box:
    case ClauseKind::Ole:
    case ClauseKind::OleClsid:
      return 1;
    case ClauseKind::Text:
    case ClauseKind::Xml:
    case ClauseKind::XmlRoot:
    case ClauseKind::XmlNamespace:
    case ClauseKind::XmlPi:
      return 2;
    case ClauseKind::Find:
    case ClauseKind::FindEnd:
      return 3;
    case ClauseKind::FindNoCase:
      return 4;
    case ClauseKind::Words:
      return 5;
  }
  return 5;
}

// The first byte of the file that a definition's clauses fix, or -1: lets
// the matcher pass over most definitions with one compare.
int firstByte(const Definition& def) {
  for (const Clause& c : def.clauses) {
    switch (c.kind) {
      case ClauseKind::At:
        if (c.position == 0 && !c.wildcard[0]) return c.bytes[0];
        break;
      case ClauseKind::Riff:
        return 'R';
      case ClauseKind::Pe:
        return 'M';
      case ClauseKind::Ole:
      case ClauseKind::OleClsid:
        return 0xD0;
      default:
        break;
    }
  }
  return -1;
}

// One clause line as its reader sees it: the keyword, the arguments after
// it, and where a fault is described.
struct ClauseLine {
  ClauseLine(std::string_view word, std::string_view rest, std::string& errorText)
      : keyword(word), args(rest), error(errorText) {}

  bool fail(const char* what) {
    error = what;
    return false;
  }
  // True at the end of the arguments; otherwise the fault.
  bool noMore() {
    if (args.atEnd()) return true;
    error = "unexpected text after the arguments of '" + std::string(keyword) + "'";
    return false;
  }

  std::string_view keyword;
  Arguments args;
  std::string& error;
};

// A clause reader reads the arguments of its keyword into a clause whose
// kind and points the keyword table has set, and checks them. False with
// the fault described in the line's error.
using ClauseReader = bool (*)(ClauseLine& line, Clause& clause);

// <offset|distance|window> <bytes>
bool readPositionedBytes(ClauseLine& line, Clause& clause) {
  if (!line.args.number(clause.position)) return line.fail("bad number");
  return line.args.bytes(clause, line.error);
}

// One quoted string and nothing after it.
bool readOneText(ClauseLine& line, Clause& clause) {
  clause.texts.emplace_back();
  return line.args.quoted(clause.texts[0], line.error) && line.noMore();
}

bool readAt(ClauseLine& line, Clause& clause) {
  if (!readPositionedBytes(line, clause)) return false;
  if (clause.position > kHeadWindow || clause.bytes.size() > kHeadWindow - clause.position)
    return line.fail("pattern reaches past the head window");
  clause.points *= fixedBytes(clause);
  return true;
}

bool readAtEnd(ClauseLine& line, Clause& clause) {
  if (!readPositionedBytes(line, clause)) return false;
  if (clause.position > kTailWindow || clause.bytes.size() > clause.position)
    return line.fail("atend distance must cover the pattern and lie within the tail window");
  clause.points *= fixedBytes(clause);
  return true;
}

// find, findi and findend.
bool readFind(ClauseLine& line, Clause& clause) {
  if (!readPositionedBytes(line, clause)) return false;
  const std::size_t len = clause.bytes.size();
  const std::size_t limit = clause.kind == ClauseKind::FindEnd ? kTailWindow : kHeadWindow;
  if (clause.position > limit || len > clause.position)
    return line.fail("find window must hold the pattern and lie within the head (tail) window");
  if (fixedBytes(clause) != len) return line.fail("find patterns take no wildcards");
  if (clause.kind == ClauseKind::FindNoCase)
    for (auto& b : clause.bytes) b = static_cast<uint8_t>(lowerAscii(static_cast<char>(b)));
  clause.points *= static_cast<unsigned>(len);
  return true;
}

bool readRiff(ClauseLine& line, Clause& clause) {
  if (!line.args.bytes(clause, line.error)) return false;
  if (clause.bytes.size() != 4) return line.fail("riff takes a 4-byte form type");
  return true;
}

// brand and compatible.
bool readBrands(ClauseLine& line, Clause& clause) {
  if (!line.args.quotedList(clause.texts, line.error)) return false;
  if (!allOfLength(clause.texts, 4)) return line.fail("brands are 4 characters long");
  return true;
}

bool readBox(ClauseLine& line, Clause& clause) {
  if (!readOneText(line, clause)) return false;
  if (clause.texts[0].size() != 4) return line.fail("box types are 4 characters long");
  return true;
}

bool readPe(ClauseLine& line, Clause& clause) {
  std::string_view kind = line.args.token();
  if (kind == "any") clause.pe = PeKind::Any;
  else if (kind == "exe") clause.pe = PeKind::Exe;
  else if (kind == "dll") clause.pe = PeKind::Dll;
  else return line.fail("pe takes any, exe or dll");
  if (!line.noMore()) return false;
  if (clause.pe == PeKind::Any) clause.points = kPointsPe;  // less than a named kind
  return true;
}

bool readOle(ClauseLine& line, Clause& clause) {
  if (!readOneText(line, clause)) return false;
  // A directory entry holds at most 31 characters and a terminator.
  if (clause.texts[0].empty() || clause.texts[0].size() > 31)
    return line.fail("ole entry names have 1 to 31 characters");
  for (char& c : clause.texts[0]) c = lowerAscii(c);
  return true;
}

bool readOleClsid(ClauseLine& line, Clause& clause) {
  if (!line.args.bytes(clause, line.error)) return false;
  if (clause.bytes.size() != 16 || fixedBytes(clause) != 16) return line.fail("oleclsid takes 16 fixed bytes");
  return true;
}

// text and xml take no arguments.
bool readNothing(ClauseLine& line, Clause&) { return line.noMore(); }

bool readWords(ClauseLine& line, Clause& clause) {
  if (!line.args.number(clause.position) || !line.args.number(clause.minimum))
    return line.fail("words takes a window, a minimum and words");
  if (!line.args.quotedList(clause.texts, line.error)) return false;
  if (clause.position == 0 || clause.position > kTextWindow)
    return line.fail("words window must lie within the text window");
  if (clause.minimum == 0 || clause.minimum > clause.texts.size())
    return line.fail("words minimum must lie between 1 and the number of words");
  for (std::string& w : clause.texts) {
    if (w.empty() || w.size() > clause.position) return line.fail("a word must be shorter than the window");
    for (char& c : w) c = lowerAscii(c);
  }
  return true;
}

// xmlroot and xmlns.
bool readXmlName(ClauseLine& line, Clause& clause) {
  if (!readOneText(line, clause)) return false;
  if (clause.texts[0].empty()) return line.fail("empty name");
  return true;
}

bool readXmlPi(ClauseLine& line, Clause& clause) {
  if (!line.args.quotedList(clause.texts, line.error)) return false;
  if (clause.texts.size() > 2 || clause.texts[0].empty())
    return line.fail("xmlpi takes a target and an optional text");
  return true;
}

struct KeywordReader {
  std::string_view keyword;
  ClauseKind kind;
  // What the clause earns; per fixed byte for at and atend, per byte for the
  // finds, per character found for words, for a named kind for pe.
  unsigned points;
  ClauseReader read;
};

// clang-format off
constexpr KeywordReader kKeywordReaders[] = {
  // keyword      kind                      points                  reader
  { "at",         ClauseKind::At,           kPointsPerAnchoredByte, readAt       },
  { "atend",      ClauseKind::AtEnd,        kPointsPerAnchoredByte, readAtEnd    },
  { "find",       ClauseKind::Find,         kPointsPerFoundByte,    readFind     },
  { "findi",      ClauseKind::FindNoCase,   kPointsPerFoundByte,    readFind     },
  { "findend",    ClauseKind::FindEnd,      kPointsPerFoundByte,    readFind     },
  { "riff",       ClauseKind::Riff,         kPointsRiff,            readRiff     },
  { "brand",      ClauseKind::Brand,        kPointsBrand,           readBrands   },
  { "compatible", ClauseKind::Compatible,   kPointsCompatible,      readBrands   },
  { "box",        ClauseKind::Box,          kPointsBox,             readBox      },
  { "pe",         ClauseKind::Pe,           kPointsPeKind,          readPe       },
  { "ole",        ClauseKind::Ole,          kPointsOle,             readOle      },
  { "oleclsid",   ClauseKind::OleClsid,     kPointsOle,             readOleClsid },
  { "text",       ClauseKind::Text,         kPointsText,            readNothing  },
  { "xml",        ClauseKind::Xml,          kPointsXml,             readNothing  },
  { "words",      ClauseKind::Words,        kPointsPerFoundByte,    readWords    },
  { "xmlroot",    ClauseKind::XmlRoot,      kPointsXmlRoot,         readXmlName  },
  { "xmlns",      ClauseKind::XmlNamespace, kPointsXmlNamespace,    readXmlName  },
  { "xmlpi",      ClauseKind::XmlPi,        kPointsXmlPi,           readXmlPi    },
};
// clang-format on

// Parses the clause `keyword` with its arguments into def. False with a
// description of the fault in error.
bool parseClause(std::string_view keyword, std::string_view rest, Definition& def, std::string& error) {
  ClauseLine line(keyword, rest, error);
  // bonus is no clause: it adds to the points of the definition as a whole.
  if (keyword == "bonus") {
    std::size_t points = 0;
    if (!line.args.number(points) || !line.args.atEnd()) return line.fail("bonus takes one number");
    def.points += static_cast<unsigned>(std::min<std::size_t>(points, 1000000));
    return true;
  }
  const auto* row = std::find_if(std::begin(kKeywordReaders), std::end(kKeywordReaders),
                                 [&](const KeywordReader& r) { return r.keyword == keyword; });
  if (row == std::end(kKeywordReaders)) {
    error = "unknown keyword '" + std::string(keyword) + "'";
    return false;
  }
  Clause clause;
  clause.kind = row->kind;
  clause.points = row->points;
  if (!row->read(line, clause)) return false;
  if (clause.kind != ClauseKind::Words) def.points += clause.points;  // words earn what they find
  def.clauses.push_back(std::move(clause));
  return true;
}

}  // namespace

bool parseDefinitions(const std::string& text, const std::string& fileName, std::vector<Definition>& out,
                      std::string& error) {
  std::string_view all(text);
  int lineNumber = 0;
  bool inDefinition = false;
  Definition def;
  auto fail = [&](const std::string& what) {
    error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
    return false;
  };
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    std::string_view body = trim(all.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (body.empty() || body[0] == '#') continue;
    std::size_t space = 0;
    while (space < body.size() && !isSpace(body[space])) ++space;
    std::string_view keyword = body.substr(0, space);
    std::string_view rest = trim(body.substr(space));
    if (keyword == "def") {
      if (inDefinition) return fail("'def' inside a definition");
      if (rest.empty() || rest.size() > kMaxTextLength ||
          std::any_of(rest.begin(), rest.end(), [](char c) { return isSpace(c); }))
        return fail("'def' takes one extension text");
      def = Definition();
      def.extension = std::string(rest);
      def.origin = fileName + ":" + std::to_string(lineNumber);
      inDefinition = true;
    } else if (!inDefinition) {
      return fail("'" + std::string(keyword) + "' outside a definition");
    } else if (keyword == "type") {
      if (rest.empty() || rest.size() > kMaxTextLength) return fail("'type' takes a file-type text");
      def.fileType = std::string(rest);
    } else if (keyword == "end") {
      if (!rest.empty()) return fail("'end' takes nothing");
      if (def.fileType.empty()) return fail("definition without 'type'");
      if (def.clauses.empty()) return fail("definition without a clause");
      std::stable_sort(def.clauses.begin(), def.clauses.end(),
                       [](const Clause& a, const Clause& b) { return cost(a.kind) < cost(b.kind); });
      def.firstByte = firstByte(def);
      out.push_back(std::move(def));
      inDefinition = false;
    } else {
      std::string what;
      if (!parseClause(keyword, rest, def, what)) return fail(what);
    }
  }
  if (inDefinition) return fail("definition not closed with 'end'");
  return true;
}

namespace {

// Reads a whole definitions file; they are small text files.
bool readText(const std::string& path, std::string& text) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  text.clear();
  char buffer[16384];
  while (ok) {
    ssize_t n = ::read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kpl::limits::kTridMaxDefinitionsFileBytes) ok = false;
  }
  ::close(fd);
  return ok;
}

}  // namespace

bool loadDefinitionsDirectory(const std::string& directory, std::vector<Definition>& out, std::string& error) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) {
    error = "cannot open " + directory;
    return false;
  }
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".trd") == 0) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());

  std::string prefix = directory;
  if (!prefix.empty() && prefix.back() != '/') prefix.push_back('/');
  std::vector<Definition> loaded;
  std::string text;
  for (const std::string& name : names) {
    if (!readText(prefix + name, text)) {
      error = "cannot read " + prefix + name;
      return false;
    }
    if (!parseDefinitions(text, name, loaded, error)) return false;
  }
  if (loaded.empty()) {
    error = "no definitions in " + directory;
    return false;
  }
  out = std::move(loaded);
  return true;
}

}  // namespace tridlib
