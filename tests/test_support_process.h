// Runs test code in a child process, for what must not touch this process:
// loading and unloading kpl_engine.so, or starting an engine in another
// working directory.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kpl::test {

// The child's exit status (body's return value), or -1 if it died.
inline int runInChild(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int rc = 1;
    try {
      rc = body();
    } catch (...) {
    }
    ::_exit(rc);
  }
  if (pid < 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace kpl::test
