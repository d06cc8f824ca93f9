#include "detect/regexp_prefilter.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kpl {

CaseFold::CaseFold() : CaseFold(std::locale::classic()) {}

CaseFold::CaseFold(const std::locale& locale) {
  const auto& ctype = std::use_facet<std::ctype<char>>(locale);
  for (std::size_t c = 0; c < table_.size(); ++c) table_[c] = ctype.tolower(static_cast<char>(c));
}

std::string CaseFold::apply(const std::string& text) const {
  std::string out(text);
  for (char& c : out) c = (*this)(c);
  return out;
}

bool SubjectCondition::holds(const std::string& s) const {
  if (s.size() < minLength) return false;
  auto any = [](const std::vector<std::string>& list, auto&& test) {
    return list.empty() || std::any_of(list.begin(), list.end(), test);
  };
  const auto beginsWith = [&](const std::string& p) { return s.size() >= p.size() && s.compare(0, p.size(), p) == 0; };
  const auto endsWith = [&](const std::string& x) {
    return s.size() >= x.size() && s.compare(s.size() - x.size(), x.size(), x) == 0;
  };
  const auto contains = [&](const std::string& f) { return s.find(f) != std::string::npos; };
  return any(prefixes, beginsWith) && any(suffixes, endsWith) && any(factors, contains);
}

namespace {

// A set of literals, sorted and unique, one of which every match has as a
// prefix, suffix or factor, or is as a whole. A prefix, suffix or factor set
// that holds "" says nothing and is kept as just {""}, as is one grown past
// the limit; a whole-match set past the limit is dropped as unknown.
using Set = std::vector<std::string>;
constexpr std::size_t kMaxSetSize = 16;
// Deeper nesting than any table pattern: the reader recurses per group.
constexpr int kMaxDepth = 32;
// Repeat counts and lengths saturate here; only 0, 1 and "at least" are used.
constexpr std::size_t kCountCap = 1u << 20;

const Set kNothing{""};

// strchr would also find the terminator: a NUL in a pattern is a character.
bool isOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

bool saysNothing(const Set& s) { return s.empty() || std::find(s.begin(), s.end(), "") != s.end(); }

Set normal(const Set& s) { return saysNothing(s) || s.size() > kMaxSetSize ? kNothing : s; }

Set unite(const Set& a, const Set& b) {
  Set out(a);
  out.insert(out.end(), b.begin(), b.end());
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::optional<Set> product(const Set& a, const Set& b) {
  if (a.size() * b.size() > kMaxSetSize) return std::nullopt;
  Set out;
  for (const std::string& x : a)
    for (const std::string& y : b) out.push_back(x + y);
  return unite(out, {});
}

// Of two sound factor sets the one that rejects more: the longer shortest
// literal, then fewer literals.
const Set& better(const Set& a, const Set& b) {
  auto shortest = [](const Set& s) {
    std::size_t n = kCountCap;
    for (const std::string& x : s) n = std::min(n, x.size());
    return saysNothing(s) ? 0 : n;
  };
  const std::size_t la = shortest(a), lb = shortest(b);
  if (la != lb) return la > lb ? a : b;
  return a.size() <= b.size() ? a : b;
}

std::size_t saturatingAdd(std::size_t a, std::size_t b) { return std::min(kCountCap, a + b); }
std::size_t saturatingMultiply(std::size_t a, std::size_t b) {
  return a != 0 && b > kCountCap / a ? kCountCap : std::min(kCountCap, a * b);
}

// What is known of the strings one part of a pattern matches: every match
// is in `exact` (when known), begins with a member of `prefix`, ends with a
// member of `suffix`, contains a member of `factor` and is at least
// `minLength` characters long.
struct Info {
  std::optional<Set> exact;
  Set prefix = kNothing, suffix = kNothing, factor = kNothing;
  std::size_t minLength = 0;
};

Info fromExact(const Set& exact, std::size_t minLength) {
  Info info;
  if (exact.size() <= kMaxSetSize) info.exact = exact;
  info.prefix = info.suffix = info.factor = normal(exact);
  info.minLength = minLength;
  return info;
}

Info literal(char folded) { return fromExact({std::string(1, folded)}, 1); }

Info anyCharacter() {
  Info info;
  info.minLength = 1;
  return info;
}

Info emptyString() { return fromExact({""}, 0); }

// A match of AB is a match of A followed by one of B.
Info concatenate(const Info& a, const Info& b) {
  Info out;
  out.minLength = saturatingAdd(a.minLength, b.minLength);
  if (a.exact && b.exact) {
    if (auto whole = product(*a.exact, *b.exact)) out = fromExact(*whole, out.minLength);
  }
  if (!out.exact) {
    std::optional<Set> p = a.exact ? product(*a.exact, b.prefix) : std::nullopt;
    out.prefix = p ? normal(*p) : a.prefix;
    std::optional<Set> s = b.exact ? product(a.suffix, *b.exact) : std::nullopt;
    out.suffix = s ? normal(*s) : b.suffix;
  }
  // Where A's end meets B's start lies one of A's suffixes followed by one
  // of B's prefixes.
  const std::optional<Set> across = product(a.suffix, b.prefix);
  const Set joined = across ? normal(*across) : kNothing;
  out.factor = better(out.factor, better(better(a.factor, b.factor), joined));
  return out;
}

Info alternate(const Info& a, const Info& b) {
  Info out;
  out.minLength = std::min(a.minLength, b.minLength);
  if (a.exact && b.exact) {
    const Set both = unite(*a.exact, *b.exact);
    if (both.size() <= kMaxSetSize) out.exact = both;
  }
  out.prefix = normal(unite(a.prefix, b.prefix));
  out.suffix = normal(unite(a.suffix, b.suffix));
  out.factor = normal(unite(a.factor, b.factor));
  return out;
}

// A{low,high}: with at least one repetition a match begins with a match of
// A and ends with one; with none allowed nothing is required of it.
Info repeat(const Info& a, std::size_t low, std::size_t high) {
  if (low == 0) {
    if (high == 0) return emptyString();
    Info out;
    if (high == 1 && a.exact && a.exact->size() < kMaxSetSize) out.exact = unite(*a.exact, {""});
    return out;
  }
  Info out = a;
  if (!(low == 1 && high == 1)) out.exact.reset();
  out.minLength = saturatingMultiply(a.minLength, low);
  return out;
}

class PatternReader {
 public:
  PatternReader(const std::string& pattern, const CaseFold& fold) : p_(pattern), fold_(fold) {}

  std::optional<Info> read() {
    Info info = disjunction(0);
    if (!ok_ || i_ != p_.size()) return std::nullopt;
    return info;
  }

 private:
  bool atEnd() const { return i_ >= p_.size(); }
  char peek() const { return p_[i_]; }
  Info fail() {
    ok_ = false;
    return Info{};
  }

  Info disjunction(int depth) {
    if (depth > kMaxDepth) return fail();
    Info info = alternative(depth);
    while (ok_ && !atEnd() && peek() == '|') {
      ++i_;
      info = alternate(info, alternative(depth));
    }
    return info;
  }

  Info alternative(int depth) {
    Info info = emptyString();
    while (ok_ && !atEnd() && peek() != '|' && peek() != ')') {
      // A run of plain characters is one literal: reading it in one step
      // instead of a concatenation per character keeps building the table
      // cheap (init builds it).
      std::string run = literalRun();
      info = concatenate(info, run.empty() ? term(depth) : fromExact({run}, run.size()));
    }
    return info;
  }

  // The plain characters at the cursor that no quantifier follows, folded.
  std::string literalRun() {
    std::string run;
    for (;;) {
      std::size_t width = 0;
      char c = 0;
      if (i_ < p_.size() && !isOneOf(p_[i_], "\\^$[]{}*+?()|.") && p_[i_] >= ' ' && p_[i_] < 0x7f) {
        width = 1;
        c = p_[i_];
      } else if (i_ + 1 < p_.size() && p_[i_] == '\\' && isPunctuation(p_[i_ + 1])) {
        width = 2;
        c = p_[i_ + 1];
      }
      if (width == 0 || (i_ + width < p_.size() && isOneOf(p_[i_ + width], "*+?{"))) return run;
      run.push_back(fold_(c));
      i_ += width;
    }
  }

  static bool isPunctuation(char e) {
    const bool alphanumeric = (e >= '0' && e <= '9') || (e >= 'a' && e <= 'z') || (e >= 'A' && e <= 'Z');
    return e > ' ' && e < 0x7f && !alphanumeric;
  }

  Info term(int depth) {
    Info info = atom(depth);
    if (!ok_ || atEnd() || !isOneOf(peek(), "*+?{")) return info;
    std::size_t low = 0, high = 0;
    if (!quantifier(low, high)) return fail();
    if (!atEnd() && peek() == '?') ++i_;  // lazy: the same strings match
    if (!atEnd() && isOneOf(peek(), "*+?{")) return fail();
    return repeat(info, low, high);
  }

  // The quantifier at the cursor: its bounds (high == kCountCap: no bound).
  bool quantifier(std::size_t& low, std::size_t& high) {
    const char c = p_[i_++];
    if (c != '{') {
      low = c == '+' ? 1 : 0;
      high = c == '?' ? 1 : kCountCap;
      return true;
    }
    if (!number(low)) return false;
    high = low;
    if (!atEnd() && peek() == ',') {
      ++i_;
      high = kCountCap;
      if (!atEnd() && peek() != '}' && !number(high)) return false;
    }
    if (atEnd() || peek() != '}' || high < low) return false;
    ++i_;
    return true;
  }

  bool number(std::size_t& value) {
    const std::size_t start = i_;
    value = 0;
    while (!atEnd() && peek() >= '0' && peek() <= '9') value = std::min(kCountCap, value * 10 + (p_[i_++] - '0'));
    return i_ > start;
  }

  Info atom(int depth) {
    const char c = p_[i_++];
    if (c == '(') {
      if (!atEnd() && peek() == '?') {
        // Only the plain non-capturing group; lookaheads constrain the
        // subject in ways a literal does not describe.
        if (i_ + 1 >= p_.size() || p_[i_ + 1] != ':') return fail();
        i_ += 2;
      }
      Info inner = disjunction(depth + 1);
      if (!ok_ || atEnd() || peek() != ')') return fail();
      ++i_;
      return inner;
    }
    if (c == '.') return anyCharacter();
    if (c == '\\') {
      if (atEnd()) return fail();
      const char e = p_[i_++];
      if (isOneOf(e, "dDsSwW")) return anyCharacter();
      // Escaped punctuation is the character itself; escaped letters and
      // digits are classes, controls, code points or back-references.
      return isPunctuation(e) ? literal(fold_(e)) : fail();
    }
    if (c < ' ' || c >= 0x7f || isOneOf(c, "^$[]{}*+?)|")) return fail();
    return literal(fold_(c));
  }

  const std::string& p_;
  const CaseFold& fold_;
  std::size_t i_ = 0;
  bool ok_ = true;
};

std::vector<std::string> listed(const Set& s) { return saysNothing(s) ? std::vector<std::string>{} : s; }

}  // namespace

SubjectCondition deriveCondition(const std::string& pattern, const CaseFold& fold) {
  SubjectCondition condition;
  const std::optional<Info> info = PatternReader(pattern, fold).read();
  if (!info) return condition;
  condition.minLength = info->minLength;
  condition.prefixes = listed(info->prefix);
  condition.suffixes = listed(info->suffix);
  condition.factors = listed(info->factor);
  return condition;
}

}  // namespace kpl
