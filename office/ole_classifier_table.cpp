// Names, class identifiers and result rows of the compound-document
// classifier. Data only.
#include "office/ole_classifier.h"

namespace kpl {

// clang-format off
const OLEResultRow kOLEResultRows[] = {
  // code               type identifier   encrypted variant  MIME type                        extensions
  { OLE_DOC,            "DOC",            "DOC-ENCRYPTED",   "application/msword",            "doc" },
  { OLE_DOT,            "DOT",            "DOT-ENCRYPTED",   "application/msword",            "dot" },
  { OLE_PPT,            "PPT",            "PPT-ENCRYPTED",   "application/vnd.ms-powerpoint", "ppt" },
  { OLE_MSI,            "MSI",            nullptr,           "application/x-msi",             "msi" },
  { OLE_XLS,            "XLS",            "XLS-ENCRYPTED",   "application/vnd.ms-excel",      "xls" },
  { OLE_XLT,            "XLT",            "XLT-ENCRYPTED",   "application/vnd.ms-excel",      "xlt" },
  { OLE_VSD,            "VSD",            nullptr,           "application/vnd.visio",         "vsd" },
  { OLE_JTD,            "JTD",            "JTD-ENCRYPTED",   "application/vnd.ms-office",     "jtd" },
  { OLE_JTDC,           "JTDC",           nullptr,           "application/vnd.ms-office",     "jtdc" },
  { OLE_HWP,            "HWP",            nullptr,           "application/x-hwp",             "hwp" },
  { OLE_SUO,            "SUO",            nullptr,           "application/CDFV2",             "suo" },
  { OLE_MPP,            "MPP",            nullptr,           "application/vnd.ms-project",    "mpp" },
  { OLE_MSM,            "MSM",            nullptr,           "application/octet-stream",      "msm" },
  { OLE_MSO_ENCRYPTED,  "MSO-ENCRYPTED",  "MSO-ENCRYPTED",   "application/encrypted",
    "docx,docm,xlsx,xlsb,xlsm,xltx,xltm,pptx,pptm,ppsx,ppsm,potx,potm" },
};
// clang-format on
const std::size_t kOLEResultRowCount = sizeof kOLEResultRows / sizeof kOLEResultRows[0];

// The stream an installer merge module carries (its name in the installer
// database's compressed name encoding), matched on these ten units only.
const short mergeModuleStream[10] = {0x4216, 0x42B5, 0x3DA8, 0x41F2, 0x43F8, 0x47A8, 0x3A8C, 0x430B, 0x4231, 0x4837};

const char digitalSignature[] = "\x05" "DigitalSignature";
const char msiDigitalSignature[] = "\x05" "MsiDigitalSignatureEx";

// {000C1084-0000-0000-C000-000000000046}, as stored in a directory entry.
const uint8_t msiCLSID[16] = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                              0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

}  // namespace kpl
