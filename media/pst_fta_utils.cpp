#include "media/pst_fta_utils.h"

#include "common/byte_reader.h"

namespace kpl {

namespace {

constexpr unsigned long kMinimumPstSize = 512;
constexpr unsigned long kMinimumUnicodePstSize = 564;  // the Unicode header's length
constexpr std::size_t kCommonHeaderSize = 24;
constexpr uint64_t kAnsiSentinelAt = 460;
constexpr uint64_t kUnicodeSentinelAt = 512;
constexpr uint8_t kSentinel = 0x80;
constexpr uint8_t kPlatform = 0x01;

bool isAnsiVersion(uint16_t version) { return version == 14 || version == 15; }

}  // namespace

bool PSTFTAUtils::readPSTHeader(const std::string& path, unsigned long fileSize, PSTHeader& out) {
  InputFile file(path);
  return readPSTHeader(file, fileSize, out);
}

bool PSTFTAUtils::readPSTHeader(const InputFile& file, unsigned long fileSize, PSTHeader& out) {
  out = PSTHeader();
  if (!file.isOpen()) return false;
  uint8_t common[kCommonHeaderSize];
  if (!file.readExact(0, common, sizeof(common))) return false;
  ByteReader r(common, sizeof(common));
  out.magic = r.u32le(0);
  out.crcPartial = r.u32le(4);
  out.magicClient = r.u16le(8);
  out.version = r.u16le(10);
  out.clientVersion = r.u16le(12);
  out.platformCreate = r.u8(14);
  out.platformAccess = r.u8(15);
  out.reserved1 = r.u32le(16);
  out.reserved2 = r.u32le(20);
  out.unicode = !isAnsiVersion(out.version);
  if (out.unicode && fileSize < kMinimumUnicodePstSize) return false;

  uint8_t tail[2];
  if (!file.readExact(out.unicode ? kUnicodeSentinelAt : kAnsiSentinelAt, tail, sizeof(tail))) return false;
  out.sentinel = tail[0];
  out.cryptMethod = tail[1];
  return true;
}

bool PSTFTAUtils::isPSTFileBased(const std::string& path, unsigned long fileSize) {
  if (fileSize < kMinimumPstSize) return false;
  InputFile file(path);
  return isPSTFileBased(file, fileSize);
}

bool PSTFTAUtils::isPSTFileBased(const InputFile& file, unsigned long fileSize) {
  if (fileSize < kMinimumPstSize) return false;
  PSTHeader header;
  if (!readPSTHeader(file, fileSize, header)) return false;
  if (header.magic != loadU32LE(reinterpret_cast<const uint8_t*>("!BDN"))) return false;
  const bool knownCrypt = header.cryptMethod == 0 || header.cryptMethod == 1 || header.cryptMethod == 2 ||
                          header.cryptMethod == 0x10;
  return header.magicClient == loadU16LE(reinterpret_cast<const uint8_t*>("SM")) &&
         header.platformCreate == kPlatform && header.platformAccess == kPlatform && header.sentinel == kSentinel &&
         knownCrypt;
}

}  // namespace kpl
