// RTF starts with its group and control word "{\rtf". A TNEF stream (the
// winmail.dat of Outlook mail) starts with the signature 0x223E9F78 (little
// endian), a two-byte key, then its first attribute: level 1 at offset 6,
// the attribute id of TNEF version (0x00089006) at 7, the four-byte length
// at 11 and the version value 0x00010000 at 15.
#include "detect/rtf_tnef_probe.h"

#include "detect/fallback_signatures.h"

namespace kpl {
namespace {

constexpr unsigned char kRtf[] = {'{', '\\', 'r', 't', 'f'};
constexpr unsigned char kTnefSignature[] = {0x78, 0x9F, 0x3E, 0x22};
constexpr unsigned char kTnefVersionTag[] = {0x06, 0x90, 0x08, 0x00};
constexpr unsigned char kTnefVersionValue[] = {0x00, 0x00, 0x01, 0x00};
constexpr uint64_t kTnefMinimumSize = 40;

}  // namespace

bool isRTF(const InputFile& file, uint64_t fileSize) {
  return fileSize >= sizeof(kRtf) && checkBytesMatch(file, kRtf, sizeof(kRtf), 0) == 1;
}

bool isRTF(const std::string& path, unsigned long fileSize) { return isRTF(InputFile(path), fileSize); }

bool isTNEF(const InputFile& file, uint64_t fileSize) {
  if (fileSize < kTnefMinimumSize) return false;
  return checkBytesMatch(file, kTnefSignature, 4, 0) == 1 && checkBytesMatch(file, kTnefVersionTag, 4, 7) == 1 &&
         checkBytesMatch(file, kTnefVersionValue, 4, 15) == 1;
}

bool isTNEF(const std::string& path, unsigned long fileSize) { return isTNEF(InputFile(path), fileSize); }

bool chainStepRtf(const ScanInput& input, DetectionRecord& record) {
  if (!isRTF(input, input.size())) return false;
  record.set("RTF", "text/rtf", "rtf");
  return true;
}

bool chainStepTnef(const ScanInput& input, DetectionRecord& record) {
  if (!isTNEF(input, input.size())) return false;
  record.set("TNEF", "application/ms-tnef", "tnef,dat");
  return true;
}

}  // namespace kpl
