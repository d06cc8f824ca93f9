// PIM archives.
#pragma once

#include "archive/archive_fta_utils.h"

namespace kpl {

class InputFile;

// PIM archives in their two header forms ("\2PIM", type 43, and "PIM2",
// type 44): a name, two sizes, and either the end of the file or the next
// header right after the data.
class PIMArchive {
 public:
  static bool isPIM(const InputFile& file, const unsigned long& fileSize, const ArchiveType& type);
};

}  // namespace kpl
