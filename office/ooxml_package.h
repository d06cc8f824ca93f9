// Office Open XML packages: Word, Excel, PowerPoint and Visio documents,
// templates, shows, add-ins and their macro-enabled variants. All are ZIP
// packages; the kind is read from two parts. "_rels/.rels" names the main
// part (the relationship whose type ends in officeDocument, or document for
// Visio), which must exist in the ZIP directory, and "[Content_Types].xml"
// declares that part's content type, which names the kind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kpl {

class InputFile;
class ZipMemberReader;

enum MsOfficeTypes : uint8_t {
  MSO_ZIP = 0,
  MSO_DOCX = 1,
  MSO_DOCM = 2,
  MSO_DOTM = 3,
  MSO_DOTX = 4,
  MSO_PPTX = 5,
  MSO_PPTM = 6,
  MSO_PPSX = 7,
  MSO_PPSM = 8,
  MSO_POTX = 9,
  MSO_POTM = 10,
  MSO_XLSX = 11,
  MSO_XLSM = 12,
  MSO_XLSB = 13,
  MSO_XLAM = 14,
  MSO_XLTX = 15,
  MSO_XLTM = 16,
  MSO_XPS = 17,
  MSO_OXPS = 18,
  MSO_VSDX = 19,
  MSO_VSDM = 20,
  MSO_VSSX = 21,
  MSO_VSSM = 22,
  MSO_VSTX = 23,
  MSO_VSTM = 24,
  MSO_ZIP_ENCRYPTED = 25,
};

// Relationship types and part names.
extern const std::string relMainType;
extern const std::string relVisioMainType;
extern const std::string mainRel;
extern const std::string contentTypesXml;
// MIME types written for each kind.
extern const std::string mimeDOCX, mimeDOTX, mimeDOTM, mimeDOCM;
extern const std::string mimeXLSX, mimeXLSM, mimeXLTX, mimeXLTM, mimeXLSB, mimeXLAM;
extern const std::string mimePPTX, mimePPTM, mimePPSX, mimePPSM, mimePOTX, mimePOTM;
extern const std::string mimeXPS, mimeOXPS;
extern const std::string mimeVSDX, mimeVSDM, mimeVSSX, mimeVSSM, mimeVSTX, mimeVSTM;

// What a kind writes into the detection record.
struct MsOfficeRecordRow {
  MsOfficeTypes type;
  const char* typeId;
  const std::string* mime;  // null: "application/zip"
  const char* extensions;
};
extern const std::vector<MsOfficeRecordRow> msOfficeRecordRows;

// A main part's content type and the kind it names, per family, in the
// order they are searched.
enum class MsOfficeFamily : uint8_t { word, excel, powerPoint, visio };
struct MsOfficeContentTypeRow {
  MsOfficeFamily family;
  const char* contentType;
  MsOfficeTypes type;
};
extern const std::vector<MsOfficeContentTypeRow> msOfficeContentTypeRows;

// The text after a relationship target's leading non-letters
// ("/word/document.xml" -> "word/document.xml"); a target without any
// letter is returned unchanged.
std::string getMainFileName(const std::string& target);

class MSOffice2007 {
 public:
  // The package's kind, or MSO_ZIP when it cannot be told.
  static MsOfficeTypes checkOfficeType(ZipMemberReader& package);
  static MsOfficeTypes checkOfficeType(const std::string& path);

  static void adjustMsOfficeTypes(MsOfficeTypes type, std::string& typeId, std::string& mime,
                                  std::string& extensions, std::string& description, bool& encrypted);

  // The main part named by "_rels/.rels" through the first relationship
  // whose type holds one of relTypes, or "".
  static std::string findMainFileFromRels(ZipMemberReader& package, const std::vector<std::string>& relTypes);
  // Whether some entry of the list occurs in relType (case-sensitive).
  static bool checkRelTypeInsideList(const std::vector<std::string>& list, const std::string& relType);

  // Each sets type to MSO_ZIP, then to the first kind of its family whose
  // content type occurs in the text; true when it found one.
  static bool isDOCXFamilyType(const std::string& contentTypes, MsOfficeTypes& type);
  static bool isXLSXFamilyType(const std::string& contentTypes, MsOfficeTypes& type);
  static bool isPPTXFamilyType(const std::string& contentTypes, MsOfficeTypes& type);
  static bool isVisioFamilyType(const std::string& contentTypes, MsOfficeTypes& type);

  // One relationship tag ("Relationship Id=\"..\" Type=\"..\" Target=\"..\"/")
  // split into three name/value pairs, attributes in double quotes tried
  // before single quotes. False when the tag is not of that shape (a line
  // break inside, fewer than three attributes). With more than three, the
  // first name takes in the extra attributes, as a greedy pattern would.
  static bool splitRelationshipTag(const std::string& tag, std::string (&pairs)[3][2]);
};

}  // namespace kpl
