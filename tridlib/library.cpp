#include "tridlib/library.h"

#include <algorithm>
#include <cstring>

namespace tridlib {
namespace {

constexpr std::size_t kMaxCount = 0x7FFFFFFF;

void copyText(const std::string& text, char* buffer) {
  if (buffer == nullptr) return;
  std::size_t n = std::min(text.size(), kInfoBufferSize - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace

int Library::loadDefinitions(const char* path) {
  try {
    std::string directory = path ? path : "";
    std::replace(directory.begin(), directory.end(), '\\', '/');
    std::vector<Definition> loaded;
    std::string error;
    if (!loadDefinitionsDirectory(directory, loaded, error)) return 0;
    results_.clear();  // they point into the definitions being replaced
    definitions_ = std::move(loaded);
    return static_cast<int>(std::min(definitions_.size(), kMaxCount));
  } catch (...) {
    return 0;
  }
}

int Library::submit(const char* path) {
  try {
    submitted_ = false;
    results_.clear();
    if (path == nullptr || *path == '\0') return 0;
    submittedPath_ = path;
    submitted_ = true;
    return 1;
  } catch (...) {
    return 0;
  }
}

int Library::analyze() {
  try {
    results_.clear();
    if (!submitted_ || definitions_.empty()) return 0;
    if (!readSample(submittedPath_, sample_)) return 0;
    results_ = rank(definitions_, sample_);
    return 1;
  } catch (...) {
    results_.clear();
    return 0;
  }
}

int Library::info(int what, int index, char* buffer) const {
  if (what == 1) return static_cast<int>(std::min(results_.size(), kMaxCount));
  const bool valid = index >= 1 && static_cast<std::size_t>(index) <= results_.size();
  const Result* r = valid ? &results_[static_cast<std::size_t>(index) - 1] : nullptr;
  static const std::string kNone;
  switch (what) {
    case 2:
      copyText(r ? r->definition->fileType : kNone, buffer);
      return r ? 1 : 0;
    case 3:
      copyText(r ? r->definition->extension : kNone, buffer);
      return r ? 1 : 0;
    case 4:
      return r ? static_cast<int>(std::min<unsigned>(r->points, 0x7FFFFFFF)) : 0;
    default:
      return 0;
  }
}

}  // namespace tridlib
