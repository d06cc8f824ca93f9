#include "media/audio_fta_utils.h"

#include <algorithm>
#include <cstring>

#include "common/limits.h"

namespace kpl {

namespace {

uint32_t fourCCValue(const char* code) { return loadU32LE(reinterpret_cast<const uint8_t*>(code)); }

}  // namespace

// ---- RIFF ------------------------------------------------------------------

bool FourCC::read(const InputFile& file, uint64_t& pos) {
  uint8_t bytes[4];
  if (!file.readExact(pos, bytes, sizeof(bytes))) return false;
  value = loadU32LE(bytes);
  pos += sizeof(bytes);
  return true;
}

bool FourCC::isEquals(const char* code) const { return code != nullptr && std::strlen(code) == 4 && value == fourCCValue(code); }

bool Chunk::read(const InputFile& file, uint64_t& pos) {
  uint8_t bytes[8];
  if (!file.readExact(pos, bytes, sizeof(bytes))) return false;
  id.value = loadU32LE(bytes);
  size = loadU32LE(bytes + 4);
  pos += sizeof(bytes);
  return true;
}

void Chunk::skip(uint64_t& pos) const {
  uint64_t body = static_cast<uint64_t>(size) + (size & 1u);
  if (isEquals(LIST_CHUNK)) body = body >= 4 ? body - 4 : 0;
  pos += body;
}

bool WAVParser::validateFileStructure(const std::string& path, unsigned long fileSize) {
  InputFile file(path);
  return validateFileStructure(file, fileSize);
}

bool WAVParser::validateFileStructure(const InputFile& file, unsigned long fileSize) {
  if (!file.isOpen()) return false;
  uint64_t pos = 0;
  Chunk riff;
  FourCC form;
  if (!riff.read(file, pos) || !form.read(file, pos)) return false;
  // A declared size beyond the file marks a truncated or foreign file. The
  // big-endian "RIFX" variant is not taken.
  return riff.isEquals(RIFF_CHUNK) && form.isEquals(WAV_FILE_TYPE) && riff.size <= fileSize;
}

// ---- MPEG audio ------------------------------------------------------------

// clang-format off
const int MPEG_BIT_RATES[16][9] = {
  // MPEG-1 L1 L2   L3   MPEG-2 L1 L2  L3   MPEG-2.5 L1 L2 L3
  { -2,  -2,  -2,   -2,  -2,  -2,   -2,  -2,  -2 },
  { 32,  32,  32,   32,   8,   8,   32,   8,   8 },
  { 64,  48,  40,   48,  16,  16,   48,  16,  16 },
  { 96,  56,  48,   56,  24,  24,   56,  24,  24 },
  {128,  64,  56,   64,  32,  32,   64,  32,  32 },
  {160,  80,  64,   80,  40,  40,   80,  40,  40 },
  {192,  96,  80,   96,  48,  48,   96,  48,  48 },
  {224, 112,  96,  112,  56,  56,  112,  56,  56 },
  {256, 128, 112,  128,  64,  64,  128,  64,  64 },
  {288, 160, 128,  144,  80,  80,  144,  80,  80 },
  {320, 192, 160,  160,  96,  96,  160,  96,  96 },
  {352, 224, 192,  176, 112, 112,  176, 112, 112 },
  {384, 256, 224,  192, 128, 128,  192, 128, 128 },
  {416, 320, 256,  224, 144, 144,  224, 144, 144 },
  {448, 384, 320,  256, 160, 160,  256, 160, 160 },
  { -1,  -1,  -1,   -1,  -1,  -1,   -1,  -1,  -1 },
};

const int MPEG_SAMPLE_RATES[4][3] = {
  // MPEG-1 MPEG-2 MPEG-2.5
  { 44100, 22050, 11025 },
  { 48000, 24000, 12000 },
  { 32000, 16000,  8000 },
  {    -1,    -1,    -1 },
};
// clang-format on

MP3Parser::MP3Parser(const std::string& path, unsigned long fileSize)
    : owned_(path), file_(&owned_), fileSize_(fileSize) {}

MP3Parser::MP3Parser(const InputFile& file, unsigned long fileSize) : file_(&file), fileSize_(fileSize) {}

void MP3Parser::close() {
  owned_ = InputFile();
  file_ = &owned_;
  windowSize_ = 0;
}

std::size_t MP3Parser::readAt(uint64_t offset, uint8_t* dst, std::size_t n) {
  if (n > sizeof(window_)) return file_->readAt(offset, dst, n);
  if (offset < windowStart_ || !inBounds(windowSize_, offset - windowStart_, n)) {
    windowStart_ = offset;
    windowSize_ = file_->readAt(offset, window_, sizeof(window_));
  }
  const std::size_t skip = static_cast<std::size_t>(offset - windowStart_);  // < sizeof(window_) here
  const std::size_t got = skip < windowSize_ ? std::min(n, windowSize_ - skip) : 0;
  if (got > 0) std::memcpy(dst, window_ + skip, got);
  return got;
}

int MP3Parser::getTypeTag() {
  uint8_t bytes[8] = {};
  const std::size_t got = readAt(pos_, bytes, sizeof(bytes));
  ByteReader r(bytes, got);
  if (r.matches(0, "ID3", 3)) return kID3v2;
  if (r.matches(0, "3DI", 3)) return kID3v2Footer;
  if (r.matches(0, "TAG", 3)) return kID3v1;
  if (r.matches(0, "APETAGEX", 8)) return kApeTag;
  // The first look wants twelve set bits where a frame header has eleven,
  // so MPEG-2.5 streams (version bits 00) are not followed frame by frame:
  // they are taken as MPEG audio only by their ID3v2 tag.
  if (got >= 2 && bytes[0] == 0xFF && (bytes[1] & 0xF0) == 0xF0) return kFrameSync;
  return kOther;
}

int MP3Parser::validateFrame(MP3Frame& frame) {
  const uint32_t h = frame.header;
  if ((h >> 21) != 0x7FF) return kInvalid;  // 11 sync bits

  switch ((h >> 19) & 3) {
    case 3: frame.version = 1; break;
    case 2: frame.version = 2; break;
    case 0: frame.version = 3; break;
    default: return kInvalid;
  }
  switch ((h >> 17) & 3) {
    case 3: frame.layer = 1; break;
    case 2: frame.layer = 2; break;
    case 1: frame.layer = 3; break;
    default: return kInvalid;
  }

  const int column = (frame.version - 1) * 3 + (frame.layer - 1);
  const int bitRate = MPEG_BIT_RATES[(h >> 12) & 0xF][column];
  if (bitRate == kMpegFreeFormat) return kFreeFormat;
  if (bitRate == kMpegInvalid) return kInvalid;
  const int sampleRate = MPEG_SAMPLE_RATES[(h >> 10) & 3][frame.version - 1];
  if (sampleRate == kMpegInvalid) return kInvalid;
  frame.bitRate = static_cast<uint32_t>(bitRate) * 1000u;
  frame.sampleRate = static_cast<uint32_t>(sampleRate);
  const uint32_t padding = (h >> 9) & 1;

  // At most 144 * 448000, far inside 32 bits.
  if (frame.layer == 1)
    frame.frameLength = (12u * frame.bitRate / frame.sampleRate + padding) * 4u;
  else if (frame.layer == 3 && frame.version != 1)
    frame.frameLength = 72u * frame.bitRate / frame.sampleRate + padding;
  else
    frame.frameLength = 144u * frame.bitRate / frame.sampleRate + padding;

  return (h & 3) == 2 ? kReservedEmphasis : kValid;
}

int MP3Parser::parseFrame(MP3Frame& frame) {
  uint8_t bytes[4];
  if (readAt(pos_, bytes, sizeof(bytes)) != sizeof(bytes)) return kInvalid;
  frame = MP3Frame();
  frame.header = loadU32BE(bytes);
  const int result = validateFrame(frame);
  if (result != kValid && result != kReservedEmphasis) return result;
  if (frame.frameLength <= 4 || pos_ > fileSize_ || frame.frameLength > fileSize_ - pos_) return kInvalid;
  // The body is not needed, only that it is there: its last byte must
  // arrive (the size given may be stale if the file shrank meanwhile).
  uint8_t last;
  if (readAt(pos_ + frame.frameLength - 1, &last, 1) != 1) return kTruncated;
  return result;
}

uint32_t MP3Parser::toSynchsafeInteger(unsigned int raw) {
  return ((raw >> 24) & 0x7F) << 21 | ((raw >> 16) & 0x7F) << 14 | ((raw >> 8) & 0x7F) << 7 | (raw & 0x7F);
}

int MP3Parser::validateID3v2(ID3v2& tag) const {
  if (std::memcmp(tag.header, "ID3", 3) != 0) return kInvalid;
  tag.size = toSynchsafeInteger(loadU32BE(tag.header + 6));
  if (fileSize_ < sizeof(tag.header) || tag.size > fileSize_ - sizeof(tag.header)) return kInvalid;
  return kValid;
}

int MP3Parser::parseID3v2(ID3v2& tag) {
  tag = ID3v2();
  if (readAt(pos_, tag.header, sizeof(tag.header)) != sizeof(tag.header)) return kInvalid;
  return validateID3v2(tag);
}

int MP3Parser::parse() {
  if (!file_->isOpen()) return kInvalid;
  int frames = 0;
  uint64_t lastFrameEnd = 0;
  pos_ = 0;
  uint8_t peek;
  // Each turn either hops over a whole frame (at most kMp3RequiredFrames
  // of them) or advances one byte, and single-byte steps end past the
  // search window or past the junk allowance after a frame.
  while (readAt(pos_, &peek, 1) == 1) {
    const uint64_t p = pos_;
    // Only an ID3v2 tag or a frame changes the course; any other byte is
    // junk whatever tag it starts, so most bytes need no closer look.
    const int tag = peek == 'I' || peek == 0xFF ? getTypeTag() : kOther;
    if (tag == kID3v2) {
      ID3v2 id3;
      if (parseID3v2(id3) == kValid) return kValid;
    } else if (tag == kFrameSync) {
      MP3Frame frame;
      const int result = parseFrame(frame);
      if (result == kValid || result == kReservedEmphasis || result == kTruncated) {
        if (++frames >= limits::kMp3RequiredFrames) break;
        lastFrameEnd = p + frame.frameLength;
        pos_ = lastFrameEnd;
        continue;
      }
    }
    if (p > limits::kMp3SyncSearchWindow) break;
    if (frames > 0 && p - lastFrameEnd > limits::kMp3MaxJunkBetweenFrames) return kInvalid;
    pos_ = p + 1;
  }
  return frames >= limits::kMp3RequiredFrames ? kValid : kInvalid;
}

// ---- Probes ----------------------------------------------------------------

bool AudioFTAUtils::isWAVFileBased(const std::string& path, unsigned long fileSize) {
  return WAVParser::validateFileStructure(path, fileSize);
}

bool AudioFTAUtils::isMP3FileBased(const std::string& path, unsigned long fileSize) {
  InputFile file(path);
  return isMP3FileBased(file, fileSize);
}

bool AudioFTAUtils::isWAVFileBased(const InputFile& file, unsigned long fileSize) {
  return WAVParser::validateFileStructure(file, fileSize);
}

bool AudioFTAUtils::isMP3FileBased(const InputFile& file, unsigned long fileSize) {
  MP3Parser parser(file, fileSize);
  return parser.parse() == MP3Parser::kValid;
}

}  // namespace kpl
