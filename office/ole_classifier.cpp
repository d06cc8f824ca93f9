// Classification of compound documents by the streams of the root storage.
// Stream names are matched exactly and case-sensitively, and only in the
// root storage: the formats told apart here all keep their marker streams
// there. Encryption of Word files is the FIB's fEncrypted bit; Excel and
// PowerPoint files are judged by their verifiers (legacy_encryption.h).
#include "office/ole_classifier.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "archive/archive_fta_utils.h"
#include "catalogue/file_type_catalogue.h"
#include "office/legacy_encryption.h"

namespace kpl {

namespace {

constexpr unsigned long kMinCompoundFileSize = 512;

// Word FIB: the flags word at offset 10 (fDot bit 0, fEncrypted bit 8).
constexpr int kFibFlagsOffset = 10;
constexpr short kWorkbookGlobals = 0x0005;
constexpr int kTemplateSearchRecords = 4;

// Ichitaro: bytes 48 to 95 of the segment information are a password
// hash, all zero in a document without a password.
constexpr int32_t kJtdSegmentInfoMinSize = 96;
constexpr int kJtdPasswordStart = 48;
constexpr const char kJtdcMarker[] = "JustCompressedDocument";
constexpr int kJtdcMarkerOffset = 2;
constexpr int kJtdcHeaderSize = 38;

// CompObj: a 28-byte header, then the length-prefixed ANSI user type.
constexpr int kCompObjUserTypeLength = 28;
constexpr int kCompObjUserType = 32;

bool hasStream(CFStorage& root, const char* name) {
  CFStream stream;
  return root.getStream(name, stream) == 0;
}

const OLEResultRow* resultRow(unsigned int code) {
  for (std::size_t i = 0; i < kOLEResultRowCount; ++i)
    if (kOLEResultRows[i].code == code) return &kOLEResultRows[i];
  return nullptr;
}

using ProbeWithFlag = unsigned int (*)(CFStorage&, bool&);
using Probe = unsigned int (*)(CFStorage&);

// Adapters so that the sequence below is one table; probes without a flag
// leave it as it was.
template <Probe P>
unsigned int withoutFlag(CFStorage& root, bool&) {
  return P(root);
}

// clang-format off
// The order decides: a file holding both a Word and a Workbook stream is a
// Word document, and a signed installer package carrying the merge-module
// stream is a package (isMSI) rather than a merge module (isMSM).
const ProbeWithFlag kProbes[] = {
  &OLEFTAUtil::isDOC,
  &OLEFTAUtil::isPPT,
  &withoutFlag<&OLEFTAUtil::isMSI>,
  &OLEFTAUtil::isXLS,
  &OLEFTAUtil::isVSD,
  &OLEFTAUtil::isJTD,
  &withoutFlag<&OLEFTAUtil::isJTDC>,
  &withoutFlag<&OLEFTAUtil::isHWP>,
  &withoutFlag<&OLEFTAUtil::isSUO>,
  &withoutFlag<&OLEFTAUtil::isMPP>,
  &withoutFlag<&OLEFTAUtil::isMSM>,
  &withoutFlag<&OLEFTAUtil::isEncryptedMSOffice2007>,
};
// clang-format on

}  // namespace

unsigned int OLEFTAUtil::isOLEFileType(const std::string& path, unsigned long fileSize, std::string& typeId,
                                       std::string& mime, std::string& extensions, std::string& description,
                                       bool& encrypted) {
  if (fileSize < kMinCompoundFileSize) return OLE_NONE;
  InputFile input(path);
  return isOLEFileType(input, typeId, mime, extensions, description, encrypted);
}

unsigned int OLEFTAUtil::isOLEFileType(const InputFile& input, std::string& typeId, std::string& mime,
                                       std::string& extensions, std::string& description, bool& encrypted) {
  if (input.size() < kMinCompoundFileSize) return OLE_NONE;
  CompoundFile file;
  const int opened = file.open(input);
  if (opened == 2) return OLE_DAMAGED;
  if (opened != 0) return OLE_NONE;
  CFStorage root = file.getRootStorage();

  for (ProbeWithFlag probe : kProbes) {
    bool flag = encrypted;  // committed only when the probe matches
    const unsigned int code = probe(root, flag);
    if (code == OLE_NONE) continue;
    if (code == OLE_DAMAGED) {
      // Only a Word stream without its flags word ends the sequence; the
      // other probes that report damage simply do not match.
      if (probe == kProbes[0]) return OLE_DAMAGED;
      continue;
    }
    const OLEResultRow* row = resultRow(code);
    if (row == nullptr) continue;
    if (code == OLE_MSO_ENCRYPTED) flag = true;
    const char* id = flag && row->encryptedTypeId != nullptr ? row->encryptedTypeId : row->typeId;
    description = describe(id);
    typeId = id;
    mime = row->mime;
    extensions = row->extensions;
    encrypted = flag;
    return code;
  }
  return OLE_NONE;
}

unsigned int OLEFTAUtil::isDOC(CFStorage& root, bool& encrypted) {
  CFStream word;
  if (root.getStream("WordDocument", word) != 0) return OLE_NONE;
  const std::vector<uint8_t> flags = word.read(kFibFlagsOffset, 2);
  if (flags.empty()) return OLE_DAMAGED;
  // A stream that ends inside the flags word has no encryption bit; such a
  // document is taken as not encrypted.
  if (flags.size() >= 2) encrypted = (flags[1] & 0x01) != 0;
  return (flags[0] & 0x01) != 0 ? OLE_DOT : OLE_DOC;
}

unsigned int OLEFTAUtil::isPPT(CFStorage& root, bool& encrypted) {
  if (!hasStream(root, "PowerPoint Document")) return OLE_NONE;
  encrypted = PowerPoint2003::checkIsEncryptedWithDefaults(root);
  return OLE_PPT;
}

unsigned int OLEFTAUtil::isMSI(CFStorage& root) {
  if (std::memcmp(root.GetDirEntryData().clsid(), msiCLSID, sizeof msiCLSID) != 0) return OLE_NONE;
  CFStream stream;
  if (hasStream(root, digitalSignature) || hasStream(root, msiDigitalSignature) ||
      root.getStream(mergeModuleStream, 10, stream) != 0)
    return OLE_MSI;
  return OLE_NONE;
}

unsigned int OLEFTAUtil::isXLS(CFStorage& root, bool& encrypted) {
  CFStream book;
  if (root.getStream("Workbook", book) != 0 && root.getStream("Book", book) != 0 &&
      root.getStream("WORKBOOK", book) != 0)
    return OLE_NONE;
  if (book.read(0, 1).empty()) return OLE_XLS;
  encrypted = false;
  unsigned int code = OLE_XLS;
  const int size = book.size();

  Excel2003::Record bof;
  if (Excel2003::searchStreamForRecord(book, size, Excel2003::BOF_RECORD, bof) != 0) return code;
  short substream = 0;
  if (Excel2003::parseBOF(bof, substream) != 0 || substream != kWorkbookGlobals) return code;

  Excel2003::Record record;
  const int afterBof = bof.offset + bof.size + 4;
  Excel2003::RecordWalk nextRecords;
  nextRecords.startOffset = afterBof;
  nextRecords.maxRecords = kTemplateSearchRecords;
  if (Excel2003::findRecord(book, size, nextRecords, Excel2003::TEMPLATE_RECORD, record) == 0)
    code = OLE_XLT;
  // BIFF5 and older workbooks were only ever obfuscated with schemes this
  // engine does not judge; only BIFF8 (parseBOF) reaches this point.
  if (Excel2003::searchStreamForRecord(book, size, Excel2003::FILEPASS_RECORD, record) == 0)
    Excel2003::parseFilePass(record, encrypted);
  return code;
}

unsigned int OLEFTAUtil::isVSD(CFStorage& root, bool&) {
  return hasStream(root, "VisioDocument") ? OLE_VSD : OLE_NONE;
}

unsigned int OLEFTAUtil::isJTD(CFStorage& root, bool& encrypted) {
  CFStream segment;
  if (!hasStream(root, "\x04" "JSRV_SummaryInformation") || !hasStream(root, "Font") ||
      !hasStream(root, "DocumentViewStyles") || root.getStream("\x04" "JSRV_SegmentInformation", segment) != 0)
    return OLE_NONE;
  if (segment.size() < 0) return OLE_DAMAGED;
  if (segment.size() < kJtdSegmentInfoMinSize) return OLE_NONE;
  const std::vector<uint8_t> data = segment.read(0, kJtdSegmentInfoMinSize);
  if (data.size() < static_cast<std::size_t>(kJtdSegmentInfoMinSize)) return OLE_DAMAGED;
  if (std::any_of(data.begin() + kJtdPasswordStart, data.end(), [](uint8_t b) { return b != 0; }))
    encrypted = true;
  return OLE_JTD;
}

unsigned int OLEFTAUtil::isJTDC(CFStorage& root) {
  CFStream compressed;
  if (root.getStream("JSCompDocument", compressed) != 0) return OLE_NONE;
  char* data = nullptr;
  const int size = compressed.getData(&data);
  if (data == nullptr || size <= 0) {
    OLEUtil::freePtr(&data);
    return OLE_DAMAGED;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  unsigned long skip = 0;
  const std::size_t markerLength = sizeof kJtdcMarker - 1;
  if (size > 24 && std::memcmp(bytes + kJtdcMarkerOffset, kJtdcMarker, markerLength) == 0) skip = kJtdcHeaderSize;
  // A marked stream of 25 to 37 bytes has nothing after its header.
  const bool lzh = skip < static_cast<unsigned long>(size) &&
                   carriesLzhArchive(bytes + skip, static_cast<unsigned long>(size) - skip);
  OLEUtil::freePtr(&data);
  return lzh ? OLE_JTDC : OLE_NONE;
}

bool OLEFTAUtil::carriesLzhArchive(const unsigned char* data, unsigned long size) {
  return ArchiveFTAUtils::checkArchiveSignBytes(data, size) == ArchiveType::Lzh;
}

unsigned int OLEFTAUtil::isHWP(CFStorage& root) {
  return hasStream(root, "\x05" "HwpSummaryInformation") ? OLE_HWP : OLE_NONE;
}

unsigned int OLEFTAUtil::isSUO(CFStorage& root) { return hasStream(root, "ProjInfoEx") ? OLE_SUO : OLE_NONE; }

unsigned int OLEFTAUtil::isMPP(CFStorage& root) {
  CFStream compObj;
  if (root.getStream("\x01" "CompObj", compObj) != 0) return OLE_NONE;
  const std::vector<uint8_t> field = compObj.read(kCompObjUserTypeLength, 4);
  if (field.size() < 4) return OLE_DAMAGED;
  const uint32_t length = loadU32LE(field.data());
  if (length == 0 || length > 0x7FFFFFFF) return OLE_DAMAGED;
  const std::vector<uint8_t> text = compObj.read(kCompObjUserType, static_cast<int>(length));
  if (text.empty()) return OLE_DAMAGED;
  // The user type as far as the stream delivered it, up to its zero byte.
  std::string userType(text.begin(), std::find(text.begin(), text.end(), 0));
  std::transform(userType.begin(), userType.end(), userType.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return userType.find("microsoft") != std::string::npos && userType.find("project") != std::string::npos
             ? OLE_MPP
             : OLE_NONE;
}

unsigned int OLEFTAUtil::isMSM(CFStorage& root) {
  CFStream stream;
  return root.getStream(mergeModuleStream, 10, stream) == 0 ? OLE_MSM : OLE_NONE;
}

unsigned int OLEFTAUtil::isEncryptedMSOffice2007(CFStorage& root) {
  return hasStream(root, "EncryptedPackage") ? OLE_MSO_ENCRYPTED : OLE_NONE;
}

}  // namespace kpl
