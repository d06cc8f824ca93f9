// Fallback signature data. Data only: one row per signature, in the order
// that decides.
#include "detect/fallback_signatures.h"

namespace kpl {

const char* const kMsOfficeGroup = "MSOFFICE";

// clang-format off
// Row order decides between overlapping rows: the publisher row
// FD FF FF FF 02 is a prefix of the first worksheet row FD FF FF FF 02 00,
// so it is only reached when the byte after 02 is neither 00 nor 02. The
// "0xxx" tokens of the thumbnail row are not hexadecimal numbers and are
// dropped, leaving the 9 bytes FD FF FF FF 00 04 00 00 00.
const FallbackSignatureRow kMsOfficeSignatureRows[] = {
  // pattern                                                         offset typeId      mime                               extensions description
  {"0xD0 0xCF 0x11 0xE0 0xA1 0xB1 0x1A 0xE1",                          0, "MSOFFICE", "",                                "",        ""},
  {"0xEC 0xA5 0xC1 0x00",                                            512, "DOC",      "application/msword",              "doc",     nullptr},
  {"0xA0 0x46 0x1D 0xF0",                                            512, "PPT",      "application/vnd.ms-powerpoint",   "ppt",     nullptr},
  {"0x00 0x6E 0x1E 0xF0",                                            512, "PPT",      "application/vnd.ms-powerpoint",   "ppt",     nullptr},
  {"0x0F 0x00 0xE8 0x03",                                            512, "PPT",      "application/vnd.ms-powerpoint",   "ppt",     nullptr},
  {"0xA0 0x46 0x1D 0xF0",                                            512, "PPT",      "application/vnd.ms-powerpoint",   "ppt",     nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x0e 0x00 0x00 0x00",                        512, "PPT",      "application/vnd.ms-powerpoint",   "ppt",     nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x1c 0x00 0x00 0x00",                        512, "PPT",      "application/vnd.ms-powerpoint",   "ppt",     nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x43 0x00 0x00 0x00",                        512, "PPT",      "application/vnd.ms-powerpoint",   "ppt",     nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x02 0x00",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x10 0x00",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x1f 0x00",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x22 0x00",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x23 0x00",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x28 0x00",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x29 0x00",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x02 0x02",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x10 0x02",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x1f 0x02",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x22 0x02",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x23 0x02",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x28 0x02",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x29 0x02",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0xEC 0x01",                                  512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x20 0x00 0x00 0x00",                        512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0x09 0x08 0x10 0x00 0x00 0x06 0x05 0x00",                        512, "XLS",      "application/vnd.ms-excel",        "xls,xla", nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x02",                                       512, "PUB",      "application/vnd.ms-office",       "pub",     nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x04",                                       512, "SUO",      "application/CDFV2",               "suo",     nullptr},
  {"0xFD 0xFF 0xFF 0xFF 0x00 0xxx 0xxx 0xxx 0xxx 0xxx 0xxx 0xxx 0x04 0x00 0x00 0x00",
                                                                     512, "DB",       "application/CDFV2-unknown",       "db",      "Windows Thumbnail Database"},
};
// clang-format on
const std::size_t kMsOfficeSignatureRowCount = sizeof kMsOfficeSignatureRows / sizeof kMsOfficeSignatureRows[0];

// ISO 9660: the standard identifier "CD001" one byte into the volume
// descriptors of sectors 16, 17 and 18 (2048-byte sectors).
const char* const kIsoSignaturePattern = "0x43 0x44 0x30 0x30 0x31";
const uint32_t kIsoSignatureOffsets[] = {32769, 34817, 36865};
const std::size_t kIsoSignatureOffsetCount = sizeof kIsoSignatureOffsets / sizeof kIsoSignatureOffsets[0];

}  // namespace kpl
