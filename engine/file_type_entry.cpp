#include "engine/file_type_entry.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "archive/archive_fta_utils.h"
#include "catalogue/file_type_catalogue.h"
#include "common/byte_reader.h"
#include "common/common_utils.h"
#include "detect/extension_rules.h"
#include "engine/result_json.h"
#include "engine/scan.h"
#include "engine/string_store.h"
#include "text/text_based_fta_utils.h"

namespace kpl {

const std::unordered_set<std::string> textBasedExtensions = {"TXT", "CSV"};

namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::string> splitAtSlash(const std::string& typeId) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t slash; (slash = typeId.find('/', start)) != std::string::npos; start = slash + 1)
    parts.push_back(typeId.substr(start, slash - start));
  parts.push_back(typeId.substr(start));
  return parts;
}

// A volume of a split archive: the archive's own probe says the piece in
// hand is not a whole archive.
void applySplitVolume(const InputFile& file, const std::string& ext, std::string& typeId, std::string& mime,
                      std::string& description, std::string& extensions) {
  if (!ArchiveFTAUtils::isSplitExtension(ext) || !ArchiveFTAUtils::isArchiveFileType(typeId)) return;
  const auto probe = ArchiveFTAUtils::splitFuntionHandler.find(typeId);
  if (probe == ArchiveFTAUtils::splitFuntionHandler.end()) return;
  if (!file.isOpen() || !probe->second(file, file.size())) return;
  if (typeId == "7Z" || typeId == "GZ" || typeId == "XZ") {
    mime = "application/octet-stream";
  } else {
    const auto known = ArchiveFTAUtils::splitMimeType.find(typeId);
    if (known != ArchiveFTAUtils::splitMimeType.end()) mime = known->second;
  }
  typeId = "SPLIT_ARC";
  description = describe(typeId);
  extensions.clear();
}

}  // namespace

int fileTypeOf(const char* path, const char* extension, const char** resultJson) {
  unsigned int status = 0;
  const char* scanned = nullptr;
  if (path == nullptr) return scanFile(path, &status, &scanned);
  // One open file for the scan and the split-volume probe after it, which
  // so reads the bytes the scan read.
  const ScanInput input(path);
  const int rc = scanFile(input, &status, &scanned);
  if (rc != 0) return rc;
  if (scanned == nullptr) return 0;

  // The answer is read back from the JSON as scan wrote it, escapes and all:
  // what the host would have read is what gets refined.
  const std::string json = scanned;
  freeString(&scanned);
  std::string typeId = CommonUtils::getValueOf("typeID", json);
  std::string mime = CommonUtils::getValueOf("type", json);
  std::string description = CommonUtils::getValueOf("description", json);
  std::string extensions = CommonUtils::getValueOf("extensions", json);
  bool encrypted = CommonUtils::getValueOf("encrypted", json) == "true";
  std::string ext = upper(extension != nullptr ? extension : "");
  if (typeId.empty() || mime.empty()) return 0;

  applySplitVolume(input, ext, typeId, mime, description, extensions);
  changeFTAElementsBasedOnExtension(typeId, mime, description, extensions, encrypted, ext);

  std::vector<std::string> typeIds = splitAtSlash(typeId);
  if (textBasedExtensions.count(ext) != 0 && textBasedExtensions.count(typeIds.back()) != 0) typeId = ext;
  if (shouldAddExtensionToTypeIds(typeId)) {
    const std::string reported = alterFileExtension(ext);
    if (!reported.empty() && std::find(typeIds.begin(), typeIds.end(), reported) == typeIds.end())
      typeIds.push_back(reported);
  }
  if ((extensions == "xml" && ext != "XML") || (extensions == "tar" && ext == "OVA")) {
    const std::string own = CommonUtils::toLowerAscii(ext);
    if (TextBasedFTAUtils::setXMLBasedExt.count(own) != 0) extensions += "," + own;
  }
  if (typeId == "data" &&
      std::find(MisMatchExtensions.begin(), MisMatchExtensions.end(), ext) != MisMatchExtensions.end())
    extensions = "-";

  const std::string refined = createOutputJson(typeId, mime, description, extensions, encrypted, typeIds);
  // A host that passes no receiver gets nothing registered that it could
  // never give back.
  if (resultJson != nullptr) *resultJson = addString(refined.c_str());
  return 0;
}

}  // namespace kpl
