// Chain step 2: compound documents.
#include "engine/scan_chain.h"
#include "office/ole_classifier.h"

namespace kpl {

bool chainStepOle(const std::string& path, uint64_t size, DetectionRecord& record) {
  const unsigned int code = OLEFTAUtil::isOLEFileType(path, static_cast<unsigned long>(size), record.typeId,
                                                      record.mime, record.extensions, record.description,
                                                      record.encrypted);
  if (code == OLE_NONE) return false;
  // A damaged compound document is reported as generic data rather than
  // handed to libmagic, which would name it a compound file regardless.
  if (code == OLE_DAMAGED) record.setData();
  return true;
}

}  // namespace kpl
