// PDF and Illustrator files: the header probe, the Illustrator marker search
// and the password test through libqpdf.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/chain_step.h"
#include "common/byte_reader.h"

namespace kpl {

enum PdfKind : unsigned char {
  PdfNone = 0,
  PdfDocument = 1,
  PdfIllustrator = 2,  // a PDF carrying Illustrator metadata
};

// 0 not a PDF, 1 PDF, 2 Illustrator. A "%PDF-d.d" header must start within
// the first 1021 bytes of the first kilobyte; an EMF that embeds one is not
// a PDF. The whole file is then searched for "/AIMetaData" in 1024-byte
// blocks (an occurrence across a block boundary is not seen).
unsigned char classifyPDFType(const std::string& path, unsigned long fileSize);
unsigned char classifyPDFType(const InputFile& file, uint64_t fileSize);

// True when the PDF cannot be opened without a password (a file with only
// an owner password opens, so it is not protected).
bool isPDFPasswordProtection(const std::string& path);
bool isPDFPasswordProtection(const InputFile& file);

// The chain step: "PDF", "AI" or "PDF-ENCRYPTED" (Illustrator files too).
bool chainStepPdf(const ScanInput& input, DetectionRecord& record);

}  // namespace kpl
