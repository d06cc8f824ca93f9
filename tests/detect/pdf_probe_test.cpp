// The PDF step: files from LibreOffice and qpdf, built boundary cases, and
// what scan answers for each.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "common/common_utils.h"
#include "detect/pdf_probe.h"
#include "detect/rtf_tnef_probe.h"
#include "test_support.h"
#include "test_support_process.h"

namespace kpl {
namespace {

std::string fixture(const std::string& name) { return test::fixturesDir() + "/detect/" + name; }

struct ScanCase {
  const char* file;
  const char* typeId;
  const char* mime;
  const char* extensions;
  bool encrypted;
};

// clang-format off
const ScanCase kPdfCases[] = {
  // file                          typeId           mime                      extensions  encrypted
  {"document.pdf",                 "PDF",           "application/pdf",        "pdf",      false},
  {"object_streams.pdf",           "PDF",           "application/pdf",        "pdf",      false},
  {"encrypted_rc4_40.pdf",         "PDF-ENCRYPTED", "application/pdf",        "pdf,ai",   true},
  {"encrypted_rc4_128.pdf",        "PDF-ENCRYPTED", "application/pdf",        "pdf,ai",   true},
  {"encrypted_aes_128.pdf",        "PDF-ENCRYPTED", "application/pdf",        "pdf,ai",   true},
  {"encrypted_aes_256.pdf",        "PDF-ENCRYPTED", "application/pdf",        "pdf,ai",   true},
  {"encrypted_object_streams.pdf", "PDF-ENCRYPTED", "application/pdf",        "pdf,ai",   true},
  {"owner_only.pdf",               "PDF",           "application/pdf",        "pdf",      false},
  {"illustrator.pdf",              "AI",            "application/postscript", "pdf,ai",   false},
  {"illustrator_encrypted.pdf",    "PDF-ENCRYPTED", "application/pdf",        "pdf,ai",   true},
  {"marker_across_blocks.pdf",     "PDF",           "application/pdf",        "pdf",      false},
  {"header_at_1016.pdf",           "PDF",           "application/pdf",        "pdf",      false},
  // Not opened without rebuilding its cross-reference table: not protected.
  {"damaged.pdf",                  "PDF",           "application/pdf",        "pdf",      false},
  {"damaged_encrypted.pdf",        "PDF",           "application/pdf",        "pdf",      false},
  // Refused by the step; libmagic's "PDF document" is then turned into data.
  {"version_letters.pdf",          "data",          "application/octet-stream", "",       false},
  {"pdf_inside.emf",               "EMF",           "image/x-emf",            "emf",      false},
  {"document.rtf",                 "RTF",           "text/rtf",               "rtf",      false},
  {"winmail.dat",                  "TNEF",          "application/ms-tnef",    "tnef,dat", false},
};
// clang-format on

TEST(PdfProbe, ScanNamesEachFixture) {
  ASSERT_EQ(test::ensureEngineStarted(), 0);
  for (const ScanCase& c : kPdfCases) {
    SCOPED_TRACE(c.file);
    const std::string json = test::scanJson(fixture(c.file));
    EXPECT_EQ(test::jsonMember(json, "typeID"), c.typeId);
    EXPECT_EQ(test::jsonMember(json, "type"), c.mime);
    EXPECT_EQ(test::jsonMember(json, "extensions"), c.extensions);
    EXPECT_EQ(test::jsonMember(json, "encrypted"), c.encrypted ? "true" : "false");
  }
  // One byte later than the last place the header may start: not a PDF.
  EXPECT_NE(test::jsonMember(test::scanJson(fixture("header_at_1017.pdf")), "typeID"), "PDF");
}

TEST(PdfProbe, HeaderRules) {
  test::TempDir dir;
  const std::string body = "%PDF-1.4\n1 0 obj << >> endobj\n";
  struct {
    std::string content;
    unsigned char kind;
  } cases[] = {
      {body, PdfDocument},
      {"%PDF-1.", PdfNone},                               // 7 bytes
      {"%PDF-1.4", PdfDocument},                          // 8 bytes, the least
      {"%PDF-1\n4 rest of it", PdfNone},                  // "." is any character but a line end
      {"%PDF-1x4 rest of it", PdfDocument},
      {"%pdf-1.4 lower case", PdfNone},
      {std::string(1016, ' ') + "%PDF-1.4" + std::string(100, ' '), PdfDocument},  // "%PDF-" ends at byte 1020
      {std::string(1017, ' ') + "%PDF-1.4" + std::string(100, ' '), PdfNone},
      {std::string(1013, ' ') + "%PDF-1.4", PdfDocument},  // a shorter file is one block of its size
      {"%PDF-1.4 /AIMetaData", PdfIllustrator},           // a file shorter than a block is one block
      {body + std::string(2000, ' ') + "/AIMetaData", PdfIllustrator},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content.substr(0, 20));
    const std::string path = dir.write("f.pdf", c.content);
    EXPECT_EQ(classifyPDFType(path, c.content.size()), c.kind);
  }
  EXPECT_EQ(classifyPDFType(dir.path() + "/missing.pdf", 100), PdfNone);
}

TEST(PdfProbe, SearchInBinaryFindsFirstWholeOccurrence) {
  auto find = [](const std::string& hay, std::size_t length, const std::string& needle) {
    return CommonUtils::searchInBinary(reinterpret_cast<const unsigned char*>(hay.data()), length,
                                       reinterpret_cast<const unsigned char*>(needle.data()), needle.size());
  };
  EXPECT_EQ(find("aaab", 4, "aab"), 1);  // restarts one byte after a failed partial match
  EXPECT_EQ(find("xx%PDF-", 7, "%PDF-"), 2);
  EXPECT_EQ(find("xx%PDF-", 6, "%PDF-"), -1);  // must lie wholly inside the length
  EXPECT_EQ(find("abc", 3, ""), -1);
}

// Every prefix of an encrypted file and of an Illustrator file: no crash,
// never taken for protected (libqpdf cannot open a cut file).
TEST(PdfProbe, TruncationSweep) {
  test::TempDir dir;
  for (const char* name : {"encrypted_aes_256.pdf", "illustrator.pdf"}) {
    const std::string whole = test::readFile(fixture(name));
    for (std::size_t n = 0; n + 1 < whole.size(); n += (n < 64 ? 1 : 97)) {
      const std::string path = dir.write("cut.pdf", whole.substr(0, n));
      classifyPDFType(path, n);
      EXPECT_FALSE(isPDFPasswordProtection(path)) << name << " cut to " << n;
    }
  }
}

// libqpdf warns and errors on damaged files; none of it may reach the
// host's standard output or error.
TEST(PdfProbe, LibqpdfPrintsNothing) {
  test::TempDir dir;
  const std::string captured = dir.path() + "/out.txt";
  const int status = test::runInChild([&] {
    int fd = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    for (const char* name : {"damaged.pdf", "damaged_encrypted.pdf", "encrypted_aes_256.pdf", "header_at_1016.pdf"})
      isPDFPasswordProtection(fixture(name));
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::readFile(captured), "");
}

TEST(RtfTnefProbe, SignaturesAndSizes) {
  test::TempDir dir;
  const std::string tnef = test::readFile(fixture("winmail.dat"));
  struct {
    std::string content;
    bool rtf, tnef;
  } cases[] = {
      {"{\\rtf", true, false},
      {"{\\rt", false, false},
      {"{\\RTF1", false, false},
      {tnef, false, true},
      {tnef.substr(0, 39), false, false},                               // under 40 bytes
      {tnef.substr(0, 15) + std::string(4, '\x01') + tnef.substr(19), false, false},  // version value
      {tnef.substr(0, 7) + std::string(4, '\x00') + tnef.substr(11), false, false},   // attribute tag
  };
  for (const auto& c : cases) {
    const std::string path = dir.write("f", c.content);
    EXPECT_EQ(isRTF(path, c.content.size()), c.rtf) << c.content.size();
    EXPECT_EQ(isTNEF(path, c.content.size()), c.tnef) << c.content.size();
  }
}

}  // namespace
}  // namespace kpl
