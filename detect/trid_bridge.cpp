#include "detect/trid_bridge.h"

#include "common/byte_reader.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace kpl {
namespace {

constexpr const char* kLibraryFile = "libTrIDLib.so";
constexpr const char* kDefinitionsDir = "database\\trid\\";

// AddressSanitizer refuses libraries loaded with RTLD_DEEPBIND.
#if defined(KPL_SANITIZER_BUILD)
constexpr int kOpenFlags = RTLD_NOW;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_DEEPBIND;
#endif

std::atomic<trid::CopyPlacement> g_placement{trid::CopyPlacement::InMemory};

// One private directory per process, made on first need. Each copy is
// removed by its own object; the last one out removes the directory.
std::mutex g_dirMutex;
std::string g_privateDir;

std::string privateDirectory() {
  std::lock_guard<std::mutex> lock(g_dirMutex);
  if (!g_privateDir.empty() && ::access(g_privateDir.c_str(), W_OK) == 0) return g_privateDir;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kpl_engine.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) return std::string();
  g_privateDir = buffer.data();
  return g_privateDir;
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void trid::setCopyPlacement(CopyPlacement placement) { g_placement = placement; }

trid::~trid() { release(); }

void trid::release() {
  if (handle_ != nullptr) ::dlclose(handle_);
  handle_ = nullptr;
  analyze_ = nullptr;
  getInfo_ = nullptr;
  loadDefsPack_ = nullptr;
  submitFileA_ = nullptr;
  if (copyFd_ >= 0) ::close(copyFd_);
  copyFd_ = -1;
  if (copyOnDisk_) {
    ::unlink(copyPath_.c_str());
    std::lock_guard<std::mutex> lock(g_dirMutex);
    ::rmdir(g_privateDir.c_str());  // succeeds only once the last copy is gone
  }
  copyOnDisk_ = false;
  copyPath_.clear();
}

int trid::Init(int slot) {
  try {
    release();  // a second Init replaces the instance instead of leaking it
    copyName_ = "lib." + std::to_string(slot);

    InputFile source(kLibraryFile);
    std::vector<uint8_t> bytes = source.read(0, static_cast<std::size_t>(source.size()));
    if (bytes.empty() || bytes.size() != source.size()) return 0;

    if (g_placement == CopyPlacement::InMemory) {
      int fd = ::memfd_create(copyName_.c_str(), MFD_CLOEXEC);
      if (fd >= 0 && writeAll(fd, bytes)) {
        copyFd_ = fd;
        copyPath_ = "/proc/self/fd/" + std::to_string(fd);
        handle_ = ::dlopen(copyPath_.c_str(), kOpenFlags);
      } else if (fd >= 0) {
        ::close(fd);
      }
      if (handle_ == nullptr) release();  // e.g. memfd_noexec: fall through to a directory
    }
    if (handle_ == nullptr) {
      std::string dir = privateDirectory();
      if (dir.empty()) return 0;
      copyPath_ = dir + "/" + copyName_;
      int fd = ::open(copyPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0700);
      if (fd < 0) return 0;
      copyOnDisk_ = true;
      bool written = writeAll(fd, bytes);
      ::close(fd);
      if (!written) return 0;
      handle_ = ::dlopen(copyPath_.c_str(), kOpenFlags);
      if (handle_ == nullptr) return 0;
    }

    analyze_ = reinterpret_cast<int (*)()>(::dlsym(handle_, "TrID_Analyze"));
    getInfo_ = reinterpret_cast<int (*)(int, int, char*)>(::dlsym(handle_, "TrID_GetInfo"));
    loadDefsPack_ = reinterpret_cast<int (*)(char*)>(::dlsym(handle_, "TrID_LoadDefsPack"));
    submitFileA_ = reinterpret_cast<int (*)(char*)>(::dlsym(handle_, "TrID_SubmitFileA"));
    if (!analyze_ || !getInfo_ || !loadDefsPack_ || !submitFileA_) return 0;

    std::string definitions = kDefinitionsDir;  // the entry point takes a mutable char*
    return loadDefsPack_(definitions.data());
  } catch (...) {
    return 0;
  }
}

}  // namespace kpl
