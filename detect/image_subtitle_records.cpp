#include "detect/image_subtitle_records.h"

#include "detect/file_type_catalogue.h"

namespace kpl {

namespace {

struct KindRecord {
  unsigned char kind;
  const char* typeId;
  const char* mime;
  const char* extensions;
};

// clang-format off
const KindRecord kImageRecords[] = {
  // kind  type id  MIME type      extensions
  { 2,     "BMP",   "image/bmp",   "bmp"      },
  { 3,     "EMF",   "image/x-emf", "emf"      },
  { 6,     "PNG",   "image/png",   "png"      },
  { 7,     "PNS",   "image/png",   "pns"      },
  { 8,     "TIFF",  "image/tiff",  "tif,tiff" },
  { 9,     "JPG",   "image/jpeg",  "jpg"      },
};

const KindRecord kSubtitleRecords[] = {
  // kind  type id  MIME type                   extensions
  { 1,     "PAC",   "application/octet-stream", "pac" },
  { 2,     "890",   "application/octet-stream", "890" },
};
// clang-format on

template <std::size_t N>
void writeRecord(const KindRecord (&table)[N], unsigned char kind, std::string& typeId, std::string& mime,
                 std::string& extensions, std::string& description) {
  typeId = "data";
  mime = "application/octet-stream";
  extensions.clear();
  for (const KindRecord& row : table) {
    if (row.kind == kind) {
      typeId = row.typeId;
      mime = row.mime;
      extensions = row.extensions;
      break;
    }
  }
  description = describe(typeId);
}

}  // namespace

void adjustImageTypes(unsigned char kind, std::string& typeId, std::string& mime, std::string& extensions,
                      std::string& description) {
  writeRecord(kImageRecords, kind, typeId, mime, extensions, description);
}

void adjustSubtitleTypes(unsigned char kind, std::string& typeId, std::string& mime, std::string& extensions,
                         std::string& description) {
  writeRecord(kSubtitleRecords, kind, typeId, mime, extensions, description);
}

}  // namespace kpl
