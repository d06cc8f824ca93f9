// The audio, AutoCAD, Atari and PST probes on arbitrary bytes, read from
// memory.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "media/amr_fta_utils.h"
#include "media/atari_fta_utils.h"
#include "media/audio_fta_utils.h"
#include "media/autocad_util.h"
#include "media/pst_fta_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = [] {
    kpl::AutoCADUtil::init();
    return true;
  }();
  (void)initialised;

  const kpl::InputFile file = kpl::InputFile::fromBytes(std::vector<uint8_t>(data, data + size));
  kpl::AMRFTAUtils::isAMRFileBased(file, size);
  kpl::AtariFTAUtils::isAtariFileBased(file, size);
  kpl::PSTFTAUtils::isPSTFileBased(file, size);
  kpl::AutoCADExts kind;
  const kpl::AutoCADTypes type = kpl::AutoCADUtil::determineAutoCADType(file, size, kind);
  std::string id, mime, ext, description;
  kpl::AutoCADUtil::adjustAutoCADTypes(type, kind, id, mime, ext, description);
  if (type != kpl::AUTOCAD_NONE && description.empty()) std::abort();
  kpl::AudioFTAUtils::isWAVFileBased(file, size);
  kpl::AudioFTAUtils::isMP3FileBased(file, size);
  // A size that disagrees with the file, as when it changes under a scan.
  kpl::AudioFTAUtils::isMP3FileBased(file, size + 4096);
  kpl::AtariFTAUtils::isAtariFileBased(file, size / 2);
  return 0;
}
