// The compound-document step of the scan chain.
#include "office/ole_chain_step.h"
#include "office/ole_classifier.h"

namespace kpl {

bool chainStepOle(const ScanInput& input, DetectionRecord& record) {
  const unsigned int code = OLEFTAUtil::isOLEFileType(input, record.typeId,
                                                      record.mime, record.extensions, record.description,
                                                      record.encrypted);
  if (code == OLE_NONE) return false;
  // A damaged compound document is reported as generic data rather than
  // handed to libmagic, which would name it a compound file regardless.
  if (code == OLE_DAMAGED) record.setData();
  return true;
}

}  // namespace kpl
