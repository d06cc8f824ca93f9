// The media steps of the scan chain: images, subtitles, ASF containers,
// Photoshop documents, AMR, Atari executables, PST files, AutoCAD drawings,
// WAV and MP3.
#pragma once

#include "catalogue/chain_step.h"

namespace kpl {

bool chainStepImage(const ScanInput& input, DetectionRecord& record);
bool chainStepSubtitle(const ScanInput& input, DetectionRecord& record);
bool chainStepAsf(const ScanInput& input, DetectionRecord& record);
bool chainStepPhotoshop(const ScanInput& input, DetectionRecord& record);
bool chainStepAmr(const ScanInput& input, DetectionRecord& record);
bool chainStepAtari(const ScanInput& input, DetectionRecord& record);
bool chainStepPst(const ScanInput& input, DetectionRecord& record);
bool chainStepAutoCad(const ScanInput& input, DetectionRecord& record);
bool chainStepWav(const ScanInput& input, DetectionRecord& record);
bool chainStepMp3(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
