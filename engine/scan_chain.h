// The analyzer chain of scan: nineteen steps tried in order until one
// recognises the file. Each step is a probe plus what its recognition
// writes; a step whose analyzer is not built yet is absent (null) and the
// chain moves on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/detection_record.h"

namespace kpl {

// Returns true when the file was recognised; the record is then complete
// and no later step runs. A step never throws on malformed input.
using ChainProbe = bool (*)(const std::string& path, uint64_t size, DetectionRecord& record);

struct ChainStep {
  int number;        // 1..19, the order that decides
  const char* name;  // for diagnostics and tests
  ChainProbe run;    // null while the analyzer is absent
};

// The steps in order.
const std::vector<ChainStep>& scanChain();

// Step adapters, each defined beside its analyzer. They bind the analyzer's
// probe to the record it writes.
bool chainStepArchiveIgnore(const std::string& path, uint64_t size, DetectionRecord& record);   // 1, archive/
bool chainStepOle(const std::string& path, uint64_t size, DetectionRecord& record);             // 2, office/
bool chainStepOpenDocument(const std::string& path, uint64_t size, DetectionRecord& record);    // 3, detect/
bool chainStepOfficeOpenXml(const std::string& path, uint64_t size, DetectionRecord& record);   // 4, detect/
bool chainStepArchive(const std::string& path, uint64_t size, DetectionRecord& record);         // 5, archive/
bool chainStepPdf(const std::string& path, uint64_t size, DetectionRecord& record);             // 6, detect/
bool chainStepImage(const std::string& path, uint64_t size, DetectionRecord& record);           // 7, media/
bool chainStepSubtitle(const std::string& path, uint64_t size, DetectionRecord& record);        // 8, media/
bool chainStepRtf(const std::string& path, uint64_t size, DetectionRecord& record);             // 9, detect/
bool chainStepAsf(const std::string& path, uint64_t size, DetectionRecord& record);             // 10, media/
bool chainStepPhotoshop(const std::string& path, uint64_t size, DetectionRecord& record);       // 11, media/
bool chainStepAmr(const std::string& path, uint64_t size, DetectionRecord& record);             // 12, media/
bool chainStepAtari(const std::string& path, uint64_t size, DetectionRecord& record);           // 13, media/
bool chainStepPst(const std::string& path, uint64_t size, DetectionRecord& record);             // 14, media/
bool chainStepText(const std::string& path, uint64_t size, DetectionRecord& record);            // 15, text/
bool chainStepTnef(const std::string& path, uint64_t size, DetectionRecord& record);            // 16, detect/
bool chainStepAutoCad(const std::string& path, uint64_t size, DetectionRecord& record);         // 17, media/
bool chainStepWav(const std::string& path, uint64_t size, DetectionRecord& record);             // 18, media/
bool chainStepMp3(const std::string& path, uint64_t size, DetectionRecord& record);             // 19, media/

}  // namespace kpl
