#include "tridlib/definitions.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tridlib {
namespace {

std::string trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a decimal or 0x-prefixed number that must fit in a window.
bool parseNumber(const std::string& token, std::size_t& value) {
  if (token.empty() || token[0] == '-') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(token.c_str(), &end, 0);
  if (errno != 0 || end == token.c_str() || *end != '\0' || v > 0xFFFFFFFFull) return false;
  value = static_cast<std::size_t>(v);
  return true;
}

// Parses hex pairs, "??" wildcards and quoted strings into a pattern.
bool parseBytes(const std::string& text, Clause& clause, std::string& error) {
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '"') {
      ++i;
      bool closed = false;
      while (i < text.size()) {
        char s = text[i++];
        if (s == '"') {
          closed = true;
          break;
        }
        if (s == '\\') {
          if (i >= text.size()) break;
          char e = text[i++];
          switch (e) {
            case 'n': s = '\n'; break;
            case 'r': s = '\r'; break;
            case 't': s = '\t'; break;
            case '0': s = '\0'; break;
            case '\\': s = '\\'; break;
            case '"': s = '"'; break;
            case 'x': {
              if (i + 1 >= text.size() || hexValue(text[i]) < 0 || hexValue(text[i + 1]) < 0) {
                error = "bad \\x escape";
                return false;
              }
              s = static_cast<char>(hexValue(text[i]) * 16 + hexValue(text[i + 1]));
              i += 2;
              break;
            }
            default:
              error = std::string("unknown escape \\") + e;
              return false;
          }
        }
        clause.bytes.push_back(static_cast<uint8_t>(s));
        clause.wildcard.push_back(0);
      }
      if (!closed) {
        error = "unterminated string";
        return false;
      }
    } else if (c == '?' && i + 1 < text.size() && text[i + 1] == '?') {
      clause.bytes.push_back(0);
      clause.wildcard.push_back(1);
      i += 2;
    } else if (i + 1 < text.size() && hexValue(c) >= 0 && hexValue(text[i + 1]) >= 0) {
      clause.bytes.push_back(static_cast<uint8_t>(hexValue(c) * 16 + hexValue(text[i + 1])));
      clause.wildcard.push_back(0);
      i += 2;
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

bool parseClause(const std::string& keyword, const std::string& rest, Definition& def, std::string& error) {
  std::istringstream in(rest);
  std::string positionToken;
  in >> positionToken;
  std::size_t position = 0;
  if (!parseNumber(positionToken, position)) {
    error = "bad number '" + positionToken + "'";
    return false;
  }
  if (keyword == "bonus") {
    if (!trim(rest.substr(positionToken.size())).empty()) {
      error = "bonus takes one number";
      return false;
    }
    def.points += static_cast<unsigned>(position);
    return true;
  }
  Clause clause;
  if (keyword == "at") clause.kind = ClauseKind::At;
  else if (keyword == "atend") clause.kind = ClauseKind::AtEnd;
  else if (keyword == "find") clause.kind = ClauseKind::Find;
  else if (keyword == "findi") clause.kind = ClauseKind::FindNoCase;
  else {
    error = "unknown keyword '" + keyword + "'";
    return false;
  }
  clause.position = position;
  std::string pattern = rest.substr(positionToken.size());  // rest is trimmed: the number leads it
  if (!parseBytes(pattern, clause, error)) return false;

  const std::size_t len = clause.bytes.size();
  const auto fixed = static_cast<unsigned>(std::count(clause.wildcard.begin(), clause.wildcard.end(), 0));
  switch (clause.kind) {
    case ClauseKind::At:
      if (position > kHeadWindow || len > kHeadWindow - position) {
        error = "pattern reaches past the head window";
        return false;
      }
      def.points += fixed * kPointsPerAnchoredByte;
      break;
    case ClauseKind::AtEnd:
      if (position > kTailWindow || len > position) {
        error = "atend distance must cover the pattern and lie within the tail window";
        return false;
      }
      def.points += fixed * kPointsPerAnchoredByte;
      break;
    case ClauseKind::Find:
    case ClauseKind::FindNoCase:
      if (position > kHeadWindow || len > position) {
        error = "find window must hold the pattern and lie within the head window";
        return false;
      }
      if (fixed != len) {
        error = "find patterns take no wildcards";
        return false;
      }
      if (clause.kind == ClauseKind::FindNoCase)
        for (auto& b : clause.bytes) b = static_cast<uint8_t>(std::tolower(b));
      def.points += static_cast<unsigned>(len) * kPointsPerFoundByte;
      break;
  }
  def.clauses.push_back(std::move(clause));
  return true;
}

}  // namespace

bool parseDefinitions(const std::string& text, const std::string& fileName, std::vector<Definition>& out,
                      std::string& error) {
  std::istringstream in(text);
  std::string line;
  int lineNumber = 0;
  bool inDefinition = false;
  Definition def;
  auto fail = [&](const std::string& what) {
    error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string body = trim(line);
    if (body.empty() || body[0] == '#') continue;
    std::size_t space = body.find_first_of(" \t");
    std::string keyword = body.substr(0, space);
    std::string rest = space == std::string::npos ? std::string() : trim(body.substr(space));
    if (keyword == "def") {
      if (inDefinition) return fail("'def' inside a definition");
      if (rest.empty() || rest.find_first_of(" \t") != std::string::npos || rest.size() > kMaxTextLength)
        return fail("'def' takes one extension text");
      def = Definition();
      def.extension = rest;
      def.origin = fileName + ":" + std::to_string(lineNumber);
      inDefinition = true;
    } else if (!inDefinition) {
      return fail("'" + keyword + "' outside a definition");
    } else if (keyword == "type") {
      if (rest.empty() || rest.size() > kMaxTextLength) return fail("'type' takes a file-type text");
      def.fileType = rest;
    } else if (keyword == "end") {
      if (def.fileType.empty()) return fail("definition without 'type'");
      if (def.clauses.empty()) return fail("definition without a clause");
      // Anchored clauses are a compare or two; try them before any search.
      std::stable_sort(def.clauses.begin(), def.clauses.end(), [](const Clause& a, const Clause& b) {
        auto anchored = [](const Clause& c) { return c.kind == ClauseKind::At || c.kind == ClauseKind::AtEnd; };
        return anchored(a) && !anchored(b);
      });
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
  for (const std::string& name : names) {
    std::ifstream file(prefix + name, std::ios::binary);
    if (!file) {
      error = "cannot read " + prefix + name;
      return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!parseDefinitions(text.str(), name, loaded, error)) return false;
  }
  if (loaded.empty()) {
    error = "no definitions in " + directory;
    return false;
  }
  out = std::move(loaded);
  return true;
}

}  // namespace tridlib
