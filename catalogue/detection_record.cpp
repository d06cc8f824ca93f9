#include "catalogue/detection_record.h"

#include "catalogue/file_type_catalogue.h"

namespace kpl {

void DetectionRecord::set(const std::string& id, const std::string& mimeType, const std::string& extensionList) {
  description = describe(id);
  typeId = id;
  mime = mimeType;
  extensions = extensionList;
}

void DetectionRecord::setData() { set("data", "application/octet-stream", ""); }

}  // namespace kpl
