#include "tridlib/matcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tridlib {
namespace {

bool preadFully(int fd, uint8_t* dst, std::size_t n, uint64_t offset) {
  std::size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd, dst + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool equalAt(const std::vector<uint8_t>& data, std::size_t offset, const Clause& c) {
  if (offset > data.size() || c.bytes.size() > data.size() - offset) return false;
  for (std::size_t i = 0; i < c.bytes.size(); ++i)
    if (!c.wildcard[i] && data[offset + i] != c.bytes[i]) return false;
  return true;
}

// Whether pattern occurs within [from, from + window) of data.
bool found(const std::vector<uint8_t>& data, std::size_t from, std::size_t window, const std::vector<uint8_t>& pattern) {
  if (from > data.size()) return false;
  window = std::min(window, data.size() - from);
  if (window < pattern.size()) return false;
  return ::memmem(data.data() + from, window, pattern.data(), pattern.size()) != nullptr;
}

bool contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

bool isWordCharacter(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u >= 0x80;
}

// Whether word occurs in the first window characters of lowered text, not
// as part of a longer word: a word that starts (ends) with a letter or
// digit must not be preceded (followed) by one.
bool containsWord(const std::string& lowered, std::size_t window, const std::string& word) {
  const std::size_t end = std::min(window, lowered.size());
  const bool checkBefore = isWordCharacter(word.front());
  const bool checkAfter = isWordCharacter(word.back());
  if (end < word.size()) return false;
  const char* base = lowered.data();
  std::size_t from = 0;
  while (from < end && end - from >= word.size()) {
    const void* hit = ::memmem(base + from, end - from, word.data(), word.size());
    if (hit == nullptr) return false;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    const std::size_t after = at + word.size();
    const bool boundedBefore = !checkBefore || at == 0 || !isWordCharacter(base[at - 1]);
    const bool boundedAfter = !checkAfter || after >= lowered.size() || !isWordCharacter(base[after]);
    if (boundedBefore && boundedAfter) return true;
    from = at + 1;
  }
  return false;
}

// An element name as a definition gives it: exactly, or, for a name
// without a prefix, as the local part of a prefixed name.
bool sameElement(const std::string& written, const std::string& wanted) {
  if (written == wanted) return true;
  if (wanted.find(':') != std::string::npos) return false;
  const std::size_t colon = written.find(':');
  return colon != std::string::npos && written.compare(colon + 1, std::string::npos, wanted) == 0;
}

bool clauseHolds(const Clause& c, SampleView& view, unsigned& points) {
  const Sample& s = view.sample();
  switch (c.kind) {
    case ClauseKind::At:
      return equalAt(s.head, c.position, c);
    case ClauseKind::AtEnd:
      return c.position <= s.tail.size() && equalAt(s.tail, s.tail.size() - c.position, c);
    case ClauseKind::Find:
      return found(s.head, 0, c.position, c.bytes);
    case ClauseKind::FindNoCase:
      return found(view.loweredHead(), 0, c.position, c.bytes);
    case ClauseKind::FindEnd:
      return found(s.tail, s.tail.size() - std::min(c.position, s.tail.size()), c.position, c.bytes);
    case ClauseKind::Riff:
      return s.head.size() >= 12 && (std::memcmp(s.head.data(), "RIFF", 4) == 0 ||
                                     std::memcmp(s.head.data(), "RIFX", 4) == 0) && equalAt(s.head, 8, c);
    case ClauseKind::Brand:
      return view.iso().hasFileType && contains(c.texts, view.iso().majorBrand);
    case ClauseKind::Compatible: {
      const IsoMedia& m = view.iso();
      return m.hasFileType && (contains(c.texts, m.majorBrand) ||
                               std::any_of(m.brands.begin(), m.brands.end(),
                                           [&](const std::string& b) { return contains(c.texts, b); }));
    }
    case ClauseKind::Box:
      return contains(view.iso().topBoxes, c.texts[0]);
    case ClauseKind::Pe: {
      const PeImage& pe = view.pe();
      return pe.valid && (c.pe == PeKind::Any || (c.pe == PeKind::Dll) == pe.dll);
    }
    case ClauseKind::Ole: {
      const OleDirectory& dir = view.ole();
      return dir.valid && std::any_of(dir.entries.begin(), dir.entries.end(),
                                      [&](const OleDirectory::Entry& e) { return e.name == c.texts[0]; });
    }
    case ClauseKind::OleClsid: {
      const OleDirectory& dir = view.ole();
      return dir.valid && std::any_of(dir.entries.begin(), dir.entries.end(), [&](const OleDirectory::Entry& e) {
               return e.type == 5 && std::memcmp(e.clsid, c.bytes.data(), sizeof(e.clsid)) == 0;
             });
    }
    case ClauseKind::Text:
      return view.text().isText;
    case ClauseKind::Words: {
      const TextView& text = view.text();
      if (!text.isText) return false;
      std::size_t hits = 0;
      unsigned earned = 0;
      for (const std::string& word : c.texts) {
        if (!containsWord(text.lower, c.position, word)) continue;
        ++hits;
        earned += static_cast<unsigned>(word.size()) * c.points;
      }
      if (hits < c.minimum) return false;
      points += earned;
      return true;
    }
    case ClauseKind::Xml:
      return view.xml().declaration;
    case ClauseKind::XmlRoot:
      return view.xml().hasRoot && sameElement(view.xml().root, c.texts[0]);
    case ClauseKind::XmlNamespace:
      return view.xml().hasRoot && declaresNamespace(view.xml().rootTag, c.texts[0]);
    case ClauseKind::XmlPi: {
      const auto& list = view.xml().instructions;
      return std::any_of(list.begin(), list.end(), [&](const std::pair<std::string, std::string>& pi) {
        return pi.first == c.texts[0] && (c.texts.size() < 2 || pi.second.find(c.texts[1]) != std::string::npos);
      });
    }
  }
  return false;
}

}  // namespace

bool readSample(const std::string& path, Sample& sample) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0;
  if (ok) {
    sample.fileSize = static_cast<uint64_t>(st.st_size);
    std::size_t headLen = static_cast<std::size_t>(std::min<uint64_t>(sample.fileSize, kHeadWindow));
    std::size_t tailLen = static_cast<std::size_t>(std::min<uint64_t>(sample.fileSize, kTailWindow));
    sample.head.resize(headLen);
    ok = preadFully(fd, sample.head.data(), headLen, 0);
    if (ok && sample.fileSize <= kHeadWindow) {
      sample.tail.assign(sample.head.end() - static_cast<std::ptrdiff_t>(tailLen), sample.head.end());
    } else if (ok) {
      sample.tail.resize(tailLen);
      ok = preadFully(fd, sample.tail.data(), tailLen, sample.fileSize - tailLen);
    }
  }
  ::close(fd);
  return ok;
}

bool evaluate(const Definition& def, SampleView& view, unsigned& points) {
  unsigned earned = 0;
  for (const Clause& c : def.clauses)
    if (!clauseHolds(c, view, earned)) return false;
  points = def.points + earned;
  return true;
}

std::vector<Result> rank(const std::vector<Definition>& defs, const Sample& sample) {
  SampleView view(sample);
  std::vector<Result> results;
  const int first = sample.head.empty() ? -2 : sample.head[0];
  for (const Definition& def : defs) {
    unsigned points = 0;
    if (def.firstByte >= 0 && def.firstByte != first) continue;
    if (evaluate(def, view, points)) results.push_back(Result{&def, points});
  }
  std::stable_sort(results.begin(), results.end(),
                   [](const Result& a, const Result& b) { return a.points > b.points; });
  return results;
}

}  // namespace tridlib
