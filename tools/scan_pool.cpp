#include "tools/scan_pool.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "tools/result_format.h"

namespace kpl::host {

namespace {

constexpr int kMaxJobs = 30;  // the engine serves at most 30 scans at once
constexpr std::size_t kOutputBlockBytes = 64 * 1024;

// The text after the last "." of the file's name, "" when there is none.
std::string extensionOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

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
  std::vector<Outcome> outcomes(files.size());
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (int j = 0; j < jobs; ++j)
    workers.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
        unsigned int status = 0;
        const char* json = nullptr;
        Outcome outcome;
        if (byExtension)
          outcome.rc = engine.kplFileType(files[i].c_str(), extensionOf(files[i]).c_str(), &json);
        else
          outcome.rc = engine.scan(files[i].c_str(), &status, &json);
        if (json) outcome.json = engine.take(json);
        outcome.done = true;
        std::lock_guard<std::mutex> lock(mutex);
        outcomes[i] = std::move(outcome);
        ready.notify_one();
      }
    });

  if (options.table) std::fputs(tableHeader().c_str(), stdout);
  std::fflush(stdout);
  const bool progress = ::isatty(STDERR_FILENO) && files.size() > 50;
  const auto start = std::chrono::steady_clock::now();
  std::map<std::string, int> summary;
  int failed = 0;
  // Results are printed in the order of the file list. Lines are gathered
  // and written in blocks of whole lines, so a job runner that concatenates
  // workers' outputs, or a killed worker, never leaves half a line; whatever
  // is gathered is written before waiting for a result that is not ready,
  // so a reader of a slow scan sees each answer as soon as it is known.
  std::string pending;
  pending.reserve(kOutputBlockBytes + 4096);
  for (std::size_t i = 0; i < files.size(); ++i) {
    Outcome outcome;
    {
      std::unique_lock<std::mutex> lock(mutex);
      if (!outcomes[i].done && !pending.empty()) {
        lock.unlock();
        writeLines(pending);
        lock.lock();
      }
      ready.wait(lock, [&] { return outcomes[i].done; });
      outcome = std::move(outcomes[i]);
    }
    formatResult(pending, options.table, files[i], outcome);
    if (pending.size() >= kOutputBlockBytes) writeLines(pending);
    if (outcome.rc != 0) ++failed;
    ++summary[outcome.rc == 0 ? memberValue(outcome.json, "typeID") : "(failed)"];
    if (progress && (i % 50 == 0 || i + 1 == files.size())) {
      writeLines(pending);
      std::fprintf(stderr, "\r%zu/%zu files", i + 1, files.size());
    }
  }
  writeLines(pending);
  for (auto& w : workers) w.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (progress) std::fprintf(stderr, "\r");
  printSummary(files.size(), seconds, jobs, failed, summary);
  return failed ? 1 : 0;
}

}  // namespace kpl::host
