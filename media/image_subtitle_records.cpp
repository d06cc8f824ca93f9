#include "media/image_subtitle_records.h"

#include "catalogue/file_type_catalogue.h"

namespace kpl {

namespace {

template <typename Kind>
struct KindRecord {
  Kind kind;
  const char* typeId;
  const char* mime;
  const char* extensions;
};

// clang-format off
const KindRecord<ImageType> kImageRecords[] = {
  // kind            type id  MIME type      extensions
  { ImageBMP,        "BMP",   "image/bmp",   "bmp"      },
  { ImageEMF,        "EMF",   "image/x-emf", "emf"      },
  { ImagePNG,        "PNG",   "image/png",   "png"      },
  { ImagePNGStereo,  "PNS",   "image/png",   "pns"      },
  { ImageTIFF,       "TIFF",  "image/tiff",  "tif,tiff" },
  { ImageJPGEXIF,    "JPG",   "image/jpeg",  "jpg"      },
};

const KindRecord<SubtitleType> kSubtitleRecords[] = {
  // kind            type id  MIME type                   extensions
  { SubtitlePAC,     "PAC",   "application/octet-stream", "pac" },
  { Subtitle890,     "890",   "application/octet-stream", "890" },
};
// clang-format on

template <typename Kind, std::size_t N>
void writeRecord(const KindRecord<Kind> (&table)[N], Kind kind, std::string& typeId, std::string& mime,
                 std::string& extensions, std::string& description) {
  typeId = "data";
  mime = "application/octet-stream";
  extensions.clear();
  for (const KindRecord<Kind>& row : table) {
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

void adjustImageTypes(ImageType kind, std::string& typeId, std::string& mime, std::string& extensions,
                      std::string& description) {
  writeRecord(kImageRecords, kind, typeId, mime, extensions, description);
}

void adjustSubtitleTypes(SubtitleType kind, std::string& typeId, std::string& mime, std::string& extensions,
                         std::string& description) {
  writeRecord(kSubtitleRecords, kind, typeId, mime, extensions, description);
}

}  // namespace kpl
