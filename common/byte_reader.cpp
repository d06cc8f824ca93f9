#include "common/byte_reader.h"

#include "common/limits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kpl {

InputFile::InputFile(const std::string& path) {
  // O_NONBLOCK keeps open() itself from waiting for a writer on a FIFO; the
  // fstat below then refuses anything that is not a regular file.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
}

InputFile InputFile::fromBytes(std::vector<uint8_t> bytes) {
  InputFile file;
  file.inMemory_ = true;
  file.size_ = bytes.size();
  file.memory_ = std::move(bytes);
  return file;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

InputFile::InputFile(InputFile&& other) noexcept { *this = std::move(other); }

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
    inMemory_ = std::exchange(other.inMemory_, false);
    memory_ = std::move(other.memory_);
    head_ = std::move(other.head_);
    tail_ = std::move(other.tail_);
    ahead_ = std::move(other.ahead_);
    headLoaded_ = std::exchange(other.headLoaded_, false);
    tailLoaded_ = std::exchange(other.tailLoaded_, false);
    zip_ = std::move(other.zip_);
  }
  return *this;
}

std::size_t InputFile::readDirect(uint64_t offset, void* dst, std::size_t n) const {
  auto* out = static_cast<uint8_t*>(dst);
  std::size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (got == 0) break;  // the file shrank since it was opened
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void InputFile::fill(Window& window, uint64_t offset, std::size_t n) const {
  if (n > size_ - offset) n = static_cast<std::size_t>(size_ - offset);
  window.offset = offset;
  window.bytes.resize(n);
  window.bytes.resize(readDirect(offset, window.bytes.data(), n));
}

const std::vector<uint8_t>& InputFile::head() const {
  if (!headLoaded_) {
    headLoaded_ = true;
    if (inMemory_)
      head_.bytes.assign(memory_.begin(), memory_.begin() + static_cast<std::ptrdiff_t>(
                                                                std::min<uint64_t>(size_, limits::kInputHeadWindow)));
    else if (fd_ >= 0)
      fill(head_, 0, limits::kInputHeadWindow);
  }
  return head_.bytes;
}

std::size_t InputFile::readAt(uint64_t offset, void* dst, std::size_t n) const {
  if (!isOpen() || n == 0 || offset >= size_) return 0;
  if (n > size_ - offset) n = static_cast<std::size_t>(size_ - offset);
  if (inMemory_) {
    std::memcpy(dst, memory_.data() + offset, n);
    return n;
  }
  const Window* window = nullptr;
  if (offset < limits::kInputHeadWindow && n <= limits::kInputHeadWindow - offset) {
    head();
    window = &head_;
  } else if (size_ > limits::kInputHeadWindow && size_ - offset <= limits::kInputTailWindow) {
    if (!tailLoaded_) {
      tailLoaded_ = true;
      const uint64_t start = size_ > limits::kInputTailWindow ? size_ - limits::kInputTailWindow : 0;
      fill(tail_, start, limits::kInputTailWindow);
    }
    window = &tail_;
  } else if (n <= limits::kInputReadAhead) {
    if (!ahead_.covers(offset, n)) fill(ahead_, offset, limits::kInputReadAhead);
    window = &ahead_;
  }
  if (window != nullptr && window->covers(offset, n)) {
    std::memcpy(dst, window->bytes.data() + (offset - window->offset), n);
    return n;
  }
  return readDirect(offset, dst, n);
}

const ZipIndex& InputFile::zip() const {
  if (!zip_) zip_ = std::make_unique<ZipIndex>(ZipIndex::build(*this));
  return *zip_;
}

std::vector<uint8_t> InputFile::read(uint64_t offset, std::size_t n) const {
  std::vector<uint8_t> bytes;
  if (!isOpen() || offset >= size_) return bytes;
  if (n > size_ - offset) n = static_cast<std::size_t>(size_ - offset);
  bytes.resize(n);
  bytes.resize(readAt(offset, bytes.data(), n));
  return bytes;
}

bool ByteReader::matches(std::size_t offset, const void* pattern, std::size_t n) const {
  return has(offset, n) && (n == 0 || std::memcmp(data_ + offset, pattern, n) == 0);
}

ByteReader ByteReader::sub(std::size_t offset, std::size_t n) const {
  if (!has(offset, n)) {
    ByteReader failed;
    failed.ok_ = false;
    return failed;
  }
  return ByteReader(data_ + offset, n);
}

}  // namespace kpl
