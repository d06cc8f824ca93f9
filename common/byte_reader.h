// Bounded reading of untrusted bytes. Every analyzer reads files through
// InputFile (absolute offsets, short reads reported) and decodes headers with
// ByteReader (sticky failure flag), instead of seeking and checking lengths
// its own way.
//
// Bounds are tested as `n > size - offset` once `offset <= size` is known,
// never as `offset + n > size`: a length taken from a file can be close to
// the type's maximum and the sum would wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/zip_index.h"

namespace kpl {

// Little- and big-endian decoders. The caller guarantees the bytes exist.
inline uint16_t loadU16LE(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t loadU32LE(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t loadU64LE(const uint8_t* p) {
  return static_cast<uint64_t>(loadU32LE(p)) | (static_cast<uint64_t>(loadU32LE(p + 4)) << 32);
}
inline uint16_t loadU16BE(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t loadU24BE(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}
inline uint32_t loadU32BE(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// True when [offset, offset + n) lies inside a range of `size` bytes.
inline bool inBounds(uint64_t size, uint64_t offset, uint64_t n) { return offset <= size && n <= size - offset; }

// A regular file opened read-only for reads at absolute offsets, or a byte
// buffer read the same way. It has no cursor, so one object can serve
// several probes in turn. Anything that is not a regular file (a FIFO, a
// device, a directory) does not open: reading one could block forever or
// never end.
//
// Small reads are served from three windows: the file's head and tail, each
// read once on first use, and a read-ahead window that moves with forward
// walks over headers. Probes may therefore read a few bytes at a time
// without each read becoming a system call. Not for use by two threads at
// once (the windows are filled lazily).
class InputFile {
 public:
  InputFile() = default;
  explicit InputFile(const std::string& path);
  // Reads from bytes instead of a file.
  static InputFile fromBytes(std::vector<uint8_t> bytes);
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool isOpen() const { return fd_ >= 0 || inMemory_; }
  // The size when the file was opened.
  uint64_t size() const { return size_; }
  // The open descriptor, or -1 (always -1 for a byte buffer).
  int fd() const { return fd_; }

  // Reads up to n bytes at offset and returns how many arrived: fewer near
  // the end of the file, 0 past it or on an error.
  std::size_t readAt(uint64_t offset, void* dst, std::size_t n) const;
  bool readExact(uint64_t offset, void* dst, std::size_t n) const { return readAt(offset, dst, n) == n; }
  // At most n bytes from offset; the vector is as long as what arrived.
  std::vector<uint8_t> read(uint64_t offset, std::size_t n) const;
  // The first min(size, limits::kInputHeadWindow) bytes, read once.
  const std::vector<uint8_t>& head() const;

  // The ZIP directory index, built on first use: every member-name lookup
  // of every probe on this input shares one pass over the directory.
  const ZipIndex& zip() const;


 private:
  struct Window {
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
    bool covers(uint64_t at, std::size_t n) const {
      return at >= offset && at - offset <= bytes.size() && n <= bytes.size() - (at - offset);
    }
  };
  std::size_t readDirect(uint64_t offset, void* dst, std::size_t n) const;
  void fill(Window& window, uint64_t offset, std::size_t n) const;

  int fd_ = -1;
  uint64_t size_ = 0;
  bool inMemory_ = false;
  std::vector<uint8_t> memory_;
  mutable Window head_, tail_, ahead_;
  mutable bool headLoaded_ = false, tailLoaded_ = false;
  mutable std::unique_ptr<ZipIndex> zip_;
};

// Decodes fields of a byte span at absolute offsets. A read outside the span
// yields 0 and sets a sticky failure flag, so a header can be decoded
// straight through and checked once:
//
//   ByteReader r(head);
//   uint32_t peOffset = r.u32le(60);
//   if (!r.ok() || !inBounds(fileSize, peOffset, 24)) return false;
class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ByteReader(const std::vector<uint8_t>& bytes) : ByteReader(bytes.data(), bytes.size()) {}

  const uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool ok() const { return ok_; }
  bool has(std::size_t offset, std::size_t n) const { return inBounds(size_, offset, n); }

  uint8_t u8(std::size_t offset) { return take(offset, 1) ? data_[offset] : 0; }
  uint16_t u16le(std::size_t offset) { return take(offset, 2) ? loadU16LE(data_ + offset) : 0; }
  uint32_t u32le(std::size_t offset) { return take(offset, 4) ? loadU32LE(data_ + offset) : 0; }
  uint64_t u64le(std::size_t offset) { return take(offset, 8) ? loadU64LE(data_ + offset) : 0; }
  uint16_t u16be(std::size_t offset) { return take(offset, 2) ? loadU16BE(data_ + offset) : 0; }
  uint32_t u24be(std::size_t offset) { return take(offset, 3) ? loadU24BE(data_ + offset) : 0; }
  uint32_t u32be(std::size_t offset) { return take(offset, 4) ? loadU32BE(data_ + offset) : 0; }

  // Whether the n bytes at offset equal pattern. Outside the span this is
  // simply false: a comparison is a probe, not a decode, and leaves ok().
  bool matches(std::size_t offset, const void* pattern, std::size_t n) const;
  // A reader limited to [offset, offset + n), so that inner code cannot read
  // its neighbour; outside the span it is empty and failed.
  ByteReader sub(std::size_t offset, std::size_t n) const;

 private:
  bool take(std::size_t offset, std::size_t n) {
    if (has(offset, n)) return true;
    ok_ = false;
    return false;
  }

  const uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool ok_ = true;
};

}  // namespace kpl
