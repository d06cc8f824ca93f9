// Which kind of compound document a file is: Word, Excel and PowerPoint
// documents and templates (encrypted ones too), installer packages and
// merge modules, Visio drawings, Ichitaro and Hangul documents, Visual
// Studio solution options, Project plans, and Office Open XML documents
// encrypted into a compound file. The first of a fixed sequence of probes
// over the root storage that matches decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "office/compound_file.h"

namespace kpl {

// Classification codes of isOLEFileType and its probes (7, 8, 17 and 18
// are not produced).
enum OLEFileType : unsigned int {
  OLE_NONE = 0,
  OLE_DAMAGED = 1,
  OLE_DOC = 2,
  OLE_DOT = 3,
  OLE_XLS = 4,
  OLE_XLT = 5,
  OLE_PPT = 6,
  OLE_MSO_ENCRYPTED = 9,
  OLE_JTD = 10,
  OLE_JTDC = 11,
  OLE_HWP = 12,
  OLE_SUO = 13,
  OLE_MPP = 14,
  OLE_MSM = 15,
  OLE_VSD = 16,
  OLE_MSI = 19,
};

// What a classification code writes into the detection record.
struct OLEResultRow {
  unsigned int code;
  const char* typeId;
  const char* encryptedTypeId;  // null: the code has no encrypted variant
  const char* mime;
  const char* extensions;
};

// Tables (ole_classifier_table.cpp).
extern const OLEResultRow kOLEResultRows[];
extern const std::size_t kOLEResultRowCount;
extern const short mergeModuleStream[10];  // looked up as a prefix
extern const char digitalSignature[];
extern const char msiDigitalSignature[];
extern const uint8_t msiCLSID[16];

class OLEFTAUtil {
 public:
  // 0 not a compound file this engine classifies; 1 damaged (the header
  // fails the format check, or the Word stream has no flags); otherwise the
  // code of the first matching probe, with the record and flag written.
  static unsigned int isOLEFileType(const std::string& path, unsigned long fileSize, std::string& typeId,
                                    std::string& mime, std::string& extensions, std::string& description,
                                    bool& encrypted);
  static unsigned int isOLEFileType(const InputFile& input, std::string& typeId, std::string& mime,
                                    std::string& extensions, std::string& description, bool& encrypted);

  static unsigned int isDOC(CFStorage& root, bool& encrypted);
  static unsigned int isPPT(CFStorage& root, bool& encrypted);
  static unsigned int isMSI(CFStorage& root);
  static unsigned int isXLS(CFStorage& root, bool& encrypted);
  static unsigned int isVSD(CFStorage& root, bool& encrypted);
  static unsigned int isJTD(CFStorage& root, bool& encrypted);
  static unsigned int isJTDC(CFStorage& root);
  static unsigned int isHWP(CFStorage& root);
  static unsigned int isSUO(CFStorage& root);
  static unsigned int isMPP(CFStorage& root);
  static unsigned int isMSM(CFStorage& root);
  static unsigned int isEncryptedMSOffice2007(CFStorage& root);

  // Whether the bytes of a compressed Ichitaro stream carry an LZH archive,
  // by the archive signature table.
  static bool carriesLzhArchive(const unsigned char* data, unsigned long size);
};

}  // namespace kpl
