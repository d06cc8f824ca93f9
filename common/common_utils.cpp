#include "common/common_utils.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace kpl {

std::string currentDir;

long CommonUtils::searchInBinary(const unsigned char* haystack, std::size_t haystackLength,
                                 const unsigned char* needle, std::size_t needleLength) {
  if (haystack == nullptr || needle == nullptr || needleLength == 0 || needleLength > haystackLength) return -1;
  // memmem finds the same first occurrence as a left-to-right comparison
  // that restarts one byte after a failed partial match.
  const void* hit = ::memmem(haystack, haystackLength, needle, needleLength);
  return hit == nullptr ? -1 : static_cast<long>(static_cast<const unsigned char*>(hit) - haystack);
}

std::string CommonUtils::getCurrentDir() {
  char buffer[4096];
  if (::getcwd(buffer, sizeof(buffer)) == nullptr) return std::string();
  std::string dir(buffer);
  if (dir.empty()) return dir;
  if (dir.back() != '/' && dir.back() != '\\') dir.push_back('/');
  return dir;
}

void CommonUtils::replaceSpaceInPath(std::string& path) {
  std::string quoted;
  quoted.reserve(path.size() + 8);
  for (std::size_t i = 0; i < path.size();) {
    if (std::isspace(static_cast<unsigned char>(path[i]))) {
      std::size_t end = i;
      while (end < path.size() && std::isspace(static_cast<unsigned char>(path[end]))) ++end;
      quoted.push_back('"');
      quoted.append(path, i, end - i);
      quoted.push_back('"');
      i = end;
    } else {
      quoted.push_back(path[i++]);
    }
  }
  std::string escaped;
  escaped.reserve(quoted.size() + 8);
  for (char c : quoted) {
    if (std::strchr("()[]{}", c) != nullptr && c != '\0') escaped.push_back('\\');
    escaped.push_back(c);
  }
  path.swap(escaped);
}

std::istream& CommonUtils::safeGetline(std::istream& in, std::string& line, std::size_t maxLength) {
  using Traits = std::istream::traits_type;
  line.clear();
  // The sentry refuses a stream already failed or at its end and skips no
  // blanks; the buffer is then read directly, one character at a time.
  std::istream::sentry guard(in, true);
  if (!guard) return in;
  std::streambuf* buffer = in.rdbuf();
  for (;;) {
    const Traits::int_type c = buffer->sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) {
      if (line.empty()) in.setstate(std::ios::eofbit);
      return in;
    }
    const char ch = Traits::to_char_type(c);
    if (ch == '\n') return in;
    if (ch == '\r') {
      if (Traits::eq_int_type(buffer->sgetc(), Traits::to_int_type('\n'))) buffer->sbumpc();
      return in;
    }
    if (line.size() >= maxLength) {
      in.setstate(std::ios::failbit);
      return in;
    }
    line.push_back(ch);
  }
}

void CommonUtils::removeSpace(std::string& text) {
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
}

bool CommonUtils::contains(std::string_view text, std::string_view part) {
  return searchInBinary(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                        reinterpret_cast<const unsigned char*>(part.data()), part.size()) >= 0;
}

std::string CommonUtils::toLowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

namespace {

// Closes a descriptor on every path out of runProgram.
struct Fd {
  int fd = -1;
  ~Fd() { reset(); }
  void reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

void reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

int reapStatus(pid_t pid) {
  int status = 0;
  pid_t r;
  while ((r = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  if (r == pid && WIFEXITED(status)) return WEXITSTATUS(status);
  return -1;
}

}  // namespace

RunResult CommonUtils::runProgram(const std::vector<std::string>& argv, std::vector<char>& out,
                                  const RunLimits& limits) {
  RunResult result;
  if (argv.empty() || argv[0].empty()) return result;

  // Both ends close on exec: another thread spawning a program at the same
  // moment must not inherit our write end, or our read would never see EOF.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return result;
  Fd readEnd{fds[0]};
  Fd writeEnd{fds[1]};

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) return result;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return result;
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, 1);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, 2);
  // The host may block or ignore signals; the child starts clean.
  sigset_t noSignals;
  sigemptyset(&noSignals);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigmask(&attr, &noSignals);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0].c_str(), &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return result;
  result.started = true;
  writeEnd.reset();

  const auto deadline = std::chrono::steady_clock::now() + limits.timeout;
  std::size_t taken = 0;
  char chunk[65536];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      break;
    }
    pollfd p{readEnd.fd, POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) continue;  // re-checks the deadline
    ssize_t got = ::read(readEnd.fd, chunk, sizeof(chunk));
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      break;
    }
    if (got == 0) break;  // end of output
    std::size_t n = static_cast<std::size_t>(got);
    if (n > limits.maxOutputBytes - taken) {
      n = limits.maxOutputBytes - taken;
      result.truncated = true;
    }
    out.insert(out.end(), chunk, chunk + n);
    taken += n;
    if (result.truncated || taken == limits.maxOutputBytes) {
      result.truncated = true;
      break;
    }
  }
  if (result.truncated || result.timedOut) {
    ::kill(pid, SIGKILL);
    reap(pid);
  } else {
    result.exitStatus = reapStatus(pid);
  }
  return result;
}

std::string CommonUtils::executeCommandAndGetOutput(const std::vector<std::string>& argv) {
  std::vector<char> bytes;
  runProgram(argv, bytes);
  return std::string(bytes.begin(), bytes.end());
}

bool CommonUtils::executeCommandAndGetOutputChar(const std::vector<std::string>& argv, std::vector<char>& out) {
  return runProgram(argv, out).started;
}

std::string CommonUtils::getValueOf(const std::string& key, const std::string& json) {
  const std::size_t at = json.find("\"" + key + "\"");
  if (at == std::string::npos) return std::string();
  const std::size_t colon = json.find(':', at);
  if (colon == std::string::npos) return std::string();
  std::string value = json.substr(colon + 1);
  const std::size_t cut = value.find(",\"");
  if (cut != std::string::npos) value.erase(cut);
  if (value.find('"') != std::string::npos) value = value.size() >= 2 ? value.substr(1, value.size() - 2) : "";
  if (!value.empty() && value.back() == '}') value.pop_back();
  return value;
}

}  // namespace kpl
