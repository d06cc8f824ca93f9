#include "tools/scan_pool.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "tools/result_format.h"

namespace kpl::host {

namespace {

constexpr int kMaxJobs = 30;  // the engine serves at most 30 scans at once
constexpr std::size_t kOutputBlockBytes = 64 * 1024;
// When an answer arrives this long or longer after the last write, what was
// gathered is written even though the block is not full, so that a reader
// of a slow run sees answers soon.
constexpr auto kOutputDelay = std::chrono::milliseconds(50);
using Clock = std::chrono::steady_clock;

// The text after the last "." of the file's name, "" when there is none.
std::string extensionOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

Outcome scanOne(Engine& engine, bool byExtension, const std::string& path) {
  unsigned int status = 0;
  const char* json = nullptr;
  Outcome outcome;
  if (byExtension)
    outcome.rc = engine.kplFileType(path.c_str(), extensionOf(path).c_str(), &json);
  else
    outcome.rc = engine.scan(path.c_str(), &status, &json);
  if (json) outcome.json = engine.take(json);
  outcome.done = true;
  return outcome;
}

// Prints answers in list order. Lines are gathered and written in blocks of
// whole lines, so a job runner that concatenates workers' outputs, or a
// killed worker, never leaves half a line, and a fast run makes one write
// per block instead of one per file.
class Printer {
 public:
  Printer(const Options& options, std::size_t total)
      : options_(options), total_(total), progress_(::isatty(STDERR_FILENO) && total > 50) {
    pending_.reserve(kOutputBlockBytes + 4096);
    if (options.table) std::fputs(tableHeader().c_str(), stdout);
    std::fflush(stdout);
  }

  void add(std::size_t i, const std::string& path, const Outcome& outcome) {
    formatResult(pending_, options_.table, path, outcome);
    if (outcome.rc != 0) ++failed_;
    ++summary_[outcome.rc == 0 ? memberValue(outcome.json, "typeID") : "(failed)"];
    if (pending_.size() >= kOutputBlockBytes || Clock::now() - lastWrite_ >= kOutputDelay) write();
    if (progress_ && (i % 50 == 0 || i + 1 == total_)) {
      write();
      std::fprintf(stderr, "\r%zu/%zu files", i + 1, total_);
    }
  }
  void write() {
    writeLines(pending_);
    lastWrite_ = Clock::now();
  }

  int finish(int jobs) {
    write();
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    if (progress_) std::fprintf(stderr, "\r");
    printSummary(total_, seconds, jobs, failed_, summary_);
    return failed_ ? 1 : 0;
  }

 private:
  const Options& options_;
  const std::size_t total_;
  const bool progress_;
  const Clock::time_point start_ = Clock::now();
  Clock::time_point lastWrite_ = start_;
  std::string pending_;
  std::map<std::string, int> summary_;
  int failed_ = 0;
};

}  // namespace

int scanAll(Engine& engine, const Options& options, const std::vector<std::string>& files) {
  int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  jobs = std::min({jobs, kMaxJobs, std::max(1, static_cast<int>(files.size()))});

  // A person reading a table has named the files; a pipeline reading JSON
  // lines gets answers from the bytes alone unless it asks.
  const bool byExtension = options.extension == 1 || (options.extension == -1 && options.table);
  if (byExtension && engine.kplFileType == nullptr) {
    std::fprintf(stderr, "kpl-filetype: this engine has no kplFileType; use --content-only\n");
    return 2;
  }
  Printer printer(options, files.size());

  // The workers print too: whoever deposits the answer next in list order
  // prints it and every later one already there. No thread waits for
  // answers, and none is woken for each file.
  std::vector<Outcome> outcomes(files.size());
  std::size_t nextToPrint = 0;
  std::mutex mutex;
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (int j = 0; j < jobs; ++j)
    workers.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
        Outcome outcome = scanOne(engine, byExtension, files[i]);
        std::lock_guard<std::mutex> lock(mutex);
        outcomes[i] = std::move(outcome);
        for (; nextToPrint < files.size() && outcomes[nextToPrint].done; ++nextToPrint) {
          printer.add(nextToPrint, files[nextToPrint], outcomes[nextToPrint]);
          outcomes[nextToPrint].json = std::string();  // printed: its memory goes back
        }
      }
    });
  for (auto& w : workers) w.join();
  return printer.finish(jobs);
}

}  // namespace kpl::host
