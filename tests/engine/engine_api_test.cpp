// The exported lifecycle, slot, string hand-over and conversion functions.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstring>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "catalogue/file_type_groups.h"
#include "detect/extension_rules.h"
#include "engine/engine_state.h"
#include "kpl_engine.h"
#include "process_stats.h"
#include "test_support.h"
#include "test_support_process.h"

namespace {

using kpl::test::runInChild;
using kpl::test::TempDir;

TEST(EngineLifecycle, SlotsStayInRangeUnderRacingThreads) {
  constexpr int kThreads = 16, kCalls = 3000;
  std::vector<std::atomic<int>> counts(30);
  std::atomic<bool> outOfRange{false}, done{false};
  // getLastError reads the counter without a lock; it must never see 30.
  std::thread watcher([&] {
    while (!done) {
      const int v = kpl::CURRENT_THREAD_INDEX.load();
      if (v < 0 || v >= 30) outOfRange = true;
    }
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kCalls; ++i) {
        const int s = getThreadIndex();
        if (s < 0 || s >= 30) outOfRange = true;
        else ++counts[s];
      }
    });
  for (auto& th : threads) th.join();
  done = true;
  watcher.join();
  EXPECT_FALSE(outOfRange);
  // A fair round robin: every slot was handed out equally often.
  for (int s = 0; s < 30; ++s) EXPECT_EQ(counts[s], kThreads * kCalls / 30) << "slot " << s;
}

TEST(StringStore, HandOverByPointerIdentity) {
  // Before init no slot has a handle: the fallback error text is registered.
  const char* message = nullptr;
  EXPECT_EQ(getLastError(&message), 0);
  ASSERT_STREQ(message, "Unknown error");
  EXPECT_EQ(freeString(&message), 0);
  EXPECT_EQ(message, nullptr);

  EXPECT_EQ(addString(nullptr), nullptr);
  EXPECT_EQ(freeString(&message), 0);
  EXPECT_EQ(freeString(nullptr), 0);

  const char* first = addString("same");
  const char* second = addString("same");
  ASSERT_NE(first, second);
  const char* keep = second;
  EXPECT_EQ(freeString(&first), 0);
  EXPECT_EQ(first, nullptr);
  EXPECT_STREQ(keep, "same");  // the other copy is untouched

  char foreign[] = "same";
  const char* foreignPtr = foreign;
  EXPECT_EQ(freeString(&foreignPtr), 0);
  EXPECT_EQ(foreignPtr, foreign);  // not ours: left alone

  const char* again = keep;
  freeString(&second);
  EXPECT_EQ(freeString(&again), 0);  // a double free finds nothing
  EXPECT_EQ(again, keep);
}

TEST(StringStore, ScanStringKeys) {
  int key = 42;
  EXPECT_EQ(addScanString(nullptr, &key), nullptr);
  EXPECT_EQ(key, 0);
  const char* text = nullptr;
  EXPECT_EQ(getLastScanError(12345, &text), 0);
  EXPECT_EQ(text, nullptr);

  std::set<int> keys;
  for (int i = 0; i < 2000; ++i) {
    int k = 0;
    const char* stored = addScanString("error text", &k);
    ASSERT_NE(stored, nullptr);
    EXPECT_GE(k, 2);
    keys.insert(k);
  }
  EXPECT_EQ(keys.size(), 2000u);  // unique while alive
  int probe = *keys.begin();
  EXPECT_EQ(getLastScanError(probe, &text), 0);
  EXPECT_STREQ(text, "error text");
  for (int k : keys) freeScanString(k);
  EXPECT_EQ(getLastScanError(probe, &text), 0);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(freeScanString(probe), 0);  // unknown key: nothing happens
}

TEST(StringStore, ManyThreadsAddAndFree) {
  constexpr int kThreads = 16, kRounds = 2000;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      std::string mine = "thread " + std::to_string(t);
      for (int i = 0; i < kRounds; ++i) {
        const char* s = addString(mine.c_str());
        int key = 0;
        const char* scan = addScanString(mine.c_str(), &key);
        if (std::strcmp(s, mine.c_str()) != 0 || std::strcmp(scan, mine.c_str()) != 0) ++wrong;
        const char* copy = s;
        freeString(&s);
        freeString(&copy);  // second free of the same pointer: no effect
        if (s != nullptr || copy == nullptr) ++wrong;
        freeScanString(key);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, 0);
}

TEST(EngineConversions, WideAndNarrowRoundTrip) {
  const auto narrow = [](const wchar_t* w) {
    char* c = getCharConst(w);
    const std::string s = c ? c : "<null>";
    delete[] c;
    return s;
  };
  EXPECT_EQ(narrow(nullptr), "<null>");
  EXPECT_EQ(narrow(L""), "<null>");  // nothing converted
  EXPECT_EQ(narrow(L"report.docx"), "report.docx");
  EXPECT_EQ(getWCharConst(nullptr), nullptr);
  wchar_t* wide = getWCharConst("report.docx");
  EXPECT_EQ(std::wstring(wide ? wide : L"<null>"), L"report.docx");
  delete[] wide;
  // A multi-byte locale needs more than wide length + 4 bytes.
  if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr) {
    EXPECT_EQ(narrow(L"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9").size(), 16u);
    std::setlocale(LC_CTYPE, "C");
  }
  EXPECT_EQ(getTimeSinceEpochInMs(1970, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(getTimeSinceEpochInMs(2000, 3, 1, 12, 30, 15), 951913815000);
}

// The buffer is followed by a guard that must stay untouched: the host's
// destinationSize, not its count, bounds what is written.
template <typename Unit>
struct GuardedBuffer {
  Unit data[4];
  Unit guard[4];
  GuardedBuffer() { std::fill(std::begin(data), std::end(guard), Unit('#')); }
  bool guardIntact() const { return std::all_of(std::begin(guard), std::end(guard), [](Unit u) { return u == Unit('#'); }); }
};

TEST(EngineConversions, BoundedByTheDestinationAndSafeOnNull) {
  size_t n = 99;
  GuardedBuffer<char> narrow;
  EXPECT_EQ(wcstombs_s(&n, narrow.data, 4, L"a long text", 100), 0);
  EXPECT_EQ(n, 3u);
  EXPECT_STREQ(narrow.data, "a l");
  EXPECT_TRUE(narrow.guardIntact());
  GuardedBuffer<wchar_t> wide;
  EXPECT_EQ(mbstowcs_s(&n, wide.data, 4, "a long text", 100), 0);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::wcscmp(wide.data, L"a l"), 0);
  EXPECT_TRUE(wide.guardIntact());
  // count still limits; a null destination of size 0 asks for the length.
  EXPECT_EQ(wcstombs_s(&n, narrow.data, 4, L"abc", 2), 0);
  EXPECT_STREQ(narrow.data, "ab");
  EXPECT_EQ(wcstombs_s(&n, nullptr, 0, L"abcdef", 0), 0);
  EXPECT_EQ(n, 6u);
  EXPECT_EQ(mbstowcs_s(&n, nullptr, 0, "abcdef", 0), 0);
  EXPECT_EQ(n, 6u);

  const struct {
    bool withConverted;
    bool withDestination;
    size_t size;
    bool withSource;
  } kRefused[] = {{false, true, 4, true}, {true, true, 4, false}, {true, false, 4, true}, {true, true, 0, true}};
  for (const auto& c : kRefused) {
    n = 99;
    GuardedBuffer<char> out;
    GuardedBuffer<wchar_t> wout;
    EXPECT_EQ(wcstombs_s(c.withConverted ? &n : nullptr, c.withDestination ? out.data : nullptr, c.size,
                         c.withSource ? L"text" : nullptr, 4),
              22);
    EXPECT_EQ(n, c.withConverted ? 0u : 99u);
    n = 99;
    EXPECT_EQ(mbstowcs_s(c.withConverted ? &n : nullptr, c.withDestination ? wout.data : nullptr, c.size,
                         c.withSource ? "text" : nullptr, 4),
              22);
    EXPECT_EQ(n, c.withConverted ? 0u : 99u);
    EXPECT_TRUE(out.guardIntact() && wout.guardIntact());
  }
}

// deinit then init, or init twice, must answer exactly as the first start:
// the tables are rebuilt from empty, the handles not opened a second time.
TEST(EngineLifecycle, InitAgainGivesTheFirstStartsAnswers) {
  ASSERT_EQ(kpl::test::ensureEngineStarted(), 0);
  const std::string gif = kpl::test::fixturesDir() + "/tridlib/image.gif";
  const std::string answer = kpl::test::scanJson(gif);
  ASSERT_NE(answer.find("\"groupIDs\":[\"G\"]"), std::string::npos) << answer;
  const char* groups = nullptr;
  getFileTypeGroup(&groups);
  const std::string groupsJson = groups;
  freeString(&groups);
  const auto tableSizes = [] {
    return std::vector<std::size_t>{kpl::listAlterExtensions.size(), kpl::listTypeIdwithNoExtensions.size(),
                                    kpl::listTypeIdAlterByExtension.size(), kpl::map_TypeToGroupId.at("PDF").size()};
  };
  const std::vector<std::size_t> sizes = tableSizes();
  const int descriptors = kpl::test::openDescriptors();
  const kpl::MagicPair* firstPair = kpl::magic_pool::firstPair();
  const std::size_t pairs = kpl::magic_pool::pairCount();

  EXPECT_EQ(init(), 0);  // running already: nothing is opened again
  EXPECT_EQ(kpl::magic_pool::firstPair(), firstPair);
  EXPECT_EQ(kpl::magic_pool::pairCount(), pairs);
  for (int cycle = 0; cycle < 3; ++cycle) {
    EXPECT_EQ(deinit(), 0);
    EXPECT_EQ(kpl::test::scanJson(gif), "scan failed");  // no slots between deinit and init
    ASSERT_EQ(init(), 0);
    EXPECT_EQ(kpl::test::scanJson(gif), answer);
    EXPECT_EQ(tableSizes(), sizes);
    EXPECT_EQ(kpl::test::openDescriptors(), descriptors);
  }
  getFileTypeGroup(&groups);
  EXPECT_EQ(groups, groupsJson);
  freeString(&groups);
}

TEST(EngineLifecycle, InitNeedsTheMagicDatabaseAndTheSignatureLibrary) {
  const std::string real = kpl::test::homeDir();
  const char* const kHome[] = {"database/magic/magic.mgc", "libTrIDLib.so", "database/trid/images.trd",
                               "database/trid/documents.trd", "7za"};
  for (const std::string left : {"", "database/magic/magic.mgc", "libTrIDLib.so"}) {
    TempDir home;
    for (const char* f : kHome)
      if (f != left) home.write(f, kpl::test::readFile(real + "/" + f));
    EXPECT_EQ(runInChild([&] { return ::chdir(home.path().c_str()) != 0 ? 2 : init(); }), left.empty() ? 0 : 1)
        << "without " << left;
  }
}

// Private copies of the signature library, as the dynamic loader shows them.
std::set<std::string> mappedCopies() {
  std::ifstream maps("/proc/self/maps");
  std::set<std::string> copies;
  for (std::string line; std::getline(maps, line);) {
    const auto slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string path = line.substr(slash);
    if (path.compare(path.rfind('/') + 1, 4, "lib.") == 0 || path.rfind("/memfd:lib.", 0) == 0) copies.insert(path);
  }
  return copies;
}

// A host's own load of the library: before init it has no groups and no
// answers; init maps one private copy of the signature library per slot,
// writes none into the home, and the copies go with the library.
TEST(EngineLifecycle, LoadedLibraryBeforeInitAndItsPrivateCopies) {
  const std::string engine = kpl::test::homeDir() + "/kpl_engine.so";
  int rc = runInChild([&] {
    void* lib = ::chdir(kpl::test::homeDir().c_str()) == 0 ? ::dlopen(engine.c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (!lib) return 10;
#define KPL_RESOLVE(fn) const auto fn##Fn = reinterpret_cast<decltype(&::fn)>(::dlsym(lib, #fn))
    KPL_RESOLVE(getFileTypeGroup);
    KPL_RESOLVE(scan);
    KPL_RESOLVE(init);
    KPL_RESOLVE(deinit);
#undef KPL_RESOLVE
    if (!getFileTypeGroupFn || !scanFn || !initFn || !deinitFn) return 11;
    const char* json = nullptr;
    if (getFileTypeGroupFn(&json) != 0 || json == nullptr || std::string(json) != "{}") return 12;
    unsigned int status = 0;
    const char* answer = "untouched";
    if (scanFn(engine.c_str(), &status, &answer) != 1 || answer != nullptr) return 13;

    if (initFn() != 0) return 14;
    const std::set<std::string> copies = mappedCopies();
    if (copies.size() != 30) return 15;
    for (int i = 0; i < 30; ++i)
      if (kpl::test::fileExists("lib." + std::to_string(i))) return 16;
    deinitFn();
    if (::dlclose(lib) != 0) return 17;
    if (!mappedCopies().empty()) return 18;
    for (const std::string& c : copies)
      if (c.rfind("/memfd:", 0) != 0 && kpl::test::fileExists(c)) return 19;
    return 0;
  });
  EXPECT_EQ(rc, 0);
}

TEST(EngineLifecycle, TwoProcessesStartInOneHomeAtOnce) {
  for (int round = 0; round < 3; ++round) {
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
      pid_t pid = ::fork();
      if (pid == 0) {
        if (::chdir(kpl::test::homeDir().c_str()) != 0) ::_exit(2);
        int rc = init();
        // Use every slot's instance: a clash of mapped copies would crash.
        for (int i = 0; rc == 0 && i < kpl::kSlotCount; ++i) {
          char path[] = "database/trid/images.trd";
          if (!kpl::trd[i].SubmitFileA(path) || !kpl::trd[i].Analyze()) rc = 3;
        }
        ::_exit(rc);
      }
      children.push_back(pid);
    }
    for (pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
  }
}

}  // namespace
