// Shared helpers of the test suites.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kpl::test {

// The engine home the build assembled (also every test's working directory).
inline std::string homeDir() { return KPL_TEST_HOME; }
inline std::string fixturesDir() { return KPL_TEST_FIXTURES; }

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // Writes a file below the directory and returns its path.
  std::string write(const std::string& name, const std::string& content) const;
  std::string write(const std::string& name, const std::vector<uint8_t>& content) const;

 private:
  std::string path_;
};

// v as `bytes` bytes, least or most significant first.
inline std::string le(uint64_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}
inline std::string be(uint64_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
  return s;
}

bool fileExists(const std::string& path);
std::string readFile(const std::string& path);

// Scans a path through the exported scan; "scan failed" where it returns 1.
std::string scanJson(const std::string& path);
// The value of a string or literal member of a result JSON ("" if absent).
std::string jsonMember(const std::string& json, const std::string& name);
// scan's "typeID", with " encrypted" appended where the answer says so.
std::string scanAnswer(const std::string& path);
// Bytes no format claims, the same for the same seed.
std::string randomBytes(std::size_t n, unsigned seed);

// Starts the engine once per process in the engine home (ASSERTs inside
// the caller are not possible here; returns init's status).
int ensureEngineStarted();

}  // namespace kpl::test
