#include "tools/file_lists.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/result_format.h"

namespace fs = std::filesystem;

namespace kpl::host {

// A list is the interface between a job runner and this worker, so it takes
// names exactly as find(1) writes them: one per line, or NUL-terminated
// (-print0), where a name may hold any byte but NUL, newlines included.
// Empty entries are skipped, and so is a CR before a newline (lists written
// on Windows). A last entry without a terminator still counts: a producer
// that stopped early leaves a short list, not a lost file.
bool readFileList(const std::string& source, bool nulSeparated, std::vector<std::string>& paths) {
  FILE* in = source == "-" ? stdin : std::fopen(source.c_str(), "rb");
  if (in == nullptr) return false;
  const int separator = nulSeparated ? '\0' : '\n';
  std::string entry;
  auto finish = [&] {
    if (!nulSeparated && !entry.empty() && entry.back() == '\r') entry.pop_back();
    if (!entry.empty()) paths.push_back(entry);
    entry.clear();
  };
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), in)) > 0) {
    for (std::size_t i = 0; i < n; ++i) {
      if (chunk[i] == separator)
        finish();
      else
        entry.push_back(chunk[i]);
    }
  }
  finish();
  const bool ok = !std::ferror(in);
  if (in != stdin) std::fclose(in);
  return ok;
}

// Folders are walked sorted, symbolic links to folders not followed, so a
// link loop cannot trap the walk; only regular files inside folders are
// taken.
std::vector<std::string> collectFiles(const Options& options, int& missing) {
  std::vector<std::string> files;
  for (const std::string& arg : options.paths) {
    std::error_code ec;
    fs::path path = fs::absolute(arg, ec);
    if (ec || !fs::exists(fs::symlink_status(path, ec))) {
      std::fprintf(stderr, "kpl-filetype: %s: no such file or folder\n", displayText(arg).c_str());
      ++missing;
      continue;
    }
    if (!fs::is_directory(path, ec)) {
      files.push_back(path.lexically_normal().string());
      continue;
    }
    std::vector<std::string> found;
    auto walkOptions = fs::directory_options::skip_permission_denied;
    if (options.recursive) {
      for (fs::recursive_directory_iterator it(path, walkOptions, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) found.push_back(it->path().lexically_normal().string());
    } else {
      for (fs::directory_iterator it(path, walkOptions, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) found.push_back(it->path().lexically_normal().string());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

}  // namespace kpl::host
