// The PDF step: the header and marker rules on built files and a silent
// libqpdf. What scan answers for each fixture is in the golden corpus.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "common/limits.h"
#include "detect/pdf_probe.h"
#include "detect/rtf_tnef_probe.h"
#include "test_support.h"
#include "test_support_process.h"

namespace kpl {
namespace {

std::string fixture(const std::string& name) { return test::fixturesDir() + "/detect/" + name; }

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
      {"%%PDF-1.4", PdfDocument},  // the search restarts one byte after a failed partial match
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

// libqpdf warns and errors on damaged files; none of it may reach the
// host's standard output or error.
TEST(PdfProbe, LibqpdfPrintsNothing) {
  test::TempDir dir;
  const std::string captured = dir.path() + "/out.txt";
  const std::string late = dir.write("late.pdf", std::string(1016, '\n') + test::readFile(fixture("document.pdf")));
  const int status = test::runInChild([&] {
    int fd = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    for (const char* name : {"damaged.pdf", "damaged_encrypted.pdf", "encrypted_aes_256.pdf"})
      isPDFPasswordProtection(fixture(name));
    isPDFPasswordProtection(late);
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::readFile(captured), "");
}

// A trailer may spell its "/Encrypt" key with #xx escapes; libqpdf reads it
// either way, so the search that decides whether to ask libqpdf must too.
TEST(PdfProbe, EscapedEncryptKeyStillReachesLibqpdf) {
  test::TempDir dir;
  for (const char* name : {"encrypted_rc4_40.pdf", "encrypted_aes_256.pdf", "encrypted_object_streams.pdf"})
    for (const std::string spelling : {"/Encr#79pt", "/#45#6E#63#72#79#70#74", "/#45ncrypt"}) {
      std::string pdf = test::readFile(fixture(name));
      int replaced = 0;
      for (std::size_t at = 0; (at = pdf.find("/Encrypt", at)) != std::string::npos;)
        if (pdf.compare(at, 16, "/EncryptMetadata") == 0) {
          at += 16;
        } else {
          pdf.replace(at, 8, spelling);
          at += spelling.size();
          ++replaced;
        }
      ASSERT_GT(replaced, 0) << name;
      EXPECT_TRUE(isPDFPasswordProtection(dir.write("escaped.pdf", pdf))) << name << " " << spelling;
      // A broken escape is another name: not encrypted, and libqpdf is not asked.
      pdf.replace(pdf.find(spelling), spelling.size(), "/Encr#7Gpt");
      EXPECT_FALSE(isPDFPasswordProtection(dir.write("broken.pdf", pdf))) << name << " " << spelling;
    }
}

// A damaged cross-reference table is rebuilt up to a size, so a damaged
// encrypted file is still known for what it is; past it, not.
TEST(PdfProbe, DamagedFileIsRebuiltUpToTheLimit) {
  test::TempDir dir;
  const std::string damaged = test::readFile(fixture("damaged_encrypted.pdf"));
  const std::size_t limit = static_cast<std::size_t>(limits::kPdfRecoveryMaxFileBytes);
  ASSERT_LT(damaged.size(), limit);
  EXPECT_TRUE(isPDFPasswordProtection(dir.write("at.pdf", damaged + std::string(limit - damaged.size(), ' '))));
  EXPECT_FALSE(isPDFPasswordProtection(dir.write("past.pdf", damaged + std::string(limit + 1 - damaged.size(), ' '))));
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
