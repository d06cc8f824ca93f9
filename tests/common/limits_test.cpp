// Each named limit on a walk over file data, at the limit and one past it:
// a file within the limit is recognised, a file past it is not (or is taken
// for the broken kind its probe names), and nothing walks further.
#include "common/limits.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <random>

#define CHARS32 "000102030405060708090A0B0C0D0E0F"
#define CHARS64 "7A6B5C4D3E2F1A0B9C8D7E6F5A4B3C2D1E0F9A8B7C6D5E4F3A2B1C0D9E8F7A6B"

#include "archive/archive_builders.h"
#include "archive/pe_file_parser.h"
#include "common/byte_reader.h"
#include "common/zip_index.h"
#include "config/json_util.h"
#include "config/settings_file.h"
#include "detect/pdf_probe.h"
#include "detect/regexp_table.h"
#include "media/asf_handler.h"
#include "media/audio_fta_utils.h"
#include "media/autocad_util.h"
#include "media/image_fta_utils.h"
#include "office/cfb_builder.h"
#include "office/compound_file.h"
#include "office/legacy_encryption.h"
#include "test_support.h"
#include "text/calendar_reader.h"
#include "text/html_tag_reader.h"
#include "text/mime_message.h"
#include "text/text_based_fta_utils.h"
#include "text/text_stream.h"
#include "tridlib/definitions.h"
#include "tridlib/views.h"

namespace kpl {
namespace {

using Bytes = std::vector<uint8_t>;

// n little-endian bytes of v (zeros past its eight).
void put(Bytes& out, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) out.push_back(i < 8 ? static_cast<uint8_t>(v >> (8 * i)) : 0);
}
void putBE32(Bytes& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void append(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

// A ZIP of stored, empty members with these name lengths; names are "a",
// "b", ... padded with '_'.
Bytes zipWithNames(const std::vector<std::size_t>& lengths) {
  std::size_t names = 0;
  for (std::size_t n : lengths) names += n;
  Bytes zip, central;
  zip.reserve(2 * names + 76 * lengths.size() + 22);
  central.reserve(names + 46 * lengths.size());
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    std::string name(lengths[i], '_');
    name[0] = static_cast<char>('a' + i % 26);
    const uint32_t offset = static_cast<uint32_t>(zip.size());
    put(zip, 0x04034B50, 4), put(zip, 10, 2), put(zip, 0, 8), put(zip, 0, 12);
    put(zip, name.size(), 2), put(zip, 0, 2), append(zip, name);
    put(central, 0x02014B50, 4), put(central, 20, 2), put(central, 10, 2), put(central, 0, 8), put(central, 0, 12);
    put(central, name.size(), 2), put(central, 0, 8), put(central, 0, 4), put(central, offset, 4);
    append(central, name);
  }
  const std::size_t centralAt = zip.size();
  zip.insert(zip.end(), central.begin(), central.end());
  put(zip, 0x06054B50, 4), put(zip, 0, 4), put(zip, lengths.size(), 2), put(zip, lengths.size(), 2);
  put(zip, central.size(), 4), put(zip, centralAt, 4), put(zip, 0, 2);
  return zip;
}

// `records` empty local headers, then an end record.
Bytes localHeadersThenEnd(uint32_t records) {
  Bytes header;
  put(header, 0x04034B50, 4), put(header, 0, 26);
  Bytes zip(static_cast<std::size_t>(records) * header.size());
  for (std::size_t at = 0; at < zip.size(); at += header.size()) std::copy(header.begin(), header.end(), zip.begin() + static_cast<std::ptrdiff_t>(at));
  put(zip, 0x06054B50, 4), put(zip, 0, 18);
  return zip;
}

Bytes pngWithChunksBeforeImageData(uint32_t ancillary) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, uint32_t length) {
    putBE32(png, length);
    append(png, type);
    png.resize(png.size() + length + 4, 0);
  };
  chunk("IHDR", 13);
  for (uint32_t i = 0; i < ancillary; ++i) chunk("tEXt", 0);
  chunk("IDAT", 0);
  return png;
}

// MPEG-1 Layer III frames, 128 kbit/s at 44.1 kHz (417 bytes), after junk.
Bytes mp3AfterJunk(std::size_t junk) {
  Bytes mp3(junk, 0);
  for (int f = 0; f < 12; ++f) {
    const std::size_t at = mp3.size();
    mp3.resize(at + 417, 0);
    mp3[at] = 0xFF, mp3[at + 1] = 0xFB, mp3[at + 2] = 0x90, mp3[at + 3] = 0x00;
  }
  return mp3;
}

// The whole content of an input, for checks whose API takes text.
std::string contentOf(const InputFile& f) {
  const Bytes b = f.read(0, static_cast<std::size_t>(f.size()));
  return std::string(b.begin(), b.end());
}
Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string repeat(const std::string& s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}
std::string be32(uint32_t v) {
  Bytes b;
  putBE32(b, v);
  return std::string(b.begin(), b.end());
}
std::string crlfLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

// An ASF header of `others` 24-byte objects and then a codec list of these
// entry types (each with empty texts); both counts claim the maximum.
Bytes asfWithCodecList(uint32_t others, const std::vector<uint16_t>& types) {
  Bytes b;
  append(b, std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16));
  put(b, 0, 8), put(b, 0xFFFFFFFF, 4), put(b, 0x0201, 2);
  for (uint32_t i = 0; i < others; ++i) b.insert(b.end(), 16, 0x5A), put(b, 24, 8);
  append(b, std::string("\x40\x52\xD1\x86\x1D\x31\xD0\x11\xA3\xA4\x00\xA0\xC9\x03\x48\xF6", 16));
  put(b, 44 + 8 * types.size(), 8), put(b, 0, 16), put(b, 0xFFFFFFFF, 4);
  for (uint16_t t : types) put(b, t, 2), put(b, 0, 6);
  return b;
}

// A resource section whose root holds n entries, entry(i, tailAt) giving
// each one's name and offset fields, followed by `tail` at tailAt.
Bytes resourceRoot(uint32_t n, const std::function<std::pair<uint32_t, uint32_t>(uint32_t, uint32_t)>& entry,
                   const Bytes& tail) {
  Bytes s(16 + 8 * std::size_t{n}, 0);
  test::put(s, {{12, 2, n / 2}, {14, 2, n - n / 2}});
  const uint32_t tailAt = static_cast<uint32_t>(s.size());
  for (uint32_t i = 0; i < n; ++i) {
    const auto [name, offset] = entry(i, tailAt);
    test::put(s, {{16 + 8 * std::size_t{i}, 4, name}, {20 + 8 * std::size_t{i}, 4, offset}});
  }
  test::append(s, tail);
  return test::PeBuilder().section(".rsrc", 0x3000, s).bytes();
}

// A compound file whose Workbook stream holds `fillers` records before an
// XOR FilePass record.
Bytes workbookWithFilePassAfter(std::size_t fillers) {
  Bytes stream;
  for (std::size_t i = 0; i < fillers; ++i) test::CfbBuilder::put32(stream, 0x000200E1), put(stream, 0, 2);
  test::CfbBuilder::put32(stream, 0x0006002F), put(stream, 0, 6);
  test::CfbBuilder::put32(stream, 0x0000000A);
  test::CfbBuilder b;
  b.stream("Workbook", stream);
  return b.build();
}

// `head`, then zeros up to `size` bytes, then `tail`: a sparse file costs no
// memory or disk for its zeros.
InputFile sparseFile(const Bytes& head, uint64_t size, const Bytes& tail = {}) {
  test::TempDir dir;
  const std::string path = dir.write("sparse", head);
  const int fd = ::open(path.c_str(), O_WRONLY);
  const bool written = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(size)) == 0 &&
                       ::pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(size)) == static_cast<ssize_t>(tail.size());
  if (fd >= 0) ::close(fd);
  EXPECT_TRUE(written);
  return InputFile(path);  // open: the directory may go
}

// A PDF whose user password is not empty (its /U matches no empty
// password), with `padding` blanks before its cross-reference table and
// `gap` blanks between its trailer, which names "/Encrypt", and startxref.
Bytes pdfWithEncrypt(std::size_t padding, std::size_t gap) {
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (const char* object : {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>",
                             "<< /Filter /Standard /V 1 /R 2 /P -4 /O <" CHARS64 "> /U <" CHARS64 "> >>"}) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + object + "\nendobj\n";
  }
  pdf += std::string(padding, ' ');
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 4\n0000000000 65535 f \n";
  char entry[24];
  for (std::size_t at : offsets) std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", at), pdf += entry;
  pdf += "trailer\n<< /Size 4 /Root 1 0 R /Encrypt 3 0 R /ID [<" CHARS32 "><" CHARS32 ">] >>\n";
  pdf += std::string(gap, ' ') + "\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return bytesOf(pdf);
}
// Where the first "/Encrypt" of the PDF above ends when padding is 0.
std::size_t encryptEnd() {
  const Bytes pdf = pdfWithEncrypt(0, 0);
  return std::string(pdf.begin(), pdf.end()).find("/Encrypt") + 8;
}

bool hasText(const std::vector<std::string>& list, const char* text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

using Check = std::function<bool(bool pastLimit)>;
// Builds the input at or one past the limit and asks the probe about it.
Check onInput(std::function<Bytes(bool)> build, std::function<bool(const InputFile&)> recognised) {
  return [=](bool past) { return recognised(InputFile::fromBytes(build(past))); };
}
Check onText(std::function<std::string(bool)> build, std::function<bool(const InputFile&)> recognised) {
  return onInput([=](bool past) { return bytesOf(build(past)); }, std::move(recognised));
}

struct LimitCase {
  const char* limit;
  Check recognised;
  // Buffer sizes: what straddles or abuts their edge is still found.
  bool pastRecognised = false;
};

const std::vector<LimitCase>& limitCases() {
  using namespace limits;
  static const auto cfbOpens = [](const InputFile& f) { return CompoundFile().open(f) == 0; };
  static const auto wmv = [](const InputFile& f) { return ASFHandler::isASFFileBased(f) == MediaContainerFileType::WMV; };
  static const auto dxfVersion = [](const InputFile& f) {
    AutoCADUtil::init();
    AutoCADExts kind;
    const AutoCADTypes t = AutoCADUtil::determineAutoCADType(f, static_cast<unsigned long>(f.size()), kind);
    return t > DXF_UNKNOWN && t <= DXF_2018;
  };
  static const auto resources = [](const InputFile& f) {
    PEFileParser::ResDirTableStructure root;
    return PEFileParser(f, f.size()).parseResourceSection(root);
  };
  static const auto iso = [](const InputFile& f) {
    tridlib::Sample sample{f.head(), {}, f.size()};
    return tridlib::SampleView(sample).iso();
  };
  static const auto calendar = [](const InputFile& f) {
    CalendarReader reader;
    reader.open(f);
    return reader.parseCalObj() != 0 && reader.checkDocumentType() == CalendarReader::kICalendar;
  };
  static const auto calendarHead = std::vector<std::string>{"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:p"};
  static const auto illustrator = [](const InputFile& f) { return classifyPDFType(f, f.size()) == PdfIllustrator; };
  static const auto protectedPdf = [](const InputFile& f) { return isPDFPasswordProtection(f); };
  static const std::vector<LimitCase> cases = {
      {"kZipIndexMaxNameBytes", onInput([](bool past) {
         // 256 names of 65,535 bytes are 16 MiB less 256 bytes; the last
         // name's length decides.
         std::vector<std::size_t> lengths(256, 65535);
         lengths.push_back(past ? 257 : 256);
         return zipWithNames(lengths);
       }, [](const InputFile& f) { return f.zip().entries().size() == 257; })},
      {"kZipTopWalkMaxRecords",
       onInput([](bool past) { return localHeadersThenEnd(kZipTopWalkMaxRecords - (past ? 0 : 1)); },
               [](const InputFile& f) { return findZipEndRecordFromTop(f) >= 0; })},
      {"kMaxPngChunksBeforeImageData",
       onInput([](bool past) { return pngWithChunksBeforeImageData(kMaxPngChunksBeforeImageData - (past ? 1 : 2)); },
               [](const InputFile& f) { return ImageFTAUtils::isPNG(f, f.size()) == ImagePNG; })},
      // A frame is still taken at the first offset past the window; junk
      // there ends the search.
      {"kMp3SyncSearchWindow", onInput([](bool past) { return mp3AfterJunk(kMp3SyncSearchWindow + (past ? 2 : 1)); },
                                       [](const InputFile& f) { return AudioFTAUtils::isMP3FileBased(f, f.size()); })},
      // 512-byte sectors: 128 FAT entries or 4 directory entries each. The
      // tables' sectors are repeated or zero, so the files are sparse.
      {"kMaxCfbSatEntries", [](bool past) {
         // Every FAT sector is sector 0, listed by a DIFAT sector that names
         // itself as the next one.
         test::CfbBuilder b;
         b.storage("s");
         Bytes f = b.build();
         const uint32_t fat = static_cast<uint32_t>(kMaxCfbSatEntries / 128 + past), difat = 2;
         for (auto [at, v] : {std::pair<std::size_t, uint32_t>{0x2C, fat}, {0x44, difat}, {0x48, fat}}) test::CfbBuilder::setU32(f, at, v);
         for (std::size_t i = 0; i < 109; ++i) test::CfbBuilder::setU32(f, 0x4C + 4 * i, 0);
         f.resize(b.sectorOffset(difat) + 512, 0);
         test::CfbBuilder::setU32(f, f.size() - 4, difat);
         return cfbOpens(sparseFile(f, b.sectorOffset(fat + 1)));
       }},
      // A directory chain through consecutive sectors, all but the first zero.
      {"kMaxCfbDirectoryEntries", [](bool past) {
         test::CfbBuilder b;
         b.fatSectors(259);
         b.storage("s");
         Bytes f = b.build();
         const uint32_t start = loadU32LE(&f[0x30]), sectors = static_cast<uint32_t>(kMaxCfbDirectoryEntries / 4 + past);
         for (uint32_t i = 0; i < sectors; ++i)
           test::CfbBuilder::setU32(f, b.fatEntryOffset(start + i), i + 1 < sectors ? start + i + 1 : test::CfbBuilder::kEnd);
         return cfbOpens(sparseFile(f, b.sectorOffset(start + sectors)));
       }},
      // The stream lies in the innermost of a chain of nested storages.
      {"kMaxCfbStorageSearch", onInput([](bool past) {
         test::CfbBuilder b;
         int parent = 0;
         for (std::size_t i = 0; i < kMaxCfbStorageSearch + past; ++i) parent = b.storage("s", parent);
         b.stream("deep", {1, 2, 3}, parent);
         return b.build();
       }, [](const InputFile& f) {
         CompoundFile file;
         CFStream s;
         return file.open(f) == 0 && file.getRootStorage().tryGetStream("deep", s) == 0;
       })},
      {"kMaxBiffRecordWalk", onInput([](bool past) { return workbookWithFilePassAfter(kMaxBiffRecordWalk - 1 + past); },
                                     [](const InputFile& f) {
         CompoundFile file;
         CFStream book;
         Excel2003::Record record;
         return file.open(f) == 0 && file.getRootStorage().getStream("Workbook", book) == 0 &&
                Excel2003::searchStreamForRecord(book, book.size(), Excel2003::FILEPASS_RECORD, record) == 0;
       })},
      {"kMaxAsfHeaderObjects", onInput([](bool past) { return asfWithCodecList(kMaxAsfHeaderObjects - 1 + past, {1}); }, wmv)},
      // Audio entries up to the limit, then the video entry.
      {"kMaxAsfCodecEntries", onInput([](bool past) {
         std::vector<uint16_t> types(kMaxAsfCodecEntries - 1 + past, 2);
         types.push_back(1);
         return asfWithCodecList(0, types);
       }, wmv)},
      // The version value is the last line read; one blank line more puts
      // it past the limit.
      {"kDxfMaxHeaderLines", onText([](bool past) {
         return "0\nSECTION\n2\nHEADER\n" + repeat("9\n$X\n", (kDxfMaxHeaderLines - 8) / 2) + (past ? "\n" : "") +
                "9\n$ACADVER\n1\nAC1018\n0\nEOF\n";
       }, dxfVersion)},
      // The version value ends at the last byte read.
      {"kDxfMaxHeaderBytes", onText([](bool past) {
         const std::string head = "0\nSECTION\n2\nHEADER\n9\n$X\n", version = "9\n$ACADVER\n1\nAC1018";
         const std::size_t filler = kDxfMaxHeaderBytes - head.size() - version.size() + past;
         const std::string line = std::string(1000, 'x') + "\n";
         return head + repeat(line, filler / line.size()) + std::string(filler % line.size(), '\n') + version + "\n0\nEOF\n";
       }, dxfVersion)},
      // Directories: the root and its empty subdirectories. Entries: data
      // entries of the root. Name units: names of 32,768 units, 32 of which
      // are 2^20.
      {"kPeResourceMaxDepth", onInput([](bool past) {
         return test::PeBuilder().section(".rsrc", 0x3000, test::resourceChain(kPeResourceMaxDepth + 1 + past)).bytes();
       }, resources)},
      {"kPeResourceMaxDirectories", onInput([](bool past) {
         const uint32_t n = kPeResourceMaxDirectories - 1 + past;
         return resourceRoot(n, [](uint32_t i, uint32_t tailAt) { return std::make_pair(i, 0x80000000u | (tailAt + 16 * i)); },
                             Bytes(16 * std::size_t{n}, 0));
       }, resources)},
      {"kPeResourceMaxEntries", onInput([](bool past) {
         return resourceRoot(kPeResourceMaxEntries + past, [](uint32_t i, uint32_t tailAt) { return std::make_pair(i, tailAt); },
                             Bytes(16, 0));
       }, resources)},
      {"kPeResourceMaxNameUnits", onInput([](bool past) {
         Bytes tail(16, 0);
         put(tail, 32768, 2);
         tail.resize(tail.size() + 2 * 32768 + 2, 'n');
         return resourceRoot(static_cast<uint32_t>(kPeResourceMaxNameUnits / 32768) + past,
                             [](uint32_t, uint32_t tailAt) { return std::make_pair(0x80000000u | (tailAt + 16), tailAt); }, tail);
       }, resources)},
      {"kTridMaxIsoBoxes", onText([](bool past) { return repeat(be32(8) + "free", kTridMaxIsoBoxes - 1 + past) + be32(8) + "moov"; },
                                  [](const InputFile& f) { return hasText(iso(f).topBoxes, "moov"); })},
      {"kTridMaxIsoBrands", onText([](bool past) {
         const std::size_t brands = kTridMaxIsoBrands + past;
         return be32(static_cast<uint32_t>(16 + 4 * brands)) + "ftypM4A " + be32(0) + repeat("abcd", brands - 1) + "isom";
       }, [](const InputFile& f) { return hasText(iso(f).brands, "isom"); })},
      {"kTridMaxXmlPrologItems", onText([](bool past) { return repeat("<!---->", kTridMaxXmlPrologItems - 1 + past) + "<a>"; },
                                        [](const InputFile& f) { return tridlib::parseXmlProlog(contentOf(f)).hasRoot; })},
      {"kTridMaxDefinitionsFileBytes", onText([](bool past) {
         const std::string def = "def A\n type x\n at 0 00\nend\n";
         return def + std::string(kTridMaxDefinitionsFileBytes - def.size() + past, '\n');
       }, [](const InputFile& f) {
         test::TempDir dir;
         dir.write("a.trd", contentOf(f));
         std::vector<tridlib::Definition> defs;
         std::string error;
         return tridlib::loadDefinitionsDirectory(dir.path(), defs, error);
       })},
      {"kCalendarTokenKeepBytes", onText([](bool past) {
         std::vector<std::string> lines = calendarHead;
         const std::string name(kCalendarTokenKeepBytes + past, 'A');
         for (const std::string& l : {"BEGIN:" + name, "END:" + name, std::string("END:VCALENDAR")}) lines.push_back(l);
         return crlfLines(lines);
       }, calendar)},
      // VCALENDAR and nested components of 256-byte names, the innermost
      // one's name making up the rest.
      {"kCalendarMaxOpenComponentBytes", onText([](bool past) {
         const std::size_t rest = kCalendarMaxOpenComponentBytes - 9;
         std::vector<std::string> names(rest / 256, std::string(256, 'A'));
         names.push_back(std::string(rest % 256 + past, 'B'));
         std::vector<std::string> lines = calendarHead;
         for (const std::string& n : names) lines.push_back("BEGIN:" + n);
         for (auto n = names.rbegin(); n != names.rend(); ++n) lines.push_back("END:" + *n);
         lines.push_back("END:VCALENDAR");
         return crlfLines(lines);
       }, calendar)},
      {"CalendarReader::headerTestBytes", onText([](bool past) {
         return "BEGIN:VCALENDAR" + std::string(CalendarReader::headerTestBytes - 16 + past, ' ') + "\n" +
                crlfLines({"VERSION:2.0", "PRODID:p", "END:VCALENDAR"});
       }, calendar)},
      // A header of exactly the budget, its lines' line feeds included.
      {"kMimeMaxHeaderBytes", onText([](bool past) {
         return "Subject: s\nX-Pad: " + std::string(kMimeMaxHeaderBytes - 19 + past, 'p') + "\n\nbody\n";
       }, [](const InputFile& f) {
         MIMEHandler handler;
         return handler.parseMIMEHeader(f) && handler.getHeaderEnd() == f.size() - 5;
       })},
      // The first line's colon is its last byte read.
      {"MIMEHandler::firstLineBytes", onText([](bool past) {
         return "X-" + std::string(MIMEHandler::firstLineBytes - 3 + past, 'a') + ": v\nSubject: s\n\nbody\n";
       }, [](const InputFile& f) { return TextBasedFTAUtils::checkTextMIMEComponent(f) == TEXT_EML; })},
      {"kMaxTagDocumentBytes", [](bool past) {
         HTMLReader reader;
         const InputFile f = sparseFile(bytesOf("<a>"), kMaxTagDocumentBytes - 6 + past, bytesOf("<late>"));
         return reader.readFile(f) && hasText(reader.getListTag(), "late");
       }},
      // The "/Encrypt" of a file larger than both windows ends at the head
      // window's last byte; one byte later it lies in neither.
      {"kPdfEncryptSearchWindow", onInput([](bool past) {
         return pdfWithEncrypt(kPdfEncryptSearchWindow - encryptEnd() + past, kPdfEncryptSearchWindow + 100);
       }, protectedPdf)},
      // "/Encrypt" at the end of the first 64 KiB read and across it.
      {"windowNamesEncrypt chunk (64 KiB)",
       onInput([](bool past) { return pdfWithEncrypt(65536 - encryptEnd() + (past ? 4 : 0), 0); }, protectedPdf), true},
      // The marker at the end of the first chunk and at the start of the next.
      {"kPdfMarkerChunkBytes", onText([](bool past) {
         const std::string marker = "/AIMetaData";
         return "%PDF-1.4\n" + std::string(kPdfMarkerChunkBytes - 9 - (past ? 0 : marker.size()), ' ') + marker + "\n";
       }, illustrator), true},
      // A line and a search pattern at the end of the first block and
      // across it.
      {"kTextReadBlockBytes", onText([](bool past) {
         return std::string(kTextReadBlockBytes - 8 + (past ? 4 : 0), '\n') + "BOUNDARY\nmore\n";
       }, [](const InputFile& f) {
         TextStream text(f);
         const int64_t at = text.find(0, "BOUNDARY", 8);
         std::string line;
         bool truncated = false;
         text.seek(static_cast<uint64_t>(at));
         return at > 0 && text.readLine(line, 100, truncated) && line == "BOUNDARY";
       }), true},
      {"kMaxSettingsFileBytes", onText([](bool past) {
         return "[engine]\n" + std::string(kMaxSettingsFileBytes - 15 + past, '\n') + "key=vv";
       }, [](const InputFile& f) {
         test::TempDir dir;
         return readSettingFromConfig(dir.write("s.ini", contentOf(f)), "engine", "key") == std::optional<std::string>("vv");
       })},
      {"kMaxConfigInputBytes", onText([](bool past) {
         const std::string json = "{\"schema-version\":1,\"config-serial\":1,\"config\":{\"engine.kpl_3_filetype.config\":"
                                  "{\"values\":{\"label\":\"v\"}}}}";
         return json + std::string(kMaxConfigInputBytes - json.size() + past, ' ');
       }, [](const InputFile& f) {
         EngineSchema schema{"kpl_3_filetype", "File type", 1, {{"label", std::string("d"), "string", "Label"}}};
         SettingsMap settings;
         return parseInputJSON(contentOf(f), schema, settings).has_value() && settings["label"] == "v";
       })},
      // A chain of options, each the parent of the next: the deepest is at
      // the limit's depth or one deeper.
      {"kMaxConfigFeatureDepth", [](bool past) {
         EngineSchema schema{"x", "X", 1, {}};
         for (int i = 0; i <= kMaxConfigFeatureDepth + past; ++i) {
           schema.configs.push_back({"o" + std::to_string(i), 0, "bool", "O"});
           if (i > 0) schema.configs.back().parentName = "o" + std::to_string(i - 1);
         }
         return JSONUtil::createSchema(schema).find("\"o" + std::to_string(kMaxConfigFeatureDepth + past) + "\"") !=
                std::string::npos;
       }},
      // The key at the last byte the mapping's patterns see.
      {"kMaxMappingSubjectBytes", [](bool past) {
         static RegexpTable table;
         static const int ready = table.init();
         auto row = [&](const std::string& extension) {
           return table.matchingRow(extension, "Microsoft Word document", "application/msword",
                                    "Composite Document File V2 Document");
         };
         return ready == 0 && row(std::string(kMaxMappingSubjectBytes - 3 + past, 'X') + "DOC") == row("DOC");
       }},
  };
  return cases;
}

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.limit; }

class Limits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limits, WithinTheLimitRecognisedPastItNot) {
  EXPECT_TRUE(GetParam().recognised(false)) << "at the limit";
  EXPECT_EQ(GetParam().recognised(true), GetParam().pastRecognised) << "one past the limit";
}

INSTANTIATE_TEST_SUITE_P(Each, Limits, ::testing::ValuesIn(limitCases()), [](const auto& info) {
  std::string name = info.param.limit;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

// The head, tail and read-ahead windows give exactly the file's bytes for
// reads of every size across their edges, and a short file is only what it
// is.
TEST(InputWindows, ReadsAcrossWindowEdgesGiveTheFileBytes) {
  std::mt19937 rng(11);
  const std::size_t size = limits::kInputHeadWindow + limits::kInputTailWindow + 3 * limits::kInputReadAhead + 17;
  Bytes content(size);
  for (uint8_t& b : content) b = static_cast<uint8_t>(rng());
  char path[] = "/tmp/kpl-windows-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(fd);
  const InputFile file(path);
  ::unlink(path);
  ASSERT_EQ(file.size(), size);

  const uint64_t edges[] = {0, limits::kInputHeadWindow, size - limits::kInputTailWindow,
                            limits::kInputHeadWindow + limits::kInputReadAhead, size};
  const std::size_t lengths[] = {1, 4, 46, 4096, limits::kInputReadAhead, limits::kInputReadAhead + 1, 200000};
  for (uint64_t edge : edges)
    for (std::size_t n : lengths)
      for (int64_t shift : {-3, -1, 0, 1}) {
        const int64_t at = static_cast<int64_t>(edge) + shift - static_cast<int64_t>(n / 2);
        if (at < 0) continue;
        const uint64_t offset = static_cast<uint64_t>(at);
        Bytes got(n, 0xEE);
        const std::size_t arrived = file.readAt(offset, got.data(), n);
        const std::size_t expected = offset >= size ? 0 : std::min<uint64_t>(n, size - offset);
        ASSERT_EQ(arrived, expected) << offset << "+" << n;
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(arrived),
                               content.begin() + static_cast<std::ptrdiff_t>(offset)))
            << offset << "+" << n;
      }
  EXPECT_EQ(file.head().size(), limits::kInputHeadWindow);
  EXPECT_EQ(InputFile::fromBytes(Bytes(10, 1)).head().size(), 10u);
}

}  // namespace
}  // namespace kpl
