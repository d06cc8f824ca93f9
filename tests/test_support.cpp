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

std::string scanJson(const std::string& path) {
  unsigned int status = 0;
  const char* json = nullptr;
  if (::scan(path.c_str(), &status, &json) != 0 || json == nullptr) return "scan failed";
  std::string copy = json;
  ::freeString(&json);
  return copy;
}

std::string jsonMember(const std::string& json, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  std::size_t at = json.find(key);
  if (at == std::string::npos) return std::string();
  at += key.size();
  if (at < json.size() && json[at] == '"') {
    ++at;
    std::size_t end = at;
    while (end < json.size() && json[end] != '"') end += json[end] == '\\' ? 2 : 1;
    return json.substr(at, end - at);
  }
  return json.substr(at, json.find_first_of(",}", at) - at);
}

std::string scanAnswer(const std::string& path) {
  const std::string json = scanJson(path);
  return jsonMember(json, "typeID") + (jsonMember(json, "encrypted") == "true" ? " encrypted" : "");
}

std::string randomBytes(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return s;
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
