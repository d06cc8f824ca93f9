#include "common/byte_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

std::size_t InputFile::readAt(uint64_t offset, void* dst, std::size_t n) const {
  if (fd_ < 0 || n == 0 || offset >= size_) return 0;
  if (n > size_ - offset) n = static_cast<std::size_t>(size_ - offset);
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

std::vector<uint8_t> InputFile::read(uint64_t offset, std::size_t n) const {
  std::vector<uint8_t> bytes;
  if (fd_ < 0 || offset >= size_) return bytes;
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
