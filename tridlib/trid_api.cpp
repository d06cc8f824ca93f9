// The four C entry points of libTrIDLib.so. Each loaded copy of the library
// has its own state below; the engine loads one copy per scan slot and calls
// a copy from one thread at a time.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tridlib/definitions.h"
#include "tridlib/matcher.h"

#define TRID_API extern "C" __attribute__((visibility("default")))

namespace {

std::vector<tridlib::Definition> g_definitions;
std::string g_submittedPath;
bool g_submitted = false;
std::vector<tridlib::Result> g_results;

// GetInfo's buffer is 1024 bytes; texts are cut to fit.
constexpr std::size_t kInfoBufferSize = 1024;

void copyText(const std::string& text, char* buffer) {
  if (buffer == nullptr) return;
  std::size_t n = std::min(text.size(), kInfoBufferSize - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace

// Loads every definitions file of a directory. Backslashes in the path are
// directory separators. Returns the number of definitions, 0 on failure.
TRID_API int TrID_LoadDefsPack(char* path) {
  try {
    std::string directory = path ? path : "";
    std::replace(directory.begin(), directory.end(), '\\', '/');
    std::vector<tridlib::Definition> loaded;
    std::string error;
    if (!tridlib::loadDefinitionsDirectory(directory, loaded, error)) return 0;
    g_results.clear();
    g_definitions = std::move(loaded);
    return static_cast<int>(std::min<std::size_t>(g_definitions.size(), 0x7FFFFFFF));
  } catch (...) {
    return 0;
  }
}

// Remembers the file for the next analysis; 0 when it cannot be read.
TRID_API int TrID_SubmitFileA(char* path) {
  try {
    g_submitted = false;
    g_results.clear();
    if (path == nullptr || *path == '\0') return 0;
    g_submittedPath = path;
    g_submitted = true;
    return 1;
  } catch (...) {
    return 0;
  }
}

// Ranks the submitted file against the definitions; 0 when nothing was
// submitted, no definitions are loaded, or the file cannot be read.
TRID_API int TrID_Analyze() {
  try {
    g_results.clear();
    if (!g_submitted || g_definitions.empty()) return 0;
    tridlib::Sample sample;
    if (!tridlib::readSample(g_submittedPath, sample)) return 0;
    g_results = tridlib::rank(g_definitions, sample);
    return 1;
  } catch (...) {
    g_results.clear();
    return 0;
  }
}

// what 1: the number of results. what 2 and 3: the file-type and extension
// texts of result `index` (numbered from 1) into buffer. what 4: its points.
// Unknown requests and indexes give 0 and an empty text.
TRID_API int TrID_GetInfo(int what, int index, char* buffer) {
  try {
    if (what == 1) return static_cast<int>(std::min<std::size_t>(g_results.size(), 0x7FFFFFFF));
    const bool valid = index >= 1 && static_cast<std::size_t>(index) <= g_results.size();
    const tridlib::Result* r = valid ? &g_results[static_cast<std::size_t>(index) - 1] : nullptr;
    switch (what) {
      case 2:
        copyText(r ? r->definition->fileType : std::string(), buffer);
        return r ? 1 : 0;
      case 3:
        copyText(r ? r->definition->extension : std::string(), buffer);
        return r ? 1 : 0;
      case 4:
        return r ? static_cast<int>(std::min<unsigned>(r->points, 0x7FFFFFFF)) : 0;
      default:
        return 0;
    }
  } catch (...) {
    return 0;
  }
}
