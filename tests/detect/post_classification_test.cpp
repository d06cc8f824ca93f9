// The post-classification rules: the rule tree on records as the mapping
// table leaves them and the byte probes (real files: the golden corpus).
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "catalogue/file_type_catalogue.h"
#include "detect/fallback_signatures.h"
#include "detect/post_classification.h"
#include "test_support.h"

namespace kpl {
namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

std::string atrImage(uint16_t paragraphs, std::size_t size) {
  std::string s = bytes({0x96, 0x02, paragraphs & 0xFF, paragraphs >> 8});
  s.resize(size, '\0');
  return s;
}

struct RuleCase {
  const char* what;
  std::string content;  // the file the probes read
  const char *t, *m, *e, *d;
  const char *wantT, *wantM, *wantE;
  bool wantEncrypted;
};

// Records as the mapping table leaves them; the order of the rules decides
// where two conditions hold at once.
const std::vector<RuleCase>& ruleCases() {
  static const std::string ftypIsom = bytes({0, 0, 0, 0x20}) + "ftypisom";
  static const std::string dmgTail = std::string(100, 'z') + "koly" + bytes({0, 0, 0, 4, 0, 0, 2, 0}) + std::string(500, 0);
  static std::string iso(40000, '\0');
  iso.replace(32769, 5, "CD001");
  // clang-format off
  static const std::vector<RuleCase> cases = {
    {"CDFV2 Encrypted", "x", "data", "application/encrypted", "", "CDFV2 Encrypted",
     "MSO-ENCRYPTED", "application/encrypted", "docx,docm,xlsx,xlsb,xlsm,xltx,xltm,pptx,pptm,ppsx,ppsm,potx,potm", true},
    {"encrypted wording without its MIME type", "x", "data", "application/CDFV2", "", "CDFV2 Encrypted",
     "data", "application/octet-stream", "", false},
    {"PDF the chain refused", "%PDF-x", "PDF", "application/pdf", "pdf", "PDF document",
     "data", "application/octet-stream", "", false},
    {"HTML in UTF-16", "x", "HTML", "text/html", "htm", "HyperText Markup Language (UTF-16)",
     "HTML", "text/html", "htm,html", false},
    {"other HTML", "</html>", "HTML", "text/html", "htm", "HyperText Markup Language",
     "TXT", "text/plain", "", false},
    {"XML ending in svg", "<svg>...</svg>\n", "XML", "text/xml", "xml", "d", "SVG", "image/svg+xml", "svg", false},
    {"svg MIME ending in RDF", "<r:RDF></r:RDF>", "SVG", "image/svg+xml", "svg", "d", "RDF", "text/xml", "rdf", false},
    {"XML ending in html", "<html></html>", "XML", "text/xml", "xml", "d", "HTML", "text/html", "htm,html", false},
    {"closing tag 21 bytes before the end", "</svg>" + std::string(16, ' '), "XML", "text/xml", "xml", "d",
     "XML", "text/xml", "xml", false},
    {"MP4 brand", ftypIsom, "data", "video/mp4", "mp4", "d", "MP4", "video/mp4", "mp4", false},
    {"media identifier with an unlisted brand", bytes({0, 0, 0, 0x20}) + "ftypabcd", "M4V", "video/mp4", "mp4,m4v", "d",
     "M4V", "video/mp4", "mp4,m4v", false},
    {"DAT needs the mpeg MIME type", "RIFF0000CDXA", "DAT", "video/x-cdxa", "dat", "d", "DAT", "video/x-cdxa", "dat", false},
    {"TXT from text/x-c", "int main;", "TXT", "text/x-c", "txt", "d", "TXT", "text/plain", "", false},
    {"TXT from another MIME type", "x", "TXT", "text/csv", "txt", "d", "TXT", "text/csv", "txt", false},
    {"not data: left alone", "META-INF/", "GIF", "image/gif", "gif", "d", "GIF", "image/gif", "gif", false},
    {"zip with META-INF", "PK\x03\x04 META-INF/MANIFEST.MF", "data", "application/zip", "zip", "d",
     "JAR", "application/java-archive", "jar", false},
    {"META-INF without the extension", "PK\x03\x04 META-INF/", "data", "application/zip", "apk", "d",
     "data", "application/octet-stream", "", false},
    {"ISO wins over the doc fallback", iso, "data", "application/msword", "doc", "d",
     "ISO", "application/x-iso9660-image", "iso", false},
    {"pz2 that is RTF", "{\\rtf1", "data", "text/plain", "pz2", "d", "RTF", "text/rtf", "rtf", false},
    {"zlib stream with a koly trailer", dmgTail, "data", "application/zlib", "", "zlib compressed data",
     "DMG", "application/x-apple-diskimage", "dmg", false},
    {"zlib stream without one keeps its record", std::string(600, 'z'), "data", "application/zlib", "",
     "zlib compressed data", "data", "application/zlib", "", false},
    {"HIT archive that is text", "x", "data", "text/plain", "hit", "HIT archive data", "TXT", "text/plain", "", false},
    {"compound file", "x", "data", "application/x-ole-storage", "", "Composite Document File V2 Document, empty",
     "data", "application/octet-stream", "", false},
    {"ATR with its size", atrImage(9, 160), "data", "application/octet-stream", "", "Atari ATR image",
     "ATR", "application/octet-stream", "atr", false},
    {"ATR with another size", atrImage(9, 161), "data", "application/x-foo", "", "Atari ATR image",
     "data", "application/octet-stream", "", false},
    {"anything else", "x", "data", "application/x-foo", "foo", "d", "data", "application/octet-stream", "", false},
  };
  // clang-format on
  return cases;
}

TEST(PostClassification, RuleTree) {
  initISOVecSignatures();
  test::TempDir dir;
  for (const RuleCase& c : ruleCases()) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.write("f", c.content);
    std::string t = c.t, m = c.m, e = c.e, d = c.d;
    bool encrypted = false;
    adjustFileTypeDetection(path, c.content.size(), t, m, e, d, encrypted);
    EXPECT_EQ(t, c.wantT);
    EXPECT_EQ(m, c.wantM);
    EXPECT_EQ(e, c.wantE);
    EXPECT_EQ(encrypted, c.wantEncrypted);
    if (t != c.t) {
      EXPECT_EQ(d, describe(t));
    }
  }
}

TEST(PostClassification, MediaContainerKinds) {
  const struct {
    std::string head;
    unsigned char kind;
  } cases[] = {
      {bytes({0, 0, 1, 0xBA}) + std::string(8, 'x'), MediaMPEGSystem},
      {bytes({0, 0, 1, 0xB3}) + std::string(8, 'x'), MediaMPEGSystem},
      {bytes({0, 0, 1, 0xC0}) + std::string(8, 'x'), MediaNone},
      {std::string("RIFF\x10\0\0\0CDXA", 12), MediaVideoCD},
      {std::string("\0\0\0\x1c" "ftypM4A ", 12), MediaM4A},
      {std::string("\0\0\0\x1c" "ftypM4A\0", 12), MediaM4A},
      {std::string("\0\0\0\x1c" "ftypM4V\0", 12), MediaNone},  // only audio brands take a zero byte
      {std::string("\0\0\0\x1c" "ftypqt  ", 12), MediaQuickTime},
      {std::string("\0\0\0\x1c" "ftyp3g2b", 12), Media3G2},
      {std::string("\0\0\0\x1c" "ftypkddi", 12), Media3GP},
      {std::string("\0\0\0\x1c" "ftypISOM", 12), MediaNone},  // brands are case-sensitive
      {std::string("\0\0\0\x1c" "ftypiso", 11), MediaNone},
  };
  for (const auto& c : cases)
    EXPECT_EQ(mediaContainerKind(reinterpret_cast<const unsigned char*>(c.head.data()), c.head.size()), c.kind)
        << c.head.substr(4);
  // Every kind the probe gives has a catalogue record; 0, 13 and up have none.
  std::set<std::string> brands;
  for (std::size_t i = 0; i < kMediaBrandCount; ++i) {
    EXPECT_TRUE(brands.insert(std::string(kMediaBrands[i].brand, 4)).second) << "brand listed twice";
    const MediaContainerRecord* r = mediaContainerRecord(kMediaBrands[i].kind);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(describe(r->typeId).empty());
  }
  EXPECT_EQ(mediaContainerRecord(MediaNone), nullptr);
  EXPECT_EQ(mediaContainerRecord(13), nullptr);
}

TEST(PostClassification, AtrParagraphCountWrapsPastOneMiB) {
  const unsigned char head[] = {0x96, 0x02, 0xFF, 0xFF};
  EXPECT_TRUE(isATRHeader(head, 4, 1u << 20));
  const unsigned char wrapped[] = {0x96, 0x02, 0x00, 0x00};  // 1 MiB + 16 bytes of image
  EXPECT_FALSE(isATRHeader(wrapped, 4, (1u << 20) + 16 + 16));
}

}  // namespace
}  // namespace kpl
