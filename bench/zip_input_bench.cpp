// Cost of one scan on hostile and large ZIP layouts beside plain data of the
// same size: every member-name look-up of the chain is answered from one
// directory index per scan, and the search for a missing end record walks
// local headers through the input's read-ahead window.
//
//   zip_input_bench [--home DIR]
//
// Builds in a temporary folder: a 5 KB unrecognised file; ZIPs with 20,000
// and 1,000,000 stored empty members (the second's 16-bit entry count wraps,
// as writers without ZIP64 leave it); 2^20 empty local headers with no end
// record; and random data of each of those sizes. Prints the best of five
// scans of each.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "kpl_engine.h"

namespace fs = std::filesystem;

namespace {

void put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void put32(std::string& out, uint32_t v) {
  put16(out, static_cast<uint16_t>(v & 0xFFFF));
  put16(out, static_cast<uint16_t>(v >> 16));
}

// A stored, empty member's local header (with its name) and central header.
std::string zipWithEntries(uint32_t count, bool withDirectory) {
  std::string local, central;
  for (uint32_t i = 0; i < count; ++i) {
    char name[16];
    const int len = std::snprintf(name, sizeof name, "f%07u", i);
    const uint32_t offset = static_cast<uint32_t>(local.size());
    put32(local, 0x04034B50);
    put16(local, 10), put16(local, 0), put16(local, 0), put16(local, 0), put16(local, 0);
    put32(local, 0), put32(local, 0), put32(local, 0);
    put16(local, static_cast<uint16_t>(len)), put16(local, 0);
    local.append(name, static_cast<std::size_t>(len));
    if (!withDirectory) continue;
    put32(central, 0x02014B50);
    put16(central, 20), put16(central, 10), put16(central, 0), put16(central, 0), put16(central, 0),
        put16(central, 0);
    put32(central, 0), put32(central, 0), put32(central, 0);
    put16(central, static_cast<uint16_t>(len)), put16(central, 0), put16(central, 0), put16(central, 0),
        put16(central, 0);
    put32(central, 0), put32(central, offset);
    central.append(name, static_cast<std::size_t>(len));
  }
  if (!withDirectory) return local;
  std::string end;
  put32(end, 0x06054B50);
  put16(end, 0), put16(end, 0);
  put16(end, static_cast<uint16_t>(count)), put16(end, static_cast<uint16_t>(count));
  put32(end, static_cast<uint32_t>(central.size())), put32(end, static_cast<uint32_t>(local.size()));
  put16(end, 0);
  return local + central + end;
}

std::string randomBytes(std::size_t n) {
  std::mt19937 rng(7);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::string home = "build/home";
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--home") home = argv[++i];
  home = fs::absolute(home).string();
  const fs::path dir = fs::temp_directory_path() / ("kpl-zip-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);

  struct Case {
    const char* name;
    std::string bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"unrecognised 5 KB", randomBytes(5000)});
  for (auto [label, count, directory] : {std::tuple{"zip 20,000 entries", 20000u, true},
                                         std::tuple{"zip 1,000,000 entries", 1000000u, true},
                                         std::tuple{"2^20 local headers, no end", 1u << 20, false}}) {
    std::string zip = zipWithEntries(count, directory);
    const std::size_t size = zip.size();
    cases.push_back({label, std::move(zip)});
    cases.push_back({"  random data, same size", randomBytes(size)});
  }
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    paths.push_back((dir / ("case" + std::to_string(i))).string());
    std::ofstream(paths.back(), std::ios::binary).write(cases[i].bytes.data(),
                                                        static_cast<std::streamsize>(cases[i].bytes.size()));
  }

  if (::chdir(home.c_str()) != 0) return 2;
  void* lib = ::dlopen("./kpl_engine.so", RTLD_NOW | RTLD_LOCAL);
  if (!lib) return 2;
  auto initFn = reinterpret_cast<decltype(&::init)>(::dlsym(lib, "init"));
  auto scanFn = reinterpret_cast<decltype(&::scan)>(::dlsym(lib, "scan"));
  auto freeFn = reinterpret_cast<decltype(&::freeString)>(::dlsym(lib, "freeString"));
  if (!initFn || !scanFn || !freeFn || initFn() != 0) return 2;

  std::printf("%-30s %12s %10s  %s\n", "input", "bytes", "scan ms", "answer");
  for (std::size_t i = 0; i < cases.size(); ++i) {
    double best = 1e9;
    std::string answer;
    for (int trial = 0; trial < 5; ++trial) {
      unsigned int status;
      const char* json = nullptr;
      auto start = std::chrono::steady_clock::now();
      scanFn(paths[i].c_str(), &status, &json);
      best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      answer = json ? std::string(json).substr(0, 40) : "(failed)";
      freeFn(&json);
    }
    std::printf("%-30s %12zu %10.2f  %s\n", cases[i].name, cases[i].bytes.size(), best, answer.c_str());
  }
  fs::remove_all(dir);
  return 0;
}
