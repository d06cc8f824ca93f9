// Office Open XML package tables: relationship types, MIME types, what each
// kind writes, and the main parts' content types.
#include "office/ooxml_package.h"

namespace kpl {

// clang-format off
const std::string relMainType      = "relationships/officeDocument";
const std::string relVisioMainType = "relationships/document";
const std::string mainRel          = "_rels/.rels";
const std::string contentTypesXml  = "[Content_Types].xml";

const std::string mimeDOCX = "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
const std::string mimeDOTX = "application/vnd.openxmlformats-officedocument.wordprocessingml.template";
const std::string mimeDOTM = "application/vnd.ms-word.template.macroEnabled.12";
const std::string mimeDOCM = "application/vnd.ms-word.document.macroEnabled.12";
const std::string mimeXLSX = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
const std::string mimeXLSM = "application/vnd.ms-excel.sheet.macroEnabled.12";
const std::string mimeXLTX = "application/vnd.openxmlformats-officedocument.spreadsheetml.template";
const std::string mimeXLTM = "application/vnd.ms-excel.template.macroEnabled.12";
const std::string mimeXLSB = "application/vnd.ms-excel.sheet.binary.macroEnabled.12";
const std::string mimeXLAM = "application/vnd.ms-excel.addin.macroEnabled.12";
const std::string mimePPTX = "application/vnd.openxmlformats-officedocument.presentationml.presentation";
const std::string mimePPTM = "application/vnd.ms-powerpoint.presentation.macroEnabled.12";
const std::string mimePPSX = "application/vnd.openxmlformats-officedocument.presentationml.slideshow";
const std::string mimePPSM = "application/vnd.ms-powerpoint.slideshow.macroEnabled.12";
const std::string mimePOTX = "application/vnd.openxmlformats-officedocument.presentationml.template";
const std::string mimePOTM = "application/vnd.ms-powerpoint.template.macroEnabled.12";
const std::string mimeXPS  = "application/vnd.ms-xpsdocument";
const std::string mimeOXPS = "application/oxps";
const std::string mimeVSDX = "application/vnd.ms-visio.drawing";
const std::string mimeVSDM = "application/vnd.ms-visio.drawing.macroEnabled";
const std::string mimeVSSX = "application/vnd.ms-visio.stencil";
const std::string mimeVSSM = "application/vnd.ms-visio.stencil.macroEnabled";
const std::string mimeVSTX = "application/vnd.ms-visio.template";
const std::string mimeVSTM = "application/vnd.ms-visio.template.macroEnabled";

const std::vector<MsOfficeRecordRow> msOfficeRecordRows = {
  // kind                type id          MIME type   extensions
  { MSO_ZIP,           "ZIP",           nullptr,    "zip,zipx" },
  { MSO_DOCX,          "DOCX",          &mimeDOCX,  "docx" },
  { MSO_DOCM,          "DOCM",          &mimeDOCM,  "docm" },
  { MSO_DOTM,          "DOTM",          &mimeDOTM,  "dotm" },
  { MSO_DOTX,          "DOTX",          &mimeDOTX,  "dotx" },
  { MSO_PPTX,          "PPTX",          &mimePPTX,  "pptx" },
  { MSO_PPTM,          "PPTM",          &mimePPTM,  "pptm" },
  { MSO_PPSX,          "PPSX",          &mimePPSX,  "ppsx" },
  { MSO_PPSM,          "PPSM",          &mimePPSM,  "ppsm" },
  { MSO_POTX,          "POTX",          &mimePOTX,  "potx" },
  { MSO_POTM,          "POTM",          &mimePOTM,  "potm" },
  { MSO_XLSX,          "XLSX",          &mimeXLSX,  "xlsx" },
  { MSO_XLSM,          "XLSM",          &mimeXLSM,  "xlsm" },
  { MSO_XLSB,          "XLSB",          &mimeXLSB,  "xlsb" },
  { MSO_XLAM,          "XLAM",          &mimeXLAM,  "xlam" },
  { MSO_XLTX,          "XLTX",          &mimeXLTX,  "xltx" },
  { MSO_XLTM,          "XLTM",          &mimeXLTM,  "xltm" },
  { MSO_XPS,           "XPS",           &mimeXPS,   "xps" },
  { MSO_OXPS,          "OXPS",          &mimeOXPS,  "oxps" },
  { MSO_VSDX,          "VSDX",          &mimeVSDX,  "vsdx" },
  { MSO_VSDM,          "VSDM",          &mimeVSDM,  "vsdm" },
  { MSO_VSSX,          "VSSX",          &mimeVSSX,  "vssx" },
  { MSO_VSSM,          "VSSM",          &mimeVSSM,  "vssm" },
  { MSO_VSTX,          "VSTX",          &mimeVSTX,  "vstx" },
  { MSO_VSTM,          "VSTM",          &mimeVSTM,  "vstm" },
  { MSO_ZIP_ENCRYPTED, "ZIP-ENCRYPTED", nullptr,    "zip,zipx" },
};

// A PowerPoint add-in has no kind of its own and counts as macro-enabled
// presentation. The binary workbook's content type has no "+xml".
const std::vector<MsOfficeContentTypeRow> msOfficeContentTypeRows = {
  // family                      main part content type                                                              kind
  { MsOfficeFamily::word,       "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml",     MSO_DOCX },
  { MsOfficeFamily::word,       "application/vnd.ms-word.document.macroEnabled.main+xml",                              MSO_DOCM },
  { MsOfficeFamily::word,       "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml",     MSO_DOTX },
  { MsOfficeFamily::word,       "application/vnd.ms-word.template.macroEnabledTemplate.main+xml",                      MSO_DOTM },
  { MsOfficeFamily::excel,      "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",          MSO_XLSX },
  { MsOfficeFamily::excel,      "application/vnd.ms-excel.sheet.macroEnabled.main+xml",                                MSO_XLSM },
  { MsOfficeFamily::excel,      "application/vnd.ms-excel.addin.macroEnabled.main+xml",                                MSO_XLAM },
  { MsOfficeFamily::excel,      "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml",       MSO_XLTX },
  { MsOfficeFamily::excel,      "application/vnd.ms-excel.template.macroEnabled.main+xml",                             MSO_XLTM },
  { MsOfficeFamily::excel,      "application/vnd.ms-excel.sheet.binary.macroEnabled.main",                             MSO_XLSB },
  { MsOfficeFamily::powerPoint, "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml",   MSO_PPTX },
  { MsOfficeFamily::powerPoint, "application/vnd.ms-powerpoint.presentation.macroEnabled.main+xml",                    MSO_PPTM },
  { MsOfficeFamily::powerPoint, "application/vnd.openxmlformats-officedocument.presentationml.template.main+xml",       MSO_POTX },
  { MsOfficeFamily::powerPoint, "application/vnd.ms-powerpoint.template.macroEnabled.main+xml",                        MSO_POTM },
  { MsOfficeFamily::powerPoint, "application/vnd.openxmlformats-officedocument.presentationml.slideshow.main+xml",      MSO_PPSX },
  { MsOfficeFamily::powerPoint, "application/vnd.ms-powerpoint.slideshow.macroEnabled.main+xml",                       MSO_PPSM },
  { MsOfficeFamily::powerPoint, "application/vnd.ms-powerpoint.addin.macroEnabled.main+xml",                           MSO_PPTM },
  { MsOfficeFamily::visio,      "application/vnd.ms-visio.drawing.main+xml",                                           MSO_VSDX },
  { MsOfficeFamily::visio,      "application/vnd.ms-visio.drawing.macroEnabled.main+xml",                              MSO_VSDM },
  { MsOfficeFamily::visio,      "application/vnd.ms-visio.stencil.main+xml",                                           MSO_VSSX },
  { MsOfficeFamily::visio,      "application/vnd.ms-visio.stencil.macroEnabled.main+xml",                              MSO_VSSM },
  { MsOfficeFamily::visio,      "application/vnd.ms-visio.template.main+xml",                                          MSO_VSTX },
  { MsOfficeFamily::visio,      "application/vnd.ms-visio.template.macroEnabled.main+xml",                             MSO_VSTM },
};
// clang-format on

}  // namespace kpl
