// The audio, AutoCAD, Atari and PST probes on arbitrary bytes. They open
// files by path, so each input goes through a temporary file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_temp_file.h"
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

  kpl::fuzz::TempInput input(data, size);
  if (!input.ok()) return 0;
  const std::string& path = input.path();
  kpl::AMRFTAUtils::isAMRFileBased(path, size);
  kpl::AtariFTAUtils::isAtariFileBased(path, size);
  kpl::PSTFTAUtils::isPSTFileBased(path, size);
  kpl::AutoCADExts kind;
  const kpl::AutoCADTypes type = kpl::AutoCADUtil::determineAutoCADType(path, size, kind);
  std::string id, mime, ext, description;
  kpl::AutoCADUtil::adjustAutoCADTypes(type, kind, id, mime, ext, description);
  if (type != kpl::AUTOCAD_NONE && description.empty()) std::abort();
  kpl::AudioFTAUtils::isWAVFileBased(path, size);
  kpl::AudioFTAUtils::isMP3FileBased(path, size);
  // A size that disagrees with the file, as when it changes under a scan.
  kpl::AudioFTAUtils::isMP3FileBased(path, size + 4096);
  kpl::AtariFTAUtils::isAtariFileBased(path, size / 2);
  return 0;
}
