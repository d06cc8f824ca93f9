// The post-classification probes on arbitrary bytes, all from memory: the
// byte forms, then the rule tree over the bytes as a scan's input, with the
// record the mapping table might have left chosen by the first byte.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalogue/file_type_catalogue.h"
#include "detect/fallback_signatures.h"
#include "detect/post_classification.h"

namespace {

struct Preset {
  const char *typeId, *mime, *extensions, *description;
};

// One record per rule that reads the file.
const Preset kPresets[] = {
    {"XML", "text/xml", "xml", "XML document"},
    {"DB", "application/x-ole-storage", "db", "Composite Document File V2 Document"},
    {"data", "video/mp4", "", "ISO Media"},
    {"DAT", "video/x-mpeg", "dat", "RIFF data"},
    {"data", "application/zip", "zip", "Zip archive data"},
    {"data", "application/octet-stream", "doc", "data"},
    {"data", "text/plain", "pz2", "data"},
    {"data", "application/zlib", "", "zlib compressed data"},
    {"data", "application/octet-stream", "", "Atari ATR image"},
    {"data", "application/octet-stream", "", "data"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    kpl::initISOVecSignatures();
    kpl::initFallBackSignatures();
    return true;
  }();
  (void)ready;
  if (kpl::closingTagKind(data, size) > kpl::ClosingTagHTML) std::abort();
  const unsigned char kind = kpl::mediaContainerKind(data, size);
  if (kind != kpl::MediaNone && kpl::mediaContainerRecord(kind) == nullptr) std::abort();
  kpl::isDMGTrailer(data, size);
  kpl::isATRHeader(data, size, size);

  if (size == 0) return 0;
  const kpl::ScanInput input = kpl::ScanInput::fromBytes(std::vector<uint8_t>(data, data + size));
  const Preset& p = kPresets[data[0] % (sizeof(kPresets) / sizeof(kPresets[0]))];
  std::string t = p.typeId, m = p.mime, e = p.extensions, d = p.description;
  bool encrypted = false;
  kpl::adjustFileTypeDetection(input, size, t, m, e, d, encrypted);
  // Whatever identifier a rule wrote is a catalogue key (describe throws
  // otherwise); a preset left alone need not be one.
  if (t != p.typeId && kpl::describe(t).empty()) std::abort();
  return 0;
}
