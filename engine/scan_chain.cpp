#include "engine/scan_chain.h"

#include "archive/archive_chain_steps.h"
#include "detect/package_chain_steps.h"
#include "detect/pdf_probe.h"
#include "detect/rtf_tnef_probe.h"
#include "media/media_chain_steps.h"
#include "office/ole_chain_step.h"
#include "text/text_chain_steps.h"

namespace kpl {

// clang-format off
// The order decides: the first step that recognises a file names it. An
// Office Open XML package is a ZIP archive too, so the package steps (3, 4)
// come before the archive step (5); the ignore marker (1) must win over
// everything, and compound documents (2) are told apart before any probe
// that might take their sectors for something else.
const ChainStep* recognise(const ScanInput& input, DetectionRecord& record) {
  for (const ChainStep& step : scanChain())
    if (step.run != nullptr && step.run(input, record)) return &step;
  return nullptr;
}

const std::vector<ChainStep>& scanChain() {
  static const std::vector<ChainStep> steps = {
    // no  name                      step
    {  1, "archive ignore marker",   &chainStepArchiveIgnore },
    {  2, "compound document",       &chainStepOle },
    {  3, "OpenDocument",            &chainStepOpenDocument },
    {  4, "Office Open XML",         &chainStepOfficeOpenXml },
    {  5, "archive",                 &chainStepArchive },
    {  6, "PDF",                     &chainStepPdf },
    {  7, "image",                   &chainStepImage },
    {  8, "subtitle",                &chainStepSubtitle },
    {  9, "RTF",                     &chainStepRtf },
    { 10, "ASF",                     &chainStepAsf },
    { 11, "Photoshop",               &chainStepPhotoshop },
    { 12, "AMR",                     &chainStepAmr },
    { 13, "Atari executable",        &chainStepAtari },
    { 14, "PST",                     &chainStepPst },
    { 15, "text",                    &chainStepText },
    { 16, "TNEF",                    &chainStepTnef },
    { 17, "AutoCAD",                 &chainStepAutoCad },
    { 18, "WAV",                     &chainStepWav },
    { 19, "MP3",                     &chainStepMp3 },
  };
  return steps;
}
// clang-format on

}  // namespace kpl
