// The analyzer chain of scan: nineteen steps tried in order until one
// recognises the file. Each step is a probe plus what its recognition
// writes; a step whose analyzer is not built yet is absent (null) and the
// chain moves on.
#pragma once

#include <vector>

#include "common/scan_input.h"
#include "engine/detection_record.h"

namespace kpl {

// Returns true when the file was recognised; the record is then complete
// and no later step runs. A step never throws on malformed input. Every step
// reads the scan's one input; none opens the file again.
using ChainProbe = bool (*)(const ScanInput& input, DetectionRecord& record);

struct ChainStep {
  int number;        // 1..19, the order that decides
  const char* name;  // for diagnostics and tests
  ChainProbe run;    // null while the analyzer is absent
};

// The steps in order.
const std::vector<ChainStep>& scanChain();

// Step adapters, each defined beside its analyzer. They bind the analyzer's
// probe to the record it writes.
bool chainStepArchiveIgnore(const ScanInput& input, DetectionRecord& record);                  // 1, archive/
bool chainStepOle(const ScanInput& input, DetectionRecord& record);                            // 2, office/
bool chainStepOpenDocument(const ScanInput& input, DetectionRecord& record);                   // 3, detect/
bool chainStepOfficeOpenXml(const ScanInput& input, DetectionRecord& record);                  // 4, detect/
bool chainStepArchive(const ScanInput& input, DetectionRecord& record);                        // 5, archive/
bool chainStepPdf(const ScanInput& input, DetectionRecord& record);                            // 6, detect/
bool chainStepImage(const ScanInput& input, DetectionRecord& record);                          // 7, media/
bool chainStepSubtitle(const ScanInput& input, DetectionRecord& record);                       // 8, media/
bool chainStepRtf(const ScanInput& input, DetectionRecord& record);                            // 9, detect/
bool chainStepAsf(const ScanInput& input, DetectionRecord& record);                            // 10, media/
bool chainStepPhotoshop(const ScanInput& input, DetectionRecord& record);                      // 11, media/
bool chainStepAmr(const ScanInput& input, DetectionRecord& record);                            // 12, media/
bool chainStepAtari(const ScanInput& input, DetectionRecord& record);                          // 13, media/
bool chainStepPst(const ScanInput& input, DetectionRecord& record);                            // 14, media/
bool chainStepText(const ScanInput& input, DetectionRecord& record);                           // 15, text/
bool chainStepTnef(const ScanInput& input, DetectionRecord& record);                           // 16, detect/
bool chainStepAutoCad(const ScanInput& input, DetectionRecord& record);                        // 17, media/
bool chainStepWav(const ScanInput& input, DetectionRecord& record);                            // 18, media/
bool chainStepMp3(const ScanInput& input, DetectionRecord& record);                            // 19, media/

}  // namespace kpl
