// Chain steps 12 (AMR), 13 (Atari), 14 (PST), 17 (AutoCAD), 18 (WAV) and
// 19 (MP3): each binds its probe to the record its recognition writes.
#include "engine/scan_chain.h"
#include "media/amr_fta_utils.h"
#include "media/atari_fta_utils.h"
#include "media/audio_fta_utils.h"
#include "media/autocad_util.h"
#include "media/pst_fta_utils.h"

namespace kpl {

bool chainStepAmr(const std::string& path, uint64_t size, DetectionRecord& record) {
  if (!AMRFTAUtils::isAMRFileBased(path, size)) return false;
  record.set("AMR", "audio/amr", "amr");
  return true;
}

bool chainStepAtari(const std::string& path, uint64_t size, DetectionRecord& record) {
  // A malformed load file (2) is left to the later stages.
  if (AtariFTAUtils::isAtariFileBased(path, size) != AtariFTAUtils::kAtariExecutable) return false;
  record.set("XEX/EXE", "application/x-dosdriver", "xex,exe");
  return true;
}

bool chainStepPst(const std::string& path, uint64_t size, DetectionRecord& record) {
  if (!PSTFTAUtils::isPSTFileBased(path, size)) return false;
  record.set("PST", "application/vnd.ms-outlook", "pst");
  return true;
}

bool chainStepAutoCad(const std::string& path, uint64_t size, DetectionRecord& record) {
  AutoCADExts kind = AUTOCAD_EXT_NONE;
  const AutoCADTypes type = AutoCADUtil::determineAutoCADType(path, size, kind);
  if (type == AUTOCAD_NONE) return false;
  AutoCADUtil::adjustAutoCADTypes(type, kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

bool chainStepWav(const std::string& path, uint64_t size, DetectionRecord& record) {
  if (!AudioFTAUtils::isWAVFileBased(path, size)) return false;
  record.set("WAV", "audio/wav", "wav");
  return true;
}

bool chainStepMp3(const std::string& path, uint64_t size, DetectionRecord& record) {
  if (!AudioFTAUtils::isMP3FileBased(path, size)) return false;
  record.set("MP3", "audio/mp3", "mp3");
  return true;
}

}  // namespace kpl
