// WAV and MPEG audio probes, the last two steps of the scan chain.
//
// WAV: a RIFF container (little-endian chunk sizes) whose form type is
// "WAVE"; only the outer chunk header is judged.
//
// MP3: MPEG-1, MPEG-2 and MPEG-2.5 audio frames (ISO/IEC 11172-3, 13818-3
// and the 2.5 extension) or a leading ID3v2 tag. Frame headers are 32-bit
// big-endian words; a frame's length follows from its bit rate, sample rate
// and padding bit, so a stream is confirmed by hopping from frame to frame.
// Real files put an ID3v2 tag, a few bytes of junk or an encoder's info
// frame before the audio, and encoders sometimes pad between frames, hence
// the search window and the junk allowance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/byte_reader.h"

namespace kpl {

// RIFF chunk identifiers and form types.
constexpr char RIFF_CHUNK[] = "RIFF";
constexpr char WAV_FILE_TYPE[] = "WAVE";
constexpr char FORMAT_CHUNK[] = "fmt ";
constexpr char DATA_CHUNK[] = "data";
constexpr char LIST_CHUNK[] = "LIST";
constexpr char ID3_CHUNK[] = "id3 ";

// Four bytes compared as one 32-bit value.
struct FourCC {
  uint32_t value = 0;

  // Reads 4 bytes at pos and moves pos past them; false when they did not
  // all arrive (end of file).
  bool read(const InputFile& file, uint64_t& pos);
  bool isEquals(const char* code) const;
};

// A RIFF chunk header: identifier and little-endian size of the body.
struct Chunk {
  FourCC id;
  uint32_t size = 0;

  // Reads the 8-byte header at pos and moves pos past it; false at end of
  // file.
  bool read(const InputFile& file, uint64_t& pos);
  bool isEquals(const char* code) const { return id.isEquals(code); }
  // Moves pos past the body, which is padded to an even length. A "LIST"
  // chunk's list type has already been read as a FourCC, so 4 bytes less.
  void skip(uint64_t& pos) const;
};

class WAVParser {
 public:
  static bool validateFileStructure(const std::string& path, unsigned long fileSize);
  static bool validateFileStructure(const InputFile& file, unsigned long fileSize);
};

// One MPEG audio frame header and what it implies. The frame's body is
// never copied: the scan only needs to know it is there.
struct MP3Frame {
  uint32_t header = 0;  // the 4 header bytes, big-endian
  int version = 0;      // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
  int layer = 0;        // 1, 2, 3
  uint32_t bitRate = 0;     // bits per second
  uint32_t sampleRate = 0;  // Hz
  uint32_t frameLength = 0;  // bytes, header included
};

// The 10-byte ID3v2 tag header and the tag size it declares (header
// excluded).
struct ID3v2 {
  uint8_t header[10] = {};
  uint32_t size = 0;
};

// MPEG audio bit rates in kbit/s by bit-rate index and column (MPEG-1
// layers 1-3, MPEG-2 layers 1-3, MPEG-2.5 layers 1-3), and sample rates in
// Hz by index and version. Index 0 of the bit rates is free format,
// index 15 and sample-rate index 3 are invalid.
constexpr int kMpegFreeFormat = -2;
constexpr int kMpegInvalid = -1;
extern const int MPEG_BIT_RATES[16][9];
extern const int MPEG_SAMPLE_RATES[4][3];

class MP3Parser {
 public:
  // Result codes of parse, parseFrame, validateFrame and parseID3v2.
  enum Result : int {
    kValid = 0,
    kReservedEmphasis = 1,  // valid, with the reserved emphasis value
    kTruncated = 2,         // the frame's bytes did not all arrive
    kFreeFormat = 3,        // bit-rate index 0: the length is unknown
    kInvalid = 4,
  };
  // Type tags at the current position.
  enum Tag : int { kFrameSync = 0, kID3v2 = 1, kID3v2Footer = 2, kID3v1 = 3, kApeTag = 4, kOther = 5 };

  MP3Parser(const std::string& path, unsigned long fileSize);
  // Reads the caller's input, which must outlive the parser.
  MP3Parser(const InputFile& file, unsigned long fileSize);
  MP3Parser(const MP3Parser&) = delete;  // file_ may point into the object
  MP3Parser& operator=(const MP3Parser&) = delete;

  // 0 when the file is MPEG audio: a valid ID3v2 header reached within the
  // search window, or eleven valid frames, the first within the window.
  int parse();
  // What starts at the current position; does not move it.
  int getTypeTag();
  // The frame at the current position; does not move it.
  int parseFrame(MP3Frame& frame);
  // Decodes frame.header into the other fields and the frame length.
  static int validateFrame(MP3Frame& frame);
  // The ID3v2 header at the current position; does not move it.
  int parseID3v2(ID3v2& tag);
  int validateID3v2(ID3v2& tag) const;
  // Decodes a synch-safe 28-bit integer (four 7-bit groups, high first).
  static uint32_t toSynchsafeInteger(unsigned int raw);
  void close();

  uint64_t position() const { return pos_; }
  void seek(uint64_t pos) { pos_ = pos; }

 private:
  // Reads through a small window, since the scan visits the same bytes
  // several times (type tag, frame header) and steps one byte at a time
  // through junk.
  std::size_t readAt(uint64_t offset, uint8_t* dst, std::size_t n);

  InputFile owned_;
  const InputFile* file_;
  uint64_t fileSize_;
  uint64_t pos_ = 0;
  uint8_t window_[4096] = {};
  uint64_t windowStart_ = 0;
  std::size_t windowSize_ = 0;
};

class AudioFTAUtils {
 public:
  static bool isWAVFileBased(const std::string& path, unsigned long fileSize);
  static bool isMP3FileBased(const std::string& path, unsigned long fileSize);
  static bool isWAVFileBased(const InputFile& file, unsigned long fileSize);
  static bool isMP3FileBased(const InputFile& file, unsigned long fileSize);
};

}  // namespace kpl
