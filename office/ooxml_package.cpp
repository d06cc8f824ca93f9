#include "office/ooxml_package.h"

#include <cctype>
#include <cstring>

#include "archive/zip_archive.h"
#include "archive/zip_member_reader.h"
#include "catalogue/file_type_catalogue.h"
#include "common/common_utils.h"
#include "common/scan_input.h"
#include "text/html_tag_reader.h"

namespace kpl {

namespace {

bool findInFamily(MsOfficeFamily family, const std::string& contentTypes, MsOfficeTypes& type) {
  type = MSO_ZIP;
  for (const MsOfficeContentTypeRow& row : msOfficeContentTypeRows) {
    if (row.family != family || !CommonUtils::contains(contentTypes, row.contentType)) continue;
    type = row.type;
    return true;
  }
  return false;
}

// The relationship pattern, written for a quote character q:
//   Relationship (.+)=q(.+)q (.+)=q(.+)q (.+)=q(.+)q(.+)?
// matched case-insensitively against the whole tag, "." taking any byte
// but a line feed or carriage return. Greedy groups make the first name
// as long as possible, then the first value, and so on; so each delimiter
// stands at the last place from which the later ones still fit, found here
// from the right. That is linear where a backtracking matcher is not, on
// tags of any length.
bool matchRelationship(const std::string& tag, char q, std::string (&pairs)[3][2]) {
  static const char kPrefix[] = "relationship ";
  const std::size_t prefixLength = sizeof kPrefix - 1;
  if (tag.size() < prefixLength || CommonUtils::toLowerAscii(tag.substr(0, prefixLength)) != kPrefix) return false;
  if (tag.find_first_of("\r\n") != std::string::npos) return false;
  const std::string open = std::string("=") + q, close = std::string(1, q) + " ";
  const std::string delimiters[6] = {open, close, open, close, open, std::string(1, q)};
  std::size_t at[6];
  std::size_t bound = tag.size();  // delimiter k must end at or before this
  for (int k = 5; k >= 0; --k) {
    const std::string& d = delimiters[k];
    if (bound < d.size()) return false;
    const std::size_t j = tag.rfind(d, bound - d.size());
    if (j == std::string::npos || j == 0) return false;
    at[k] = j;
    bound = j - 1;  // one byte at least for the group before it
  }
  if (at[0] < prefixLength + 1) return false;
  std::size_t from = prefixLength;
  for (int k = 0; k < 6; ++k) {
    pairs[k / 2][k % 2] = tag.substr(from, at[k] - from);
    from = at[k] + delimiters[k].size();
  }
  return true;
}

}  // namespace

std::string getMainFileName(const std::string& target) {
  for (std::size_t i = 0; i < target.size(); ++i)
    if (std::isalpha(static_cast<unsigned char>(target[i]))) return target.substr(i);
  return target;
}

bool MSOffice2007::checkRelTypeInsideList(const std::vector<std::string>& list, const std::string& relType) {
  for (const std::string& entry : list)
    if (relType.find(entry) != std::string::npos) return true;
  return false;
}

bool MSOffice2007::isDOCXFamilyType(const std::string& text, MsOfficeTypes& type) {
  return findInFamily(MsOfficeFamily::word, text, type);
}
bool MSOffice2007::isXLSXFamilyType(const std::string& text, MsOfficeTypes& type) {
  return findInFamily(MsOfficeFamily::excel, text, type);
}
bool MSOffice2007::isPPTXFamilyType(const std::string& text, MsOfficeTypes& type) {
  return findInFamily(MsOfficeFamily::powerPoint, text, type);
}
bool MSOffice2007::isVisioFamilyType(const std::string& text, MsOfficeTypes& type) {
  return findInFamily(MsOfficeFamily::visio, text, type);
}

bool MSOffice2007::splitRelationshipTag(const std::string& tag, std::string (&pairs)[3][2]) {
  return matchRelationship(tag, '"', pairs) || matchRelationship(tag, '\'', pairs);
}

std::string MSOffice2007::findMainFileFromRels(ZipMemberReader& package, const std::vector<std::string>& relTypes) {
  if (!package.contains(mainRel)) return std::string();
  const ZipMemberOutput* out = package.read(mainRel);
  if (out == nullptr) return std::string();
  // Only 7za's output carries its complaints about a damaged archive.
  const std::string text = out->fromTool ? removeErrorFrom7z(out->bytes) : std::string();
  const std::string& relationships = out->fromTool ? text : out->bytes;
  if (relationships.empty()) return std::string();
  // A relationship part the reader gives up on part-way still names its
  // main part among the tags read before that.
  HTMLReader reader;
  reader.readFromString(relationships);
  for (const std::string& tag : reader.getListFullTag()) {
    std::string pairs[3][2];
    if (!splitRelationshipTag(tag, pairs)) continue;
    bool found = false;
    // A matching type restarts the walk, so that a target written before
    // the type is still taken.
    for (int i = 0; i < 3; ++i) {
      const std::string name = CommonUtils::toLowerAscii(pairs[i][0]);
      if (name == "type" && !found && checkRelTypeInsideList(relTypes, pairs[i][1])) {
        found = true;
        i = -1;
      } else if (name == "target" && found) {
        return getMainFileName(pairs[i][1]);
      }
    }
    if (found) return std::string();
  }
  return std::string();
}

MsOfficeTypes MSOffice2007::checkOfficeType(ZipMemberReader& package) {
  if (!package.file().isOpen()) return MSO_ZIP;
  const std::vector<std::string> relTypes = {relMainType, relVisioMainType};
  const std::string mainPart = findMainFileFromRels(package, relTypes);
  if (mainPart.empty()) return MSO_ZIP;
  // The directory lookup takes the name's length as 16 bits.
  if (!package.contains(std::string_view(mainPart).substr(0, mainPart.size() & 0xFFFFu))) return MSO_ZIP;
  const ZipMemberOutput* contentTypes = package.read(contentTypesXml);
  if (contentTypes == nullptr) return MSO_ZIP;
  const std::string& text = contentTypes->bytes;
  MsOfficeTypes type = MSO_ZIP;
  if (isDOCXFamilyType(text, type) || isXLSXFamilyType(text, type) || isPPTXFamilyType(text, type) ||
      isVisioFamilyType(text, type))
    return type;
  return MSO_ZIP;
}

MsOfficeTypes MSOffice2007::checkOfficeType(const std::string& path) {
  const ScanInput input(path);
  ZipMemberReader package(input);
  return checkOfficeType(package);
}

void MSOffice2007::adjustMsOfficeTypes(MsOfficeTypes type, std::string& typeId, std::string& mime,
                                       std::string& extensions, std::string& description, bool& encrypted) {
  static const std::string kZipMime = "application/zip";
  const MsOfficeRecordRow* row = &msOfficeRecordRows.front();
  for (const MsOfficeRecordRow& candidate : msOfficeRecordRows)
    if (candidate.type == type) row = &candidate;
  typeId = row->typeId;
  mime = row->mime ? *row->mime : kZipMime;
  extensions = row->extensions;
  description = describe(typeId);
  if (row->type == MSO_ZIP_ENCRYPTED) encrypted = true;
}

}  // namespace kpl
