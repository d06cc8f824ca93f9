// A long run as a busy host makes it: thousands of scans from eight threads
// over every fixture. Answers must stay those of one thread and parse as
// JSON; descriptors, registered strings and memory must come back.
#include <gtest/gtest.h>
#include <malloc.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

#include "engine/magic_pool.h"
#include "engine/string_store.h"
#include "kpl_engine.h"
#include "process_stats.h"
#include "test_support.h"

namespace kpl {
namespace {

constexpr int kThreads = 8;
constexpr std::size_t kDefaultScans = 10000;
// Sanitizer runtimes keep freed memory in quarantine and grow shadow
// memory, so memory is not measured there (LeakSanitizer checks at exit).
#ifdef KPL_SANITIZER_BUILD
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif
// Memory is read after the warm-up, half-way and at the end. The threads'
// arenas still settle by a few MiB in the first half, so only the second
// half counts: 1-2 MiB over 5,000 scans when nothing leaks, and a leak of
// 1 KiB per scan adds 5 MiB.
constexpr long kMemoryToleranceKiB = 4 * 1024;

bool isJsonObject(const std::string& text) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str(), text.size());
  return !doc.HasParseError() && doc.IsObject();
}

std::vector<std::string> everyFixture() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::fixturesDir()))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Runs `total` scans of files (round robin) on kThreads threads.
template <typename Check>
void scanFromThreads(const std::vector<std::string>& files, std::size_t total, Check check) {
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < kThreads; ++t)
    pool.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < total;) {
        const std::string& file = files[i % files.size()];
        check(file, test::scanJson(file));
      }
    });
  for (auto& th : pool) th.join();
}

TEST(Soak, EightThreadsKeepOneThreadsAnswersAndGiveEverythingBack) {
  // libmagic reads each file into a buffer of up to 7 MiB. With glibc's
  // sliding mapping threshold such buffers come from the threads' arenas,
  // and how much of them an arena keeps resident depends on which thread
  // met which large file last: several MiB of noise either way. Mapped
  // and unmapped every time, they leave resident only what is kept.
  if (kMeasureMemory) mallopt(M_MMAP_THRESHOLD, 1 << 20);
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  const std::vector<std::string> files = everyFixture();
  ASSERT_GT(files.size(), 100u);

  // One thread gives the expected answers. It walks every slot in turn, yet
  // one scan at a time needs one libmagic pair: the pool must not open
  // another, or a single-threaded host pays again for every pair's cache.
  std::map<std::string, std::string> expected;
  for (const std::string& file : files) {
    expected[file] = test::scanJson(file);
    EXPECT_TRUE(expected[file] == "scan failed" || isJsonObject(expected[file])) << file << ": " << expected[file];
  }
  EXPECT_EQ(magic_pool::pairCount(), 1u);

  std::atomic<int> mismatches{0}, invalid{0};
  auto check = [&](const std::string& file, const std::string& answer) {
    if (answer != expected.at(file)) ++mismatches;
    if (answer != "scan failed" && !isJsonObject(answer)) ++invalid;
  };
  scanFromThreads(files, 4 * files.size(), check);  // the threads' allocator arenas
  // Each libmagic pair the threads opened caches the patterns of the files
  // it met; which pair meets which file is chance. Every pair meets every
  // file once here, so that only growth beyond those caches counts.
  std::vector<MagicPair*> pairs;
  while (pairs.size() < magic_pool::pairCount()) pairs.push_back(magic_pool::acquire());
  for (MagicPair* pair : pairs)
    for (const std::string& file : files) {
      magic_file(pair->description, file.c_str());
      magic_file(pair->mime, file.c_str());
    }
  for (MagicPair* pair : pairs) magic_pool::release(pair);
  const int descriptorsBefore = test::openDescriptors();
  const std::size_t stringsBefore = registeredStringCount();
  const long memoryBefore = test::anonymousKiB();

  // The sanitizer builds shorten the run with KPL_SOAK_SCANS.
  const long asked = std::getenv("KPL_SOAK_SCANS") ? std::atol(std::getenv("KPL_SOAK_SCANS")) : 0;
  const std::size_t total = asked > 0 ? static_cast<std::size_t>(asked) : kDefaultScans;
  const auto start = std::chrono::steady_clock::now();
  scanFromThreads(files, total / 2, check);
  const long memoryHalfWay = test::anonymousKiB();
  scanFromThreads(files, total - total / 2, check);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long memoryAfter = test::anonymousKiB();
  const int descriptorsAfter = test::openDescriptors();

  std::printf("soak: %zu scans of %zu files on %d threads in %.1f s; anonymous memory %ld -> %ld -> %ld KiB "
              "(second half %+ld); descriptors %d -> %d\n",
              total, files.size(), kThreads, seconds, memoryBefore, memoryHalfWay, memoryAfter,
              memoryAfter - memoryHalfWay, descriptorsBefore, descriptorsAfter);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(invalid, 0);
  EXPECT_EQ(descriptorsAfter, descriptorsBefore);
  EXPECT_EQ(registeredStringCount(), stringsBefore);
  // A pair is taken only under a slot lock, and eight threads hold at most
  // eight slot locks.
  EXPECT_LE(magic_pool::pairCount(), static_cast<std::size_t>(kThreads));
  if (kMeasureMemory) {
    EXPECT_LE(memoryAfter - memoryHalfWay, kMemoryToleranceKiB);
  }
}

}  // namespace
}  // namespace kpl
