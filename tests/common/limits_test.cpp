// Each named limit on a walk over file data, at the limit and one past it:
// a file within the limit is recognised, a file past it is not (or is taken
// for the broken kind its probe names), and nothing walks further.
#include "common/limits.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>

#include "common/byte_reader.h"
#include "common/zip_index.h"
#include "media/audio_fta_utils.h"
#include "media/image_fta_utils.h"

namespace kpl {
namespace {

using Bytes = std::vector<uint8_t>;

// n little-endian bytes of v (zeros past its eight).
void put(Bytes& out, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) out.push_back(i < 8 ? static_cast<uint8_t>(v >> (8 * i)) : 0);
}
void putBE32(Bytes& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void append(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

// A ZIP of stored, empty members with these name lengths; names are "a",
// "b", ... padded with '_'.
Bytes zipWithNames(const std::vector<std::size_t>& lengths) {
  Bytes local, central;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    std::string name(lengths[i], '_');
    name[0] = static_cast<char>('a' + i % 26);
    const uint32_t offset = static_cast<uint32_t>(local.size());
    put(local, 0x04034B50, 4), put(local, 10, 2), put(local, 0, 8), put(local, 0, 12);
    put(local, name.size(), 2), put(local, 0, 2), append(local, name);
    put(central, 0x02014B50, 4), put(central, 20, 2), put(central, 10, 2), put(central, 0, 8), put(central, 0, 12);
    put(central, name.size(), 2), put(central, 0, 8), put(central, 0, 4), put(central, offset, 4);
    append(central, name);
  }
  Bytes zip = local;
  zip.insert(zip.end(), central.begin(), central.end());
  put(zip, 0x06054B50, 4), put(zip, 0, 4), put(zip, lengths.size(), 2), put(zip, lengths.size(), 2);
  put(zip, central.size(), 4), put(zip, local.size(), 4), put(zip, 0, 2);
  return zip;
}

// `records` empty local headers, then an end record.
Bytes localHeadersThenEnd(uint32_t records) {
  Bytes header;
  put(header, 0x04034B50, 4), put(header, 0, 26);
  Bytes zip(static_cast<std::size_t>(records) * header.size());
  for (std::size_t at = 0; at < zip.size(); at += header.size()) std::copy(header.begin(), header.end(), zip.begin() + static_cast<std::ptrdiff_t>(at));
  put(zip, 0x06054B50, 4), put(zip, 0, 18);
  return zip;
}

Bytes pngWithChunksBeforeImageData(uint32_t ancillary) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, uint32_t length) {
    putBE32(png, length);
    append(png, type);
    png.resize(png.size() + length + 4, 0);
  };
  chunk("IHDR", 13);
  for (uint32_t i = 0; i < ancillary; ++i) chunk("tEXt", 0);
  chunk("IDAT", 0);
  return png;
}

// MPEG-1 Layer III frames, 128 kbit/s at 44.1 kHz (417 bytes), after junk.
Bytes mp3AfterJunk(std::size_t junk) {
  Bytes mp3(junk, 0);
  for (int f = 0; f < 12; ++f) {
    const std::size_t at = mp3.size();
    mp3.resize(at + 417, 0);
    mp3[at] = 0xFF, mp3[at + 1] = 0xFB, mp3[at + 2] = 0x90, mp3[at + 3] = 0x00;
  }
  return mp3;
}

struct LimitCase {
  const char* limit;
  std::function<Bytes(bool pastLimit)> build;
  std::function<bool(const InputFile&)> recognised;
};

TEST(Limits, WithinTheLimitRecognisedPastItNot) {
  const LimitCase cases[] = {
      {"kZipIndexMaxNameBytes",
       [](bool past) {
         // 256 names of 65,535 bytes are 16 MiB less 256 bytes; the last
         // name's length decides.
         std::vector<std::size_t> lengths(256, 65535);
         lengths.push_back(past ? 257 : 256);
         return zipWithNames(lengths);
       },
       [](const InputFile& f) { return f.zip().entries().size() == 257; }},
      {"kZipTopWalkMaxRecords",
       [](bool past) { return localHeadersThenEnd(past ? limits::kZipTopWalkMaxRecords : limits::kZipTopWalkMaxRecords - 1); },
       [](const InputFile& f) { return findZipEndRecordFromTop(f) >= 0; }},
      {"kMaxPngChunksBeforeImageData",
       [](bool past) { return pngWithChunksBeforeImageData(limits::kMaxPngChunksBeforeImageData - (past ? 1 : 2)); },
       [](const InputFile& f) { return ImageFTAUtils::isPNG(f, f.size()) == ImagePNG; }},
      {"kMp3SyncSearchWindow",
       // A frame is still taken at the first offset past the window; junk
       // there ends the search.
       [](bool past) { return mp3AfterJunk(limits::kMp3SyncSearchWindow + (past ? 2 : 1)); },
       [](const InputFile& f) { return AudioFTAUtils::isMP3FileBased(f, f.size()); }},
  };
  for (const LimitCase& c : cases) {
    EXPECT_TRUE(c.recognised(InputFile::fromBytes(c.build(false)))) << c.limit << " at the limit";
    EXPECT_FALSE(c.recognised(InputFile::fromBytes(c.build(true)))) << c.limit << " past the limit";
  }
}

// The head, tail and read-ahead windows give exactly the file's bytes for
// reads of every size across their edges, and a short file is only what it
// is.
TEST(InputWindows, ReadsAcrossWindowEdgesGiveTheFileBytes) {
  std::mt19937 rng(11);
  const std::size_t size = limits::kInputHeadWindow + limits::kInputTailWindow + 3 * limits::kInputReadAhead + 17;
  Bytes content(size);
  for (uint8_t& b : content) b = static_cast<uint8_t>(rng());
  char path[] = "/tmp/kpl-windows-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(fd);
  const InputFile file(path);
  ::unlink(path);
  ASSERT_EQ(file.size(), size);

  const uint64_t edges[] = {0, limits::kInputHeadWindow, size - limits::kInputTailWindow,
                            limits::kInputHeadWindow + limits::kInputReadAhead, size};
  const std::size_t lengths[] = {1, 4, 46, 4096, limits::kInputReadAhead, limits::kInputReadAhead + 1, 200000};
  for (uint64_t edge : edges)
    for (std::size_t n : lengths)
      for (int64_t shift : {-3, -1, 0, 1}) {
        const int64_t at = static_cast<int64_t>(edge) + shift - static_cast<int64_t>(n / 2);
        if (at < 0) continue;
        const uint64_t offset = static_cast<uint64_t>(at);
        Bytes got(n, 0xEE);
        const std::size_t arrived = file.readAt(offset, got.data(), n);
        const std::size_t expected = offset >= size ? 0 : std::min<uint64_t>(n, size - offset);
        ASSERT_EQ(arrived, expected) << offset << "+" << n;
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(arrived),
                               content.begin() + static_cast<std::ptrdiff_t>(offset)))
            << offset << "+" << n;
      }
  EXPECT_EQ(file.head().size(), limits::kInputHeadWindow);
  EXPECT_EQ(InputFile::fromBytes(Bytes(10, 1)).head().size(), 10u);
}

}  // namespace
}  // namespace kpl
