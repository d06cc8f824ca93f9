#include "tridlib/matcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

bool findNoCase(const uint8_t* hay, std::size_t hayLen, const std::vector<uint8_t>& lowered) {
  const std::size_t n = lowered.size();
  if (n > hayLen) return false;
  for (std::size_t i = 0; i + n <= hayLen; ++i) {
    std::size_t j = 0;
    while (j < n && std::tolower(hay[i + j]) == lowered[j]) ++j;
    if (j == n) return true;
  }
  return false;
}

bool clauseMatches(const Clause& c, const Sample& s) {
  switch (c.kind) {
    case ClauseKind::At:
      return equalAt(s.head, c.position, c);
    case ClauseKind::AtEnd:
      if (c.position > s.tail.size()) return false;
      return equalAt(s.tail, s.tail.size() - c.position, c);
    case ClauseKind::Find: {
      // An empty file has no head buffer at all; memmem must not see null.
      std::size_t window = std::min(c.position, s.head.size());
      if (c.bytes.size() > window) return false;
      return ::memmem(s.head.data(), window, c.bytes.data(), c.bytes.size()) != nullptr;
    }
    case ClauseKind::FindNoCase:
      return findNoCase(s.head.data(), std::min(c.position, s.head.size()), c.bytes);
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
    sample.tail.resize(tailLen);
    ok = preadFully(fd, sample.head.data(), headLen, 0) &&
         preadFully(fd, sample.tail.data(), tailLen, sample.fileSize - tailLen);
  }
  ::close(fd);
  return ok;
}

bool definitionMatches(const Definition& def, const Sample& sample) {
  for (const Clause& c : def.clauses)
    if (!clauseMatches(c, sample)) return false;
  return true;
}

std::vector<Result> rank(const std::vector<Definition>& defs, const Sample& sample) {
  std::vector<Result> results;
  for (const Definition& def : defs)
    if (definitionMatches(def, sample)) results.push_back(Result{&def, def.points});
  std::stable_sort(results.begin(), results.end(),
                   [](const Result& a, const Result& b) { return a.points > b.points; });
  return results;
}

}  // namespace tridlib
