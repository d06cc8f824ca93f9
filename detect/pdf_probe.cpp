// PDF files: "%PDF-" and a version near the start. Illustrator saves its
// documents as PDFs with a private "/AIMetaData" entry in the page's piece
// information, which is how they are told apart.
//
// Whether a PDF needs a password is libqpdf's answer: opening without a
// password throws its password error (code 4) exactly when the user
// password is not empty. libqpdf runs inside the host's process on hostile
// files, so:
//   - it prints nothing: warnings are suppressed and its logger discards;
//   - it rebuilds a damaged cross-reference table only for files of at
//     most kPdfRecoveryMaxFileBytes (rebuilding tokenizes the whole file and
//     keeps an entry per object it finds); a larger damaged file counts as
//     not protected;
//   - it reads through a source with a byte budget, so that no walk over
//     cross-reference sections or object data reads more than
//     kPdfQpdfMaxReadBytes;
//   - it sees only files whose first or last kPdfEncryptSearchWindow bytes
//     name "/Encrypt" (also with #xx escapes), where every real encrypted
//     file keeps its trailer;
//   - the streams it decodes while opening (cross-reference and object
//     streams) are inflated a second time beside it, only counting, and the
//     open is abandoned once they would decode to more than
//     kPdfMaxDecodedStreamBytes: libqpdf holds a decoded stream in memory
//     whole, and one MiB of deflated zeros is a GiB.
#include "detect/pdf_probe.h"

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <regex>
#include <stdexcept>
#include <vector>

#include "catalogue/file_type_catalogue.h"
#include "common/byte_utils.h"
#include "common/common_utils.h"
#include "common/limits.h"
#include "media/image_fta_utils.h"

namespace kpl {
namespace {

constexpr std::size_t kHeaderBlock = 1024;
constexpr unsigned char kPdfHeader[] = {'%', 'P', 'D', 'F', '-'};
constexpr unsigned char kIllustratorMarker[] = {'/', 'A', 'I', 'M', 'e', 't', 'a', 'D', 'a', 't', 'a'};
constexpr unsigned char kEncryptKey[] = {'/', 'E', 'n', 'c', 'r', 'y', 'p', 't'};

// Whether marker lies wholly inside one of the blockSize-byte blocks of
// data, which starts on a block boundary.
bool markerInsideOneBlock(const unsigned char* data, std::size_t size, std::size_t blockSize,
                          const unsigned char* marker, std::size_t markerSize) {
  std::size_t from = 0;
  while (from < size) {
    long hit = CommonUtils::searchInBinary(data + from, size - from, marker, markerSize);
    if (hit < 0) return false;
    const std::size_t at = from + static_cast<std::size_t>(hit);
    if (at % blockSize + markerSize <= blockSize) return true;
    from = at + 1;  // it crosses a boundary; a later one may not
  }
  return false;
}

bool hasIllustratorMarker(const InputFile& file, std::size_t blockSize) {
  const std::size_t chunkSize = limits::kPdfMarkerChunkBytes / blockSize * blockSize;
  std::vector<unsigned char> chunk(chunkSize);
  for (uint64_t offset = 0; offset < file.size(); offset += chunkSize) {
    const std::size_t got = file.readAt(offset, chunk.data(), chunkSize);
    if (got == 0) return false;
    if (markerInsideOneBlock(chunk.data(), got, blockSize, kIllustratorMarker, sizeof(kIllustratorMarker)))
      return true;
    if (got < chunkSize) return false;
  }
  return false;
}

// Whether the name starting at data[at] (a "/") begins with "Encrypt" once
// its #xx escapes are decoded: a PDF may write any letter of a name that
// way, libqpdf reads the trailer's key either way, and a file hiding its
// encryption from a plain search is exactly what a scanner must not miss.
bool escapedNameIsEncrypt(const unsigned char* data, std::size_t size, std::size_t at) {
  std::size_t pos = at + 1;
  for (std::size_t i = 1; i < sizeof(kEncryptKey); ++i) {
    if (pos >= size) return false;
    unsigned char c = data[pos];
    if (c == '#') {
      if (size - pos < 3) return false;
      const int high = ByteUtils::hexDigitValue(data[pos + 1]), low = ByteUtils::hexDigitValue(data[pos + 2]);
      if (high < 0 || low < 0) return false;
      c = static_cast<unsigned char>(high * 16 + low);
      pos += 3;
    } else {
      ++pos;
    }
    if (c != kEncryptKey[i]) return false;
  }
  return true;
}

bool chunkNamesEncrypt(const unsigned char* data, std::size_t size) {
  if (CommonUtils::searchInBinary(data, size, kEncryptKey, sizeof(kEncryptKey)) >= 0) return true;
  if (std::memchr(data, '#', size) == nullptr) return false;
  for (std::size_t at = 0; at < size; ++at) {
    const void* slash = std::memchr(data + at, '/', size - at);
    if (slash == nullptr) return false;
    at = static_cast<std::size_t>(static_cast<const unsigned char*>(slash) - data);
    if (escapedNameIsEncrypt(data, size, at)) return true;
  }
  return false;
}

// Whether "/Encrypt", plainly or with escaped letters, lies wholly inside
// [offset, offset + length), read in chunks that overlap by the longest
// spelling's length less one.
bool windowNamesEncrypt(const InputFile& file, uint64_t offset, uint64_t length) {
  constexpr std::size_t kChunk = 64 * 1024;
  constexpr std::size_t kLongestSpelling = 1 + 3 * (sizeof(kEncryptKey) - 1);  // "/#45#6E..."
  constexpr std::size_t kOverlap = kLongestSpelling - 1;
  std::vector<unsigned char> chunk(kChunk);
  for (uint64_t done = 0; done < length;) {
    const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(kChunk, length - done));
    const std::size_t got = file.readAt(offset + done, chunk.data(), want);
    if (chunkNamesEncrypt(chunk.data(), got)) return true;
    if (got < want || got <= kOverlap) return false;
    done += got - kOverlap;
    if (done + kOverlap >= length) return false;
  }
  return false;
}

bool namesEncrypt(const InputFile& file) {
  const uint64_t window = limits::kPdfEncryptSearchWindow;
  if (file.size() <= 2 * window) return windowNamesEncrypt(file, 0, file.size());
  return windowNamesEncrypt(file, 0, window) || windowNamesEncrypt(file, file.size() - window, window);
}

// libqpdf's view of the file: reads at absolute offsets through InputFile,
// a window cache for its many small reads, and a budget after which every
// read fails.
class BudgetedInputSource : public InputSource {
 public:
  explicit BudgetedInputSource(const InputFile& file) : file_(file), size_(static_cast<qpdf_offset_t>(file.size())) {}

  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return position_; }
  void rewind() override { position_ = 0; }
  void unreadCh(char) override {
    if (position_ > 0) --position_;
  }

  void seek(qpdf_offset_t offset, int whence) override {
    // Past the end is allowed (reads there return nothing), before the
    // start is not; offsets come from the file and may be anything.
    const qpdf_offset_t base = whence == SEEK_SET ? 0 : whence == SEEK_END ? size_ : position_;
    if (offset < 0 ? offset < -base : offset > std::numeric_limits<qpdf_offset_t>::max() - base)
      throw std::runtime_error("seek outside the file");
    position_ = base + offset;
  }

  size_t read(char* buffer, size_t length) override {
    if (position_ >= size_) {
      last_offset = size_;
      return 0;
    }
    last_offset = position_;
    length = static_cast<size_t>(std::min<qpdf_offset_t>(static_cast<qpdf_offset_t>(length), size_ - position_));
    size_t done = 0;
    while (done < length) {
      const unsigned char* cached = cachedAt(position_ + static_cast<qpdf_offset_t>(done));
      const size_t take =
          std::min(length - done, static_cast<size_t>(windowStart_ + static_cast<qpdf_offset_t>(window_.size()) -
                                                      (position_ + static_cast<qpdf_offset_t>(done))));
      std::memcpy(buffer + done, cached, take);
      done += take;
    }
    if (position_ != runEnd_) startRun();
    position_ += static_cast<qpdf_offset_t>(done);
    runEnd_ = position_;
    if (inStream_) countDecoded(reinterpret_cast<unsigned char*>(buffer), done);
    return done;
  }

  qpdf_offset_t findAndSkipNextEOL() override {
    char c = 0;
    while (position_ < size_) {
      c = static_cast<char>(*cachedAt(position_));
      if (c == '\r' || c == '\n') break;
      ++position_;
    }
    const qpdf_offset_t result = position_;
    while (position_ < size_) {
      c = static_cast<char>(*cachedAt(position_));
      if (c != '\r' && c != '\n') break;
      ++position_;
    }
    return result;
  }

 private:
  static constexpr size_t kWindow = 64 * 1024;

  // The cached byte at offset (which is inside the file), filling the window
  // around it first when needed. Windows start on multiples of their size,
  // so a walk backwards (libqpdf looks for "startxref" and trailers from the
  // end) spends the budget once per window, not once per step.
  const unsigned char* cachedAt(qpdf_offset_t offset) {
    if (offset < windowStart_ || offset >= windowStart_ + static_cast<qpdf_offset_t>(window_.size())) {
      if (budget_ < kWindow) throw std::runtime_error("read budget spent");
      const qpdf_offset_t start = offset - offset % static_cast<qpdf_offset_t>(kWindow);
      window_.resize(kWindow);
      const size_t got = file_.readAt(static_cast<uint64_t>(start), window_.data(), kWindow);
      budget_ -= kWindow;
      window_.resize(got);
      windowStart_ = start;
      if (got <= static_cast<size_t>(offset - start)) throw std::runtime_error("read failed");
    }
    return window_.data() + (offset - windowStart_);
  }

  // A read that does not continue the previous one starts a run; a run
  // that starts right after a "stream" keyword and its end of line is
  // stream data about to be decoded.
  void startRun() {
    inStream_ = false;
    unsigned char before[8] = {};
    if (position_ < 7) return;
    const qpdf_offset_t from = std::max<qpdf_offset_t>(0, position_ - 8);
    const std::size_t n = static_cast<std::size_t>(position_ - from);
    if (file_.readAt(static_cast<uint64_t>(from), before, n) != n) return;
    const char* end = reinterpret_cast<const char*>(before) + n;
    const bool afterKeyword = (n >= 8 && std::memcmp(end - 8, "stream\r\n", 8) == 0) ||
                              std::memcmp(end - 7, "stream\n", 7) == 0 || std::memcmp(end - 7, "stream\r", 7) == 0;
    if (!afterKeyword) return;
    inStream_ = true;
    inflating_ = true;
    if (zlibReady_) inflateEnd(&zlib_);
    zlib_ = z_stream{};
    zlibReady_ = inflateInit(&zlib_) == Z_OK;
    if (!zlibReady_) inflating_ = false;
  }

  // Adds what these stream bytes decode to. Data that does not inflate
  // (another filter, or none) is counted at the worst expansion of the
  // other filters libqpdf decodes.
  void countDecoded(unsigned char* data, std::size_t size) {
    if (inflating_) {
      unsigned char scratch[16384];
      zlib_.next_in = data;
      zlib_.avail_in = static_cast<uInt>(size);
      while (zlib_.avail_in > 0) {
        zlib_.next_out = scratch;
        zlib_.avail_out = sizeof(scratch);
        const int status = inflate(&zlib_, Z_NO_FLUSH);
        addDecoded(sizeof(scratch) - zlib_.avail_out);
        if (status == Z_STREAM_END) {
          inStream_ = false;
          return;
        }
        if (status != Z_OK) {
          inflating_ = false;
          size = zlib_.avail_in;
          break;
        }
      }
      if (inflating_) return;
    }
    addDecoded(static_cast<uint64_t>(size) * kOtherFilterExpansion);
  }

  void addDecoded(uint64_t n) {
    decoded_ += n;
    if (decoded_ > limits::kPdfMaxDecodedStreamBytes) throw std::runtime_error("decoded stream budget spent");
  }

 public:
  ~BudgetedInputSource() override {
    if (zlibReady_) inflateEnd(&zlib_);
  }

 private:
  // LZW's longest code stands for 4096 bytes; run-length and the text
  // encodings expand far less.
  static constexpr uint64_t kOtherFilterExpansion = 4096;

  const InputFile& file_;
  const qpdf_offset_t size_;
  qpdf_offset_t runEnd_ = -1;
  bool inStream_ = false;
  bool inflating_ = false;
  bool zlibReady_ = false;
  z_stream zlib_{};
  uint64_t decoded_ = 0;
  const std::string name_ = "input";
  qpdf_offset_t position_ = 0;
  std::vector<unsigned char> window_;
  qpdf_offset_t windowStart_ = 0;
  uint64_t budget_ = limits::kPdfQpdfMaxReadBytes;
};

}  // namespace

unsigned char classifyPDFType(const InputFile& file, uint64_t fileSize) {
  if (fileSize <= 7 || !file.isOpen()) return PdfNone;
  const std::size_t blockSize = static_cast<std::size_t>(std::min<uint64_t>(kHeaderBlock, fileSize));
  if (ImageFTAUtils::isEMF(file, fileSize) != 0) return PdfNone;

  unsigned char head[kHeaderBlock] = {};
  file.readAt(0, head, blockSize);
  const long at = CommonUtils::searchInBinary(head, blockSize - 3, kPdfHeader, sizeof(kPdfHeader));
  if (at < 0) return PdfNone;
  // The header lies inside the first blockSize - 3 bytes, so its 8 bytes do too.
  static const std::regex version("%PDF-[0-9].[0-9]", std::regex::ECMAScript | std::regex::icase);
  const char* start = reinterpret_cast<const char*>(head) + at;
  if (!std::regex_match(start, start + 8, version)) return PdfNone;

  return hasIllustratorMarker(file, blockSize) ? PdfIllustrator : PdfDocument;
}

unsigned char classifyPDFType(const std::string& path, unsigned long fileSize) {
  InputFile file(path);
  return classifyPDFType(file, fileSize);
}

bool isPDFPasswordProtection(const InputFile& file) {
  if (!file.isOpen() || !namesEncrypt(file)) return false;
  try {
    std::shared_ptr<QPDFLogger> logger = QPDFLogger::create();
    logger->setInfo(logger->discard());
    logger->setWarn(logger->discard());
    logger->setError(logger->discard());
    QPDF pdf;
    pdf.setLogger(logger);
    pdf.setSuppressWarnings(true);
    pdf.setAttemptRecovery(file.size() <= limits::kPdfRecoveryMaxFileBytes);
    pdf.processInputSource(std::make_shared<BudgetedInputSource>(file), nullptr);
    return false;  // it opened without a password
  } catch (const QPDFExc& e) {
    return e.getErrorCode() == qpdf_e_password;
  } catch (...) {
    return false;
  }
}

bool isPDFPasswordProtection(const std::string& path) {
  InputFile file(path);
  return isPDFPasswordProtection(file);
}

bool chainStepPdf(const ScanInput& input, DetectionRecord& record) {
  const unsigned char kind = classifyPDFType(input, input.size());
  if (kind == PdfNone) return false;
  if (isPDFPasswordProtection(input)) {
    // Illustrator files too: the marker says nothing once they are locked.
    record.set("PDF-ENCRYPTED", "application/pdf", "pdf,ai");
    record.encrypted = true;
  } else if (kind == PdfDocument) {
    record.set("PDF", "application/pdf", "pdf");
  } else {
    record.set("AI", "application/postscript", "pdf,ai");
  }
  return true;
}

}  // namespace kpl
