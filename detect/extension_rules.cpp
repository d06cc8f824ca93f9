#include "detect/extension_rules.h"

#include <algorithm>

#include "catalogue/file_type_catalogue.h"
#include "common/common_utils.h"

namespace kpl {
namespace {

bool isOneOf(const std::string& value, std::initializer_list<const char*> options) {
  return std::any_of(options.begin(), options.end(), [&](const char* o) { return value == o; });
}

}  // namespace

void changeFTAElementsBasedOnExtension(std::string& typeId, std::string& mime, std::string& description,
                                       std::string& extensions, bool& encrypted, const std::string& extension) {
  if (extension.empty() || typeId.empty()) return;
  const auto siblings = listTypeIdAlterByExtension.find(typeId);
  if (siblings == listTypeIdAlterByExtension.end()) return;
  for (const std::string& candidate : siblings->second)
    if (candidate == extension) {
      getInformationBasedOnExtension(extension, typeId, mime, description, extensions, encrypted);
      return;
    }
}

bool getInformationBasedOnExtension(const std::string& extension, std::string& typeId, std::string& mime,
                                    std::string& description, std::string& extensions, bool& encrypted) {
  encrypted = false;
  // PowerPoint and Visio 2003-2010 siblings keep the detected encryption.
  auto keepEncryption = [&](const std::string& id) {
    if (typeId.find("ENCRYPTED") == std::string::npos) return id;
    encrypted = true;
    return id + "-ENCRYPTED";
  };
  const std::string own = CommonUtils::toLowerAscii(extension);
  std::string newId, newMime, newExtensions;
  if (isOneOf(extension, {"PPT", "POT", "PPS"})) {
    newId = keepEncryption(extension), newMime = "application/vnd.ms-powerpoint", newExtensions = own;
  } else if (isOneOf(extension, {"MHT", "MHTML"})) {
    newId = "MHT", newMime = "application/x-mimearchive", newExtensions = "mht,mhtml";
  } else if (extension == "EML") {
    newId = "EML", newMime = "message/rfc822", newExtensions = "eml";
  } else if (isOneOf(extension, {"VSD", "VSS", "VST"})) {
    newId = keepEncryption(extension), newMime = "application/visio", newExtensions = own;
  } else if (isOneOf(extension, {"VDX", "VSX", "VTX"})) {
    newId = extension, newMime = "application/visio", newExtensions = own;
  } else {
    return false;
  }
  typeId = newId;
  mime = newMime;
  description = describe(typeId);
  extensions = newExtensions;
  return true;
}

std::string alterFileExtension(std::string extension) {
  const auto it = listAlterExtensions.find(extension);
  return it == listAlterExtensions.end() ? extension : it->second;
}

bool shouldAddExtensionToTypeIds(std::string typeId) {
  return std::find(listTypeIdwithNoExtensions.begin(), listTypeIdwithNoExtensions.end(), typeId) ==
         listTypeIdwithNoExtensions.end();
}

}  // namespace kpl
