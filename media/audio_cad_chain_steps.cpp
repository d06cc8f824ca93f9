// The AMR, Atari, PST, AutoCAD, WAV and MP3 steps of the scan chain: each
// binds its probe to the record its recognition writes.
#include "media/amr_fta_utils.h"
#include "media/atari_fta_utils.h"
#include "media/audio_fta_utils.h"
#include "media/autocad_util.h"
#include "media/media_chain_steps.h"
#include "media/pst_fta_utils.h"

namespace kpl {

bool chainStepAmr(const ScanInput& input, DetectionRecord& record) {
  if (!AMRFTAUtils::isAMRFileBased(input, input.size())) return false;
  record.set("AMR", "audio/amr", "amr");
  return true;
}

bool chainStepAtari(const ScanInput& input, DetectionRecord& record) {
  // A malformed load file (2) is left to the later stages.
  if (AtariFTAUtils::isAtariFileBased(input, input.size()) != AtariFTAUtils::kAtariExecutable) return false;
  record.set("XEX/EXE", "application/x-dosdriver", "xex,exe");
  return true;
}

bool chainStepPst(const ScanInput& input, DetectionRecord& record) {
  if (!PSTFTAUtils::isPSTFileBased(input, input.size())) return false;
  record.set("PST", "application/vnd.ms-outlook", "pst");
  return true;
}

bool chainStepAutoCad(const ScanInput& input, DetectionRecord& record) {
  AutoCADExts kind = AUTOCAD_EXT_NONE;
  const AutoCADTypes type = AutoCADUtil::determineAutoCADType(input, input.size(), kind);
  if (type == AUTOCAD_NONE) return false;
  AutoCADUtil::adjustAutoCADTypes(type, kind, record.typeId, record.mime, record.extensions, record.description);
  return true;
}

bool chainStepWav(const ScanInput& input, DetectionRecord& record) {
  if (!AudioFTAUtils::isWAVFileBased(input, input.size())) return false;
  record.set("WAV", "audio/wav", "wav");
  return true;
}

bool chainStepMp3(const ScanInput& input, DetectionRecord& record) {
  if (!AudioFTAUtils::isMP3FileBased(input, input.size())) return false;
  record.set("MP3", "audio/mp3", "mp3");
  return true;
}

}  // namespace kpl
