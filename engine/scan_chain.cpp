#include "engine/scan_chain.h"

namespace kpl {

// clang-format off
// The order decides: the first step that recognises a file names it. An
// Office Open XML package is a ZIP archive too, so the package steps (3, 4)
// come before the archive step (5); the ignore marker (1) must win over
// everything, and compound documents (2) are told apart before any probe
// that might take their sectors for something else.
const std::vector<ChainStep>& scanChain() {
  static const std::vector<ChainStep> steps = {
    // no  name                      step
    {  1, "archive ignore marker",   nullptr },
    {  2, "compound document",       &chainStepOle },
    {  3, "OpenDocument",            nullptr },
    {  4, "Office Open XML",         nullptr },
    {  5, "archive",                 nullptr },
    {  6, "PDF",                     nullptr },
    {  7, "image",                   nullptr },
    {  8, "subtitle",                nullptr },
    {  9, "RTF",                     nullptr },
    { 10, "ASF",                     nullptr },
    { 11, "Photoshop",               nullptr },
    { 12, "AMR",                     nullptr },
    { 13, "Atari executable",        nullptr },
    { 14, "PST",                     nullptr },
    { 15, "text",                    nullptr },
    { 16, "TNEF",                    nullptr },
    { 17, "AutoCAD",                 nullptr },
    { 18, "WAV",                     nullptr },
    { 19, "MP3",                     nullptr },
  };
  return steps;
}
// clang-format on

}  // namespace kpl
