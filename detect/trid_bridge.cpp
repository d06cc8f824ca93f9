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
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace kpl {
namespace {

constexpr const char* kLibraryFile = "libTrIDLib.so";
constexpr const char* kDefinitionsDir = "database\\trid\\";
// Where the program headers are looked for: they follow the ELF header.
constexpr std::size_t kLibraryHeadBytes = 4096;

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

// The part of a shared object the dynamic loader reads: the extent of its
// program headers and of every segment they describe, within a file of
// fileSize bytes whose start is in head. The symbol tables and debugging
// sections after it are never mapped. 0 when head is not the start of a
// little-endian 64-bit ELF file with its program headers inside head.
std::size_t loaderExtent(const std::vector<uint8_t>& head, uint64_t fileSize) {
  ByteReader r(head);
  static const uint8_t kMagic[] = {0x7f, 'E', 'L', 'F', 2 /* 64-bit */, 1 /* little-endian */};
  if (!r.matches(0, kMagic, sizeof(kMagic))) return 0;
  const uint64_t phoff = r.u64le(32);
  const uint16_t phentsize = r.u16le(54);
  const uint16_t phnum = r.u16le(56);
  if (!r.ok() || phentsize < 56 || phnum == 0 || phoff > head.size() ||
      static_cast<uint64_t>(phentsize) * phnum > head.size() - phoff)
    return 0;
  uint64_t extent = phoff + static_cast<uint64_t>(phentsize) * phnum;
  for (uint16_t i = 0; i < phnum; ++i) {
    const std::size_t at = static_cast<std::size_t>(phoff) + static_cast<std::size_t>(i) * phentsize;
    const uint64_t offset = r.u64le(at + 8), size = r.u64le(at + 32);
    if (!r.ok() || offset > fileSize || size > fileSize - offset) return 0;
    if (offset + size > extent) extent = offset + size;
  }
  return extent < 64 ? 0 : static_cast<std::size_t>(extent);  // the ELF header itself is always kept
}

// The bytes every private copy is written from, read from the library file
// once for all slots instead of once per slot. Only the loader's extent is
// read and kept, with the section header fields cleared so that nothing in
// a copy points past its end; a file the extent cannot be found in is kept
// whole (the loader then judges it). Read again when the file changed.
struct LibraryImage {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  struct timespec modified {};
  std::shared_ptr<const std::vector<uint8_t>> bytes;
};
std::mutex g_imageMutex;
LibraryImage g_image;

std::shared_ptr<const std::vector<uint8_t>> libraryImage() {
  InputFile source(kLibraryFile);
  struct stat st {};
  if (!source.isOpen() || ::fstat(source.fd(), &st) != 0 || source.size() == 0) return nullptr;
  std::lock_guard<std::mutex> lock(g_imageMutex);
  if (g_image.bytes && g_image.device == st.st_dev && g_image.inode == st.st_ino && g_image.size == st.st_size &&
      g_image.modified.tv_sec == st.st_mtim.tv_sec && g_image.modified.tv_nsec == st.st_mtim.tv_nsec)
    return g_image.bytes;
  const std::size_t extent = loaderExtent(source.read(0, kLibraryHeadBytes), source.size());
  const auto wanted = static_cast<std::size_t>(extent != 0 ? extent : source.size());
  auto bytes = std::make_shared<std::vector<uint8_t>>(source.read(0, wanted));
  if (bytes->size() != wanted) return nullptr;
  if (extent != 0) {
    std::memset(bytes->data() + 40, 0, 8);  // e_shoff
    std::memset(bytes->data() + 60, 0, 4);  // e_shnum, e_shstrndx
  }
  g_image = LibraryImage{st.st_dev, st.st_ino, st.st_size, st.st_mtim, bytes};
  return bytes;
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

    const std::shared_ptr<const std::vector<uint8_t>> image = libraryImage();
    if (image == nullptr) return 0;
    const std::vector<uint8_t>& bytes = *image;

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
