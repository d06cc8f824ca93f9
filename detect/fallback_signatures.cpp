#include "detect/fallback_signatures.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "catalogue/file_type_catalogue.h"
#include "common/byte_utils.h"
#include "common/json_text.h"

namespace kpl {

std::map<std::string, std::vector<FileSignature>> fallBackSignatures;
std::vector<FileSignature> isoSignatures;

namespace {

// The comparison buffer of checkBytesMatch.
constexpr unsigned int kMaxPatternLength = 50;
constexpr unsigned int kPatternTooLong = 100;

// A hexadecimal number with an optional 0x prefix that fits 16 bits.
bool parseHexToken(const std::string& token, uint16_t& value) {
  std::size_t at = 0;
  if (token.size() >= 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) at = 2;
  if (at == token.size()) return false;
  uint32_t v = 0;
  for (; at < token.size(); ++at) {
    const int digit = ByteUtils::hexDigitValue(static_cast<unsigned char>(token[at]));
    if (digit < 0) return false;
    v = v * 16 + static_cast<uint32_t>(digit);
    if (v > 0xFFFF) return false;
  }
  value = static_cast<uint16_t>(v);
  return true;
}

}  // namespace

FileSignature::FileSignature(std::string pattern, uint32_t offset_, std::string typeId_, std::string mime_,
                             std::string description_, std::string extensions_, uint64_t reserved_)
    : offset(offset_),
      typeId(std::move(typeId_)),
      mime(std::move(mime_)),
      description(std::move(description_)),
      extensions(std::move(extensions_)),
      reserved(reserved_) {
  std::replace(pattern.begin(), pattern.end(), ',', ' ');
  std::istringstream tokens(pattern);
  std::string token;
  uint16_t value = 0;
  while (tokens >> token)
    if (parseHexToken(token, value)) bytes.push_back(static_cast<uint8_t>(value & 0xFF));
}

void initFallBackSignatures() {
  std::vector<FileSignature> group;
  group.reserve(kMsOfficeSignatureRowCount);
  for (std::size_t i = 0; i < kMsOfficeSignatureRowCount; ++i) {
    const FallbackSignatureRow& row = kMsOfficeSignatureRows[i];
    const std::string description = row.description != nullptr ? row.description : describe(row.typeId);
    group.emplace_back(row.pattern, row.offset, row.typeId, row.mime, description, row.extensions, 0);
  }
  fallBackSignatures[kMsOfficeGroup] = std::move(group);
}

void initISOVecSignatures() {
  isoSignatures.clear();
  for (std::size_t i = 0; i < kIsoSignatureOffsetCount; ++i)
    isoSignatures.emplace_back(kIsoSignaturePattern, kIsoSignatureOffsets[i], "data", "", "", "", 0);
}

int findMagicSignatureFallback(const std::string& path, unsigned long fileSize, std::string& typeId,
                               std::string& mime, std::string& description, std::string& extensions) {
  InputFile file(path);
  return findMagicSignatureFallback(file, fileSize, typeId, mime, description, extensions);
}

int findMagicSignatureFallback(const InputFile& file, unsigned long /*fileSize*/, std::string& typeId,
                               std::string& mime, std::string& description, std::string& extensions) {
  const auto group = fallBackSignatures.find(kMsOfficeGroup);
  if (group == fallBackSignatures.end() || group->second.empty()) return 0;
  if (!file.isOpen()) return 0;
  const std::vector<FileSignature>& signatures = group->second;
  const auto matches = [&](const FileSignature& s) {
    return checkBytesMatch(file, s.bytes.data(), static_cast<unsigned int>(s.bytes.size()), s.offset) == 1;
  };
  if (!matches(signatures.front())) return 0;
  for (std::size_t i = 1; i < signatures.size(); ++i) {
    if (!matches(signatures[i])) continue;
    typeId = signatures[i].typeId;
    mime = signatures[i].mime;
    description = signatures[i].description;
    extensions = signatures[i].extensions;
    return 1;
  }
  return 0;
}

unsigned int checkBytesMatch(const InputFile& file, const unsigned char* pattern, unsigned int length,
                             unsigned int offset) {
  if (length > kMaxPatternLength) return kPatternTooLong;
  if (!file.isOpen() || (pattern == nullptr && length > 0)) return 0;
  if (!inBounds(file.size(), offset, length)) return 0;
  unsigned char buffer[kMaxPatternLength];
  if (!file.readExact(offset, buffer, length)) return 0;
  return std::memcmp(buffer, pattern, length) == 0 ? 1 : 0;
}

unsigned int checkBytesMatchWithoutStaticOffset(const unsigned char* data, int dataLength,
                                                const unsigned char* pattern, int patternLength) {
  if (data == nullptr || pattern == nullptr || patternLength <= 0 || patternLength > dataLength) return 0;
  for (int start = 0; start <= dataLength - patternLength; ++start)
    if (std::memcmp(data + start, pattern, static_cast<std::size_t>(patternLength)) == 0) return 1;
  return 0;
}

bool readArbitraryBytesOfFile(const std::string& path, long fileSize, unsigned long count, unsigned char* buffer,
                              bool atStart) {
  InputFile file(path);
  return readArbitraryBytesOfFile(file, fileSize, count, buffer, atStart);
}

bool readArbitraryBytesOfFile(const InputFile& file, long fileSize, unsigned long count, unsigned char* buffer,
                              bool atStart) {
  const unsigned long limit = fileSize > 0 ? static_cast<unsigned long>(fileSize) : 0;
  count = std::min(count, limit);
  if (!file.isOpen()) return true;
  if (buffer == nullptr || count == 0) return false;
  // The last `count` bytes of the file as it is now; a file shorter than
  // the caller believed is read from its start.
  const uint64_t offset = atStart || count >= file.size() ? 0 : file.size() - count;
  file.readAt(offset, buffer, count);
  return false;
}

namespace {

std::string hexBytes(const unsigned char* data, int length, bool reversed) {
  std::string text;
  if (data == nullptr || length <= 0) return text;
  text.reserve(static_cast<std::size_t>(length) * 2);
  for (int i = 0; i < length; ++i) json_text::appendHexByte(text, data[reversed ? length - 1 - i : i]);
  return text;
}

}  // namespace

std::string convertHexaBytesToStringWithBigEndian(const unsigned char* data, int length) {
  return hexBytes(data, length, false);
}

std::string convertHexaBytesToStringWithLittleEndian(const unsigned char* data, int length) {
  return hexBytes(data, length, true);
}

}  // namespace kpl
