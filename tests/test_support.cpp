#include "test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "kpl_engine.h"

namespace kpl::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kpl_test.XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  std::string path = path_ + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
  return path;
}

std::string TempDir::write(const std::string& name, const std::vector<uint8_t>& content) const {
  return write(name, std::string(content.begin(), content.end()));
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

int ensureEngineStarted() {
  static std::once_flag once;
  static int status = 1;
  std::call_once(once, [] {
    if (::chdir(homeDir().c_str()) == 0) status = ::init();
  });
  return status;
}

}  // namespace kpl::test
