// Front-to-back reading of a text file through one fixed block, with the
// std::istream line semantics the text probes were defined with: a line
// runs to the next line feed, and a last line without one sets end of file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "common/limits.h"

namespace kpl {

class TextStream {
 public:
  TextStream() = default;
  explicit TextStream(const InputFile& file) : file_(&file), size_(file.size()) {}

  uint64_t size() const { return size_; }
  uint64_t tell() const { return pos_; }
  bool eof() const { return eof_; }
  // Like istream::seekg: clears end of file.
  void seek(uint64_t offset) {
    pos_ = offset;
    eof_ = false;
  }

  // The next byte, or -1 (and end of file set) past the last one.
  int get() {
    if (!ensure(pos_)) {
      eof_ = true;
      return -1;
    }
    return block_[static_cast<std::size_t>(pos_++ - blockStart_)];
  }
  // The byte at an absolute offset, or -1 past the end; the position stays.
  int at(uint64_t offset) {
    if (!ensure(offset)) return -1;
    return block_[static_cast<std::size_t>(offset - blockStart_)];
  }

  // Reads one line without its line feed, keeping at most `keep` bytes of
  // it in `line` (truncated says whether more were dropped). Returns false
  // when the file ended before a line feed, as getline sets end of file.
  bool readLine(std::string& line, std::size_t keep, bool& truncated) {
    line.clear();
    truncated = false;
    for (;;) {
      if (!ensure(pos_)) {
        eof_ = true;
        return false;
      }
      const uint8_t* begin = block_.data() + (pos_ - blockStart_);
      const std::size_t avail = static_cast<std::size_t>(blockStart_ + blockLen_ - pos_);
      const void* lf = std::memchr(begin, '\n', avail);
      const std::size_t n = lf ? static_cast<std::size_t>(static_cast<const uint8_t*>(lf) - begin) : avail;
      const std::size_t room = keep - std::min(keep, line.size());
      line.append(reinterpret_cast<const char*>(begin), std::min(n, room));
      if (n > room) truncated = true;
      pos_ += n;
      if (lf) {
        ++pos_;
        return true;
      }
    }
  }

  // Offset of the first occurrence of pattern at or after `from`, or -1.
  // Reads on through the file block by block.
  int64_t find(uint64_t from, const char* pattern, std::size_t len) {
    for (uint64_t at = from; at < size_;) {
      if (!ensure(at)) return -1;
      const uint8_t* begin = block_.data() + (at - blockStart_);
      const std::size_t avail = static_cast<std::size_t>(blockStart_ + blockLen_ - at);
      const void* hit = std::memchr(begin, static_cast<unsigned char>(pattern[0]), avail);
      if (!hit) {
        at += avail;
        continue;
      }
      at += static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - begin);
      std::size_t k = 1;
      while (k < len && at + k < size_ && this->at(at + k) == static_cast<unsigned char>(pattern[k])) ++k;
      if (k == len) return static_cast<int64_t>(at);
      ++at;
    }
    return -1;
  }

 private:
  bool ensure(uint64_t offset) {
    if (offset >= blockStart_ && offset - blockStart_ < blockLen_) return true;
    if (file_ == nullptr || offset >= size_) return false;
    // No larger than what is left of the file: most texts are far smaller
    // than a block, and zero-filling a whole block per stream cost more
    // than reading them (three streams per text file).
    block_.resize(static_cast<std::size_t>(std::min<uint64_t>(limits::kTextReadBlockBytes, size_ - offset)));
    blockStart_ = offset;
    blockLen_ = file_->readAt(offset, block_.data(), block_.size());
    return blockLen_ > 0;
  }

  const InputFile* file_ = nullptr;
  uint64_t size_ = 0;
  uint64_t pos_ = 0;
  bool eof_ = false;
  std::vector<uint8_t> block_;
  uint64_t blockStart_ = 0;
  std::size_t blockLen_ = 0;
};

}  // namespace kpl
