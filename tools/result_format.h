// What a run prints per file: JSON lines, or a table for a person, and the
// summary on standard error.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace kpl::host {

// One file's answer from the engine.
struct Outcome {
  bool done = false;
  int rc = 0;
  std::string json;  // the engine's answer when rc == 0
};

// Appends the file's line: its JSON object (or table row) to out.
void formatResult(std::string& out, bool table, const std::string& path, const Outcome& outcome);
// The table's heading line.
std::string tableHeader();
// Writes whole lines to standard output in one block and empties lines.
void writeLines(std::string& lines);
// The run's summary: file count, time, threads, failures, count per type.
void printSummary(std::size_t files, double seconds, int jobs, int failed,
                  const std::map<std::string, int>& perType);

// The value of a top-level member of the engine's answer: a string, or the
// text of a literal ("true", "false"); "" when absent or unreadable.
std::string memberValue(const std::string& json, const std::string& name);

// Text made safe for a terminal (result_format.cpp says how).
std::string displayText(const std::string& text);

}  // namespace kpl::host
