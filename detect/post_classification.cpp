// The post-classification rules: the mapping table names a file from
// libmagic's and the signature library's words, which are too coarse for
// some families (every MP4 flavour is "video/mp4", an Office package
// encrypted into a compound file is just "CDFV2 Encrypted") or wrong for
// files the chain's own probes already turned down (a PDF, HTML). The
// rules run in a fixed order; the first whose condition holds decides.
#include "detect/post_classification.h"

#include <cstring>

#include "catalogue/file_type_catalogue.h"
#include "common/common_utils.h"
#include "detect/fallback_signatures.h"
#include "detect/rtf_tnef_probe.h"

namespace kpl {
namespace {

constexpr auto contains = CommonUtils::contains;

constexpr std::size_t kTailTagBytes = 20;
constexpr std::size_t kJarHeadBytes = 200;
constexpr std::size_t kDmgTrailerBytes = 512;

bool occursIn(const unsigned char* data, std::size_t size, const char* pattern) {
  return checkBytesMatchWithoutStaticOffset(data, static_cast<int>(size),
                                            reinterpret_cast<const unsigned char*>(pattern),
                                            static_cast<int>(std::strlen(pattern))) == 1;
}

// Which record a libmagic answer for media should be rechecked by brand.
bool isMediaCandidate(const std::string& t, const std::string& m) {
  for (const char* id : {"3G2", "M4V", "M4R", "MOV", "M4A/MP4", "MPG/MPEG", "3GP/3GPP"})
    if (t == id) return true;
  if (t == "DAT" && contains(m, "video/x-mpeg")) return true;
  if (t != "data") return false;
  for (const char* type : {"video/3gpp2", "video/3gpp", "video/quicktime", "video/mp4", "audio/mp4", "video/x-m4v",
                           "audio/x-m4a", "video/mpeg", "audio/mpeg", "video/x-mpeg", "audio/x-mpeg"})
    if (contains(m, type)) return true;
  return false;
}

struct Record {
  std::string& t;
  std::string& m;
  std::string& e;
  std::string& d;

  void set(const char* id, const char* mime, const char* extensions) {
    d = describe(id);
    t = id;
    m = mime;
    e = extensions;
  }
  void setData() { set("data", "application/octet-stream", ""); }
};

}  // namespace

unsigned int closingTagKind(const unsigned char* tail, std::size_t size) {
  if (occursIn(tail, size, "</svg")) return ClosingTagSVG;
  if (occursIn(tail, size, "</rdf:RDF>") || occursIn(tail, size, "</r:RDF>") || occursIn(tail, size, "</RDF>"))
    return ClosingTagRDF;
  if (occursIn(tail, size, "</html>")) return ClosingTagHTML;
  return ClosingTagNone;
}

unsigned int detemineSVGorRDForHTML(const InputFile& file, uint64_t fileSize) {
  if (!file.isOpen()) return ClosingTagNone;
  unsigned char tail[kTailTagBytes] = {};
  readArbitraryBytesOfFile(file, static_cast<long>(fileSize), sizeof(tail), tail, false);
  return closingTagKind(tail, sizeof(tail));
}

unsigned int detemineSVGorRDForHTML(const std::string& path, unsigned long fileSize) {
  return detemineSVGorRDForHTML(InputFile(path), fileSize);
}

unsigned char mediaContainerKind(const unsigned char* head, std::size_t size) {
  if (size < 12) return MediaNone;
  const unsigned char* a = head;
  const unsigned char* b = head + 4;
  const unsigned char* c = head + 8;
  if (a[0] == 0 && a[1] == 0 && a[2] == 1 && (a[3] & 0xF0) == 0xB0) return MediaMPEGSystem;
  if (std::memcmp(a, "RIFF", 4) == 0 && std::memcmp(c, "CDXA", 4) == 0) return MediaVideoCD;
  if (std::memcmp(b, "ftyp", 4) != 0) return MediaNone;
  for (std::size_t i = 0; i < kMediaBrandCount; ++i)
    if (std::memcmp(c, kMediaBrands[i].brand, 4) == 0) return kMediaBrands[i].kind;
  return MediaNone;
}

unsigned char determineMediaContainerType(const InputFile& file) {
  unsigned char head[12];
  if (!file.readExact(0, head, sizeof(head))) return MediaNone;
  return mediaContainerKind(head, sizeof(head));
}

unsigned char determineMediaContainerType(const std::string& path) {
  return determineMediaContainerType(InputFile(path));
}

bool isJAR(const InputFile& file, uint64_t fileSize) {
  if (!file.isOpen()) return false;
  unsigned char head[kJarHeadBytes] = {};
  readArbitraryBytesOfFile(file, static_cast<long>(fileSize), sizeof(head), head, true);
  return occursIn(head, sizeof(head), "META-INF/");
}

bool isJAR(const std::string& path, unsigned long fileSize) { return isJAR(InputFile(path), fileSize); }

bool isISO(const InputFile& file) {
  for (const FileSignature& s : isoSignatures)
    if (checkBytesMatch(file, s.bytes.data(), static_cast<unsigned int>(s.bytes.size()), s.offset) != 0) return true;
  return false;
}

bool isISO(const std::string& path) { return isISO(InputFile(path)); }

bool isDMGTrailer(const unsigned char* tail, std::size_t size) {
  static const unsigned char kHeaderSize[] = {0x00, 0x00, 0x02, 0x00};
  return size >= 12 && std::memcmp(tail, "koly", 4) == 0 && std::memcmp(tail + 8, kHeaderSize, 4) == 0;
}

bool isDMG(const InputFile& file, uint64_t fileSize) {
  if (!file.isOpen()) return false;
  unsigned char tail[kDmgTrailerBytes] = {};
  readArbitraryBytesOfFile(file, static_cast<long>(fileSize), sizeof(tail), tail, false);
  return isDMGTrailer(tail, sizeof(tail));
}

bool isDMG(const std::string& path, unsigned long fileSize) { return isDMG(InputFile(path), fileSize); }

bool isATRHeader(const unsigned char* head, std::size_t size, uint64_t fileSize) {
  if (size < 4 || head[0] != 0x96 || head[1] != 0x02) return false;
  // The paragraph count is the low 16 bits only; images above 1 MiB carry
  // the rest elsewhere and do not match.
  const uint32_t paragraphs = loadU16LE(head + 2);
  return static_cast<uint64_t>((paragraphs + 1u) * 16u) == fileSize;
}

bool isATR(const InputFile& file, uint64_t fileSize) {
  unsigned char head[4];
  if (fileSize <= 3 || !file.readExact(0, head, sizeof(head))) return false;
  return isATRHeader(head, sizeof(head), fileSize);
}

bool isATR(const std::string& path, unsigned long fileSize) { return isATR(InputFile(path), fileSize); }

void adjustFileTypeDetection(const ScanInput& file, unsigned long fileSize, std::string& typeId, std::string& mime,
                             std::string& extensions, std::string& description, bool& encrypted) {
  Record r{typeId, mime, extensions, description};
  const std::string& t = typeId;

  if (t == "data" && contains(mime, "application/encrypted") && contains(description, "CDFV2 Encrypted")) {
    // An Office Open XML package encrypted into a compound file.
    r.d = describe("MSO-ENCRYPTED");
    r.t = "MSO-ENCRYPTED";
    r.e = "docx,docm,xlsx,xlsb,xlsm,xltx,xltm,pptx,pptm,ppsx,ppsm,potx,potm";
    encrypted = true;
    return;
  }
  if (t == "PDF") {  // the chain's PDF probe turned it down already
    r.setData();
    return;
  }
  if (t == "HTML") {
    // HTML the text step turned down is text to this engine, unless the
    // description still names a UTF-16 page.
    if (description == "HyperText Markup Language (UTF-16)") {
      r.set("HTML", "text/html", "htm,html");
    } else {
      r.set("TXT", "text/plain", "");
    }
    return;
  }

  if (contains(mime, "image/svg") || t == "XML") {
    switch (detemineSVGorRDForHTML(file, fileSize)) {
      case ClosingTagSVG: r.set("SVG", "image/svg+xml", "svg"); break;
      case ClosingTagRDF: r.set("RDF", "text/xml", "rdf"); break;
      case ClosingTagHTML: r.set("HTML", "text/html", "htm,html"); break;
      default: break;
    }
    return;
  }
  if (t == "DB") {
    findMagicSignatureFallback(file, fileSize, typeId, mime, description, extensions);
    return;
  }
  if (isMediaCandidate(t, mime)) {
    if (const MediaContainerRecord* media = mediaContainerRecord(determineMediaContainerType(file)))
      r.set(media->typeId, media->mime, media->extensions);
    return;
  }
  if (t == "TXT") {
    for (const char* type : {"text/plain", "text/html", "text/x-c", "text/x-tex", "application/octet-stream"}) {
      if (contains(mime, type)) {
        r.set("TXT", "text/plain", "");
        break;
      }
    }
    return;
  }
  if (t != "data") return;

  const std::string& e = extensions;
  const std::string& d = description;
  if ((e == "jar" || e == "zip") && isJAR(file, fileSize)) {
    r.set("JAR", "application/java-archive", "jar");
  } else if (isISO(file)) {
    r.set("ISO", "application/x-iso9660-image", "iso");
  } else if (e == "doc" || e == "flo") {
    findMagicSignatureFallback(file, fileSize, typeId, mime, description, extensions);
  } else if (e == "pz2" && isRTF(file, fileSize)) {
    r.set("RTF", "text/rtf", "rtf");
  } else if (contains(d, "VAX COFF executable") ||
             (contains(mime, "application/zlib") && contains(d, "zlib compressed data")) ||
             (contains(mime, "application/x-bzip2") && contains(d, "bzip2 compressed data"))) {
    // Compressed Apple disk images start with a zlib or bzip2 stream.
    if (isDMG(file, fileSize)) r.set("DMG", "application/x-apple-diskimage", "dmg");
  } else if (contains(mime, "text/plain") && contains(d, "HIT archive data")) {
    // libmagic takes a text that happens to start like a HIT archive.
    r.d = describe("TXT");
    r.t = "TXT";
    r.e.clear();
  } else if (contains(d, "Composite Document File V2 Document")) {
    r.setData();
  } else if (contains(d, "Atari ATR image")) {
    if (isATR(file, fileSize)) {
      r.set("ATR", "application/octet-stream", "atr");
    } else {
      r.setData();
    }
  } else {
    r.m = "application/octet-stream";
    r.e.clear();
  }
}

void adjustFileTypeDetection(std::string path, unsigned long fileSize, std::string& typeId, std::string& mime,
                             std::string& extensions, std::string& description, bool& encrypted) {
  adjustFileTypeDetection(ScanInput(path), fileSize, typeId, mime, extensions, description, encrypted);
}

}  // namespace kpl
