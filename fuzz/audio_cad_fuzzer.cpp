// The audio, AutoCAD, Atari and PST probes on arbitrary bytes. They open
// files by path, so each input goes through a temporary file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

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

  char path[] = "/tmp/kpl_audio_cad_fuzz.XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return 0;
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd, data + written, size - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (written == size) {
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
  }
  ::unlink(path);
  return 0;
}
