// Each named limit on a walk over file data, at the limit and one past it:
// a file within the limit is recognised, a file past it is not (or is taken
// for the broken kind its probe names), and nothing walks further. Buffer
// and chunk sizes instead show that what abuts or straddles their edge is
// still found.
#include "common/limits.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <random>

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
#include "text/html_tag_scan.h"
#include "text/mime_message.h"
#include "text/text_based_fta_utils.h"
#include "text/text_stream.h"
#include "tridlib/definitions.h"
#include "tridlib/views.h"

namespace kpl {
namespace {

using Bytes = std::vector<uint8_t>;
using test::be;
using test::le;

std::string repeat(const std::string& s, std::size_t n) {
  std::string out;
  for (out.reserve(s.size() * n); n > 0; --n) out += s;
  return out;
}
bool has(const std::vector<std::string>& list, const char* text) { return std::count(list.begin(), list.end(), text) > 0; }
// The whole content of an input, for checks whose API takes text or a path.
std::string textOf(const InputFile& f) {
  const Bytes b = f.read(0, static_cast<std::size_t>(f.size()));
  return std::string(b.begin(), b.end());
}

// `head`, zeros up to `size` bytes, then `tail`: the zeros of a sparse file
// cost neither memory nor disk.
InputFile sparseFile(const Bytes& head, uint64_t size, const std::string& tail = "") {
  test::TempDir dir;
  const std::string path = dir.write("sparse", head);
  const int fd = ::open(path.c_str(), O_WRONLY);
  EXPECT_TRUE(fd >= 0 && ::ftruncate(fd, static_cast<off_t>(size)) == 0 &&
              ::pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(size)) == static_cast<ssize_t>(tail.size()));
  ::close(fd);
  return InputFile(path);  // open, so the directory may go
}

// An ASF header of `others` 24-byte objects, then a codec list of entries
// of these types with empty texts; both counts claim the most there can be.
std::string asfWithCodecList(uint32_t others, const std::vector<uint16_t>& types) {
  std::string b = std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16) + le(0, 8) +
                  le(0xFFFFFFFF, 4) + le(0x0201, 2) + repeat(std::string(16, 'Z') + le(24, 8), others);
  b += std::string("\x40\x52\xD1\x86\x1D\x31\xD0\x11\xA3\xA4\x00\xA0\xC9\x03\x48\xF6", 16) +
       le(44 + 8 * types.size(), 8) + std::string(16, '\0') + le(0xFFFFFFFF, 4);
  for (uint16_t t : types) b += le(t, 2) + std::string(6, '\0');
  return b;
}

// A PE image whose resource root holds n entries, entry(i, tailAt) giving
// each one's name and offset fields, with `tail` after the root.
Bytes resourceRoot(uint32_t n, std::pair<uint32_t, uint32_t> (*entry)(uint32_t, uint32_t), const Bytes& tail) {
  Bytes s(16 + 8 * std::size_t{n}, 0);
  test::put(s, {{12, 2, n / 2}, {14, 2, n - n / 2}});
  for (uint32_t i = 0; i < n; ++i) {
    const auto [name, offset] = entry(i, static_cast<uint32_t>(s.size()));
    test::put(s, {{16 + 8 * std::size_t{i}, 4, name}, {20 + 8 * std::size_t{i}, 4, offset}});
  }
  test::append(s, tail);
  return test::PeBuilder().section(".rsrc", 0x3000, s).bytes();
}

// `raw` and then zeros up to `total` bytes, deflated.
std::string deflated(std::string raw, std::size_t total) {
  raw.resize(total, '\0');
  uLongf size = compressBound(raw.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size(), Z_BEST_SPEED);
  return out.substr(0, size);
}

// A PDF with a user password (its /U fits no empty one): `padding` blanks
// before its cross-reference stream, which names "/Encrypt" and decodes to
// `xrefBytes` (its entries, then zeros), and `gap` blanks after it.
std::string encryptedPdf(std::size_t padding, std::size_t gap, std::size_t xrefBytes = 35) {
  std::string pdf = "%PDF-1.5\n", id(32, '0'), key(64, '7');
  std::string entries("\0\0\0\0\0\xFF\xFF", 7);
  auto entry = [&] { entries += '\1' + be(pdf.size(), 4) + le(0, 2); };
  for (const std::string& dictionary : {std::string("/Type /Catalog /Pages 2 0 R"), std::string("/Type /Pages /Kids [] /Count 0"),
                                        "/Filter /Standard /V 1 /R 2 /P -4 /O <" + key + "> /U <" + key + ">"}) {
    entry();
    pdf += std::to_string(entries.size() / 7 - 1) + " 0 obj\n<< " + dictionary + " >>\nendobj\n";
  }
  pdf += std::string(padding, ' ');
  const std::size_t xref = pdf.size();
  entry();
  const std::string data = deflated(entries, xrefBytes);
  pdf += "4 0 obj\n<< /Type /XRef /Size 5 /W [1 4 2] /Root 1 0 R /Encrypt 3 0 R /ID [<" + id + "><" + id +
         ">] /Filter /FlateDecode /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream\nendobj\n";
  pdf += std::string(gap, ' ') + "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}
// Where the "/Encrypt" of that PDF ends without padding.
std::size_t encryptEnd() { return encryptedPdf(0, 0).find("/Encrypt") + 8; }

// Runs `work` on a thread of a 128 KiB stack (joined before returning).
void onSmallStack(std::function<void()> work) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 128 * 1024);
  pthread_t thread;
  const auto run = [](void* w) -> void* { return (*static_cast<std::function<void()>*>(w))(), nullptr; };
  ASSERT_EQ(pthread_create(&thread, &attr, run, &work), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

using Check = std::function<bool(bool pastLimit)>;
// Builds the input at or one past the limit and asks the probe about it.
template <typename Build>
Check on(Build build, std::function<bool(const InputFile&)> recognised) {
  return [=](bool past) {
    const auto built = build(past);
    return recognised(InputFile::fromBytes(Bytes(built.begin(), built.end())));
  };
}

struct LimitCase {
  const char* limit;
  Check recognised;
  bool pastRecognised = false;  // buffer sizes: what abuts or straddles their edge is still found
};
void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.limit; }

std::vector<LimitCase> limitCases() {
  using namespace limits;
  using test::CfbBuilder;
  const auto cfbOpens = [](const InputFile& f) { return CompoundFile().open(f) == 0; };
  const auto wmv = [](const InputFile& f) { return ASFHandler::isASFFileBased(f) == MediaContainerFileType::WMV; };
  const auto dxfVersion = [](const InputFile& f) {
    AutoCADUtil::init();
    AutoCADExts kind;
    const AutoCADTypes t = AutoCADUtil::determineAutoCADType(f, static_cast<unsigned long>(f.size()), kind);
    return t > DXF_UNKNOWN && t <= DXF_2018;
  };
  const auto resources = [](const InputFile& f) {
    PEFileParser::ResDirTableStructure root;
    return PEFileParser(f, f.size()).parseResourceSection(root);
  };
  const auto iso = [](const InputFile& f) {
    const tridlib::Sample sample{f.head(), {}, f.size()};
    return tridlib::SampleView(sample).iso();
  };
  const auto calendar = [](const InputFile& f) {
    CalendarReader reader;
    reader.open(f);
    return reader.parseCalObj() != 0 && reader.checkDocumentType() == CalendarReader::kICalendar;
  };
  const auto calendarOf = [](const std::vector<std::string>& components) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:p\r\n";
    for (const std::string& c : components) text += "BEGIN:" + c + "\r\n";
    for (auto c = components.rbegin(); c != components.rend(); ++c) text += "END:" + *c + "\r\n";
    return text + "END:VCALENDAR\r\n";
  };
  const auto workbook = [](std::size_t fillers, uint16_t fillerSize) {
    const std::string filler = le(0xE1, 2) + le(fillerSize, 2) + std::string(fillerSize, '\0');
    CfbBuilder b;
    b.stream("Workbook", test::bytesOf(repeat(filler, fillers) + le(0x2F, 2) + le(6, 8)));
    return b.build();
  };
  const auto filePassFound = [](const InputFile& f) {
    CompoundFile file;
    CFStream book;
    Excel2003::Record record;
    return file.open(f) == 0 && file.getRootStorage().getStream("Workbook", book) == 0 &&
           Excel2003::searchStreamForRecord(book, book.size(), Excel2003::FILEPASS_RECORD, record) == 0;
  };
  const auto illustrator = [](const InputFile& f) { return classifyPDFType(f, f.size()) == PdfIllustrator; };
  const auto encrypted = [](const InputFile& f) { return isPDFPasswordProtection(f); };
  return {
      // 256 names of 65,535 bytes are 16 MiB less 256 bytes; the last name's
      // length decides.
      {"kZipIndexMaxNameBytes", on([](bool past) {
         test::ZipBuilder zip;
         for (int i = 0; i < 256; ++i) zip.entry(std::string(65535, 'n'), "");
         return zip.entry(std::string(past ? 257 : 256, 'n'), "").bytes();
       }, [](const InputFile& f) { return f.zip().entries().size() == 257; })},
      {"kZipTopWalkMaxRecords", on([](bool past) {
         return repeat("PK\3\4" + std::string(26, '\0'), kZipTopWalkMaxRecords - !past) + "PK\5\6" + std::string(18, '\0');
       }, [](const InputFile& f) { return findZipEndRecordFromTop(f) >= 0; })},
      {"kMaxPngChunksBeforeImageData", on([](bool past) {
         const auto chunk = [](const char* type, uint32_t length) { return be(length, 4) + type + std::string(length + 4, '\0'); };
         return "\x89PNG\r\n\x1A\n" + chunk("IHDR", 13) + repeat(chunk("tEXt", 0), kMaxPngChunksBeforeImageData - 2 + past) +
                chunk("IDAT", 0);
       }, [](const InputFile& f) { return ImageFTAUtils::isPNG(f, f.size()) == ImagePNG; })},
      // MPEG-1 Layer III frames of 417 bytes (128 kbit/s at 44.1 kHz) after
      // junk. A frame is still taken at the first offset past the window;
      // junk there ends the search.
      {"kMp3SyncSearchWindow", on([](bool past) {
         return std::string(kMp3SyncSearchWindow + 1 + past, '\0') + repeat(std::string("\xFF\xFB\x90\0", 4) + std::string(413, '\0'), 12);
       }, [](const InputFile& f) { return AudioFTAUtils::isMP3FileBased(f, f.size()); })},
      // 512-byte sectors: 128 FAT entries or 4 directory entries each, so
      // one past is one sector more. Every FAT sector is sector 0, listed by
      // a DIFAT sector that names itself as the next one; the directory
      // runs through sectors all zero but the first. The files are sparse.
      {"kMaxCfbSatEntries", [=](bool past) {
         CfbBuilder b;
         b.storage("s");
         Bytes f = b.build();
         const uint32_t fat = static_cast<uint32_t>(kMaxCfbSatEntries / 128 + past), difat = 2;
         for (auto [at, v] : {std::pair<std::size_t, uint32_t>{0x2C, fat}, {0x44, difat}, {0x48, fat}}) CfbBuilder::setU32(f, at, v);
         for (std::size_t i = 0; i < 109; ++i) CfbBuilder::setU32(f, 0x4C + 4 * i, 0);
         f.resize(b.sectorOffset(difat) + 512, 0);
         CfbBuilder::setU32(f, f.size() - 4, difat);
         return cfbOpens(sparseFile(f, b.sectorOffset(fat + 1)));
       }},
      {"kMaxCfbDirectoryEntries", [=](bool past) {
         CfbBuilder b;
         b.fatSectors(259);
         b.storage("s");
         Bytes f = b.build();
         const uint32_t start = loadU32LE(&f[0x30]), sectors = static_cast<uint32_t>(kMaxCfbDirectoryEntries / 4 + past);
         for (uint32_t i = 0; i < sectors; ++i)
           CfbBuilder::setU32(f, b.fatEntryOffset(start + i), i + 1 < sectors ? start + i + 1 : CfbBuilder::kEnd);
         return cfbOpens(sparseFile(f, b.sectorOffset(start + sectors)));
       }},
      // The stream lies in the innermost of a chain of nested storages.
      {"kMaxCfbStorageSearch", on([](bool past) {
         CfbBuilder b;
         int parent = 0;
         for (std::size_t i = 0; i < kMaxCfbStorageSearch + past; ++i) parent = b.storage("s", parent);
         b.stream("deep", {1}, parent);
         return b.build();
       }, [](const InputFile& f) {
         CompoundFile file;
         CFStream s;
         return file.open(f) == 0 && file.getRootStorage().tryGetStream("deep", s) == 0;
       })},
      // Filler records, then an XOR FilePass record: as many fillers as the
      // walk reads, or a filler of the largest record size.
      {"kMaxBiffRecordWalk", on([=](bool past) { return workbook(kMaxBiffRecordWalk - 1 + past, 2); }, filePassFound)},
      {"kMaxBiffRecordData", on([=](bool past) { return workbook(1, 0x2020 + past); }, filePassFound)},
      {"kMaxAsfHeaderObjects", on([](bool past) { return asfWithCodecList(kMaxAsfHeaderObjects - 1 + past, {1}); }, wmv)},
      // Audio entries up to the limit, then the video entry.
      {"kMaxAsfCodecEntries", on([](bool past) {
         std::vector<uint16_t> types(kMaxAsfCodecEntries - 1 + past, 2);
         return types.push_back(1), asfWithCodecList(0, types);
       }, wmv)},
      // The version value is the last line or byte read; a blank line or
      // one more filler byte puts it past.
      {"kDxfMaxHeaderLines", on([](bool past) {
         return "0\nSECTION\n2\nHEADER\n" + repeat("9\n$X\n", (kDxfMaxHeaderLines - 8) / 2) + (past ? "\n" : "") +
                "9\n$ACADVER\n1\nAC1018\n0\nEOF\n";
       }, dxfVersion)},
      {"kDxfMaxHeaderBytes", on([](bool past) {
         const std::string head = "0\nSECTION\n2\nHEADER\n9\n$X\n", version = "9\n$ACADVER\n1\nAC1018";
         const std::size_t filler = kDxfMaxHeaderBytes - head.size() - version.size() + past;
         return head + repeat(std::string(1000, 'x') + "\n", filler / 1001) + std::string(filler % 1001, '\n') + version;
       }, dxfVersion)},
      // Directories: the root and its empty subdirectories. Entries: data
      // entries of the root. Name units: 32 names of 32,768 units make 2^20,
      // one more of 1 unit passes it.
      {"kPeResourceMaxDepth", on([](bool past) {
         return test::PeBuilder().section(".rsrc", 0x3000, test::resourceChain(kPeResourceMaxDepth + 1 + past)).bytes();
       }, resources)},
      {"kPeResourceMaxDirectories", on([](bool past) {
         const uint32_t n = kPeResourceMaxDirectories - 1 + past;
         return resourceRoot(n, [](uint32_t i, uint32_t at) { return std::make_pair(i, 0x80000000u | (at + 16 * i)); },
                             Bytes(16 * std::size_t{n}, 0));
       }, resources)},
      {"kPeResourceMaxEntries", on([](bool past) {
         return resourceRoot(kPeResourceMaxEntries + past, [](uint32_t i, uint32_t at) { return std::make_pair(i, at); }, Bytes(16, 0));
       }, resources)},
      {"kPeResourceMaxNameUnits", on([](bool past) {
         // The data entry, then the two names.
         const Bytes tail = test::bytesOf(std::string(16, '\0') + le(32768, 2) + std::string(65536, 'n') + le(1, 2) + le('n', 4));
         return resourceRoot(static_cast<uint32_t>(kPeResourceMaxNameUnits / 32768) + past, [](uint32_t i, uint32_t at) {
           return std::make_pair(0x80000000u | (at + (i < 32 ? 16 : 16 + 2 + 2 * 32768)), at);
         }, tail);
       }, resources)},
      {"kTridMaxIsoBoxes", on([](bool past) { return repeat(be(8, 4) + "free", kTridMaxIsoBoxes - 1 + past) + be(8, 4) + "moov"; },
                              [=](const InputFile& f) { return has(iso(f).topBoxes, "moov"); })},
      {"kTridMaxIsoBrands", on([](bool past) {
         const std::size_t brands = kTridMaxIsoBrands + past;
         return be(16 + 4 * brands, 4) + "ftypM4A " + be(0, 4) + repeat("abcd", brands - 1) + "isom";
       }, [=](const InputFile& f) { return has(iso(f).brands, "isom"); })},
      {"kTridMaxXmlPrologItems", on([](bool past) { return repeat("<!---->", kTridMaxXmlPrologItems - 1 + past) + "<a>"; },
                                    [](const InputFile& f) { return tridlib::parseXmlProlog(textOf(f)).hasRoot; })},
      {"kTridMaxDefinitionsFileBytes", on([](bool past) {
         const std::string def = "def A\n type x\n at 0 00\nend\n";
         return def + std::string(kTridMaxDefinitionsFileBytes - def.size() + past, '\n');
       }, [](const InputFile& f) {
         test::TempDir dir;
         std::vector<tridlib::Definition> defs;
         std::string error;
         dir.write("a.trd", textOf(f));
         return tridlib::loadDefinitionsDirectory(dir.path(), defs, error);
       })},
      // A component name of the kept length, then one of the open
      // components' whole budget (VCALENDAR and 256-byte names).
      {"kCalendarTokenKeepBytes", on([=](bool past) { return calendarOf({std::string(kCalendarTokenKeepBytes + past, 'A')}); },
                                     calendar)},
      {"kCalendarMaxOpenComponentBytes", on([=](bool past) {
         const std::size_t rest = kCalendarMaxOpenComponentBytes - 9;
         std::vector<std::string> names(rest / 256, std::string(256, 'A'));
         return names.push_back(std::string(rest % 256 + past, 'B')), calendarOf(names);
       }, calendar)},
      // The first line feed at the last byte the first-line test reads.
      {"CalendarReader::headerTestBytes", on([=](bool past) {
         return "BEGIN:VCALENDAR" + std::string(CalendarReader::headerTestBytes - 16 + past, ' ') + "\n" + calendarOf({}).substr(17);
       }, calendar)},
      // A header of exactly the budget, its lines' line feeds included.
      {"kMimeMaxHeaderBytes", on([](bool past) {
         return "Subject: s\nX-Pad: " + std::string(kMimeMaxHeaderBytes - 19 + past, 'p') + "\n\nbody\n";
       }, [](const InputFile& f) {
         MIMEHandler handler;
         return handler.parseMIMEHeader(f) && handler.getHeaderEnd() == f.size() - 5;
       })},
      // The first line's colon at the last byte its test reads.
      {"MIMEHandler::firstLineBytes", on([](bool past) {
         return "X-" + std::string(MIMEHandler::firstLineBytes - 3 + past, 'a') + ": v\nSubject: s\n\nbody\n";
       }, [](const InputFile& f) { return TextBasedFTAUtils::checkTextMIMEComponent(f) == TEXT_EML; })},
      // Is a name of that many characters kept whole?
      {"kTagNameKeepBytes", on([](bool past) { return "<" + std::string(kTagNameKeepBytes + past, 'n') + ">"; },
                               [](const InputFile& f) {
         TextStream text(f);
         bool whole = false;
         return scanHtmlTags(text, [&](const ScannedTag& tag) { whole = !tag.nameCut() && tag.name.size() == tag.nameLength; }) && whole;
       })},
      {"kMaxTagDocumentBytes", [](bool past) {
         HTMLReader reader;
         return reader.readFile(sparseFile({'<', 'a', '>'}, kMaxTagDocumentBytes - 6 + past, "<late>")) &&
                has(reader.getListTag(), "late");
       }},
      // In a file larger than both windows "/Encrypt" ends at the head
      // window's last byte, or one byte later and in neither.
      {"kPdfEncryptSearchWindow",
       on([](bool past) { return encryptedPdf(kPdfEncryptSearchWindow - encryptEnd() + past, kPdfEncryptSearchWindow + 99); },
          encrypted)},
      {"kPdfMaxDecodedStreamBytes", on([](bool past) { return encryptedPdf(0, 0, kPdfMaxDecodedStreamBytes + past); }, encrypted)},
      // "/Encrypt" at the end of the first 64 KiB read, and across it.
      {"windowNamesEncrypt chunk (64 KiB)", on([](bool past) { return encryptedPdf(65536 - encryptEnd() + 4 * past, 0); }, encrypted),
       true},
      // The marker at the end of the first chunk, and at the start of the next.
      {"kPdfMarkerChunkBytes",
       on([](bool past) { return "%PDF-1.4\n" + std::string(kPdfMarkerChunkBytes - 20 + 11 * past, ' ') + "/AIMetaData"; },
          illustrator),
       true},
      // A line and a search pattern at the end of the first block, and across it.
      {"kTextReadBlockBytes", on([](bool past) { return std::string(kTextReadBlockBytes - 8 + 4 * past, '\n') + "BOUNDARY\nmore\n"; },
                                 [](const InputFile& f) {
         TextStream text(f);
         const int64_t at = text.find(0, "BOUNDARY", 8);
         std::string line;
         bool truncated = false;
         text.seek(static_cast<uint64_t>(at));
         return at > 0 && text.readLine(line, 100, truncated) && line == "BOUNDARY";
       }), true},
      {"kMaxSettingsFileBytes", on([](bool past) { return "[engine]\n" + std::string(kMaxSettingsFileBytes - 15 + past, '\n') + "key=vv"; },
                                   [](const InputFile& f) {
         test::TempDir dir;
         return readSettingFromConfig(dir.write("s.ini", textOf(f)), "engine", "key") == std::optional<std::string>("vv");
       })},
      {"kMaxConfigInputBytes", on([](bool past) {
         const std::string json = "{\"schema-version\":1,\"config-serial\":1,\"config\":{\"engine.kpl_3_filetype.config\":"
                                  "{\"values\":{\"label\":\"v\"}}}}";
         return json + std::string(kMaxConfigInputBytes - json.size() + past, ' ');
       }, [](const InputFile& f) {
         const EngineSchema schema{"kpl_3_filetype", "File type", 1, {{"label", std::string("d"), "string", "Label"}}};
         SettingsMap settings;
         return parseInputJSON(textOf(f), schema, settings).has_value() && settings["label"] == "v";
       })},
      // A chain of options, each the parent of the next, as deep as the limit
      // or one deeper: is the deepest written?
      {"kMaxConfigFeatureDepth", [](bool past) {
         EngineSchema schema{"x", "X", 1, {}};
         const std::string deepest = "\"o" + std::to_string(kMaxConfigFeatureDepth + past) + "\"";
         for (int i = 0; i <= kMaxConfigFeatureDepth + past; ++i) {
           schema.configs.push_back({"o" + std::to_string(i), 0, "bool", "O"});
           if (i > 0) schema.configs.back().parentName = "o" + std::to_string(i - 1);
         }
         return JSONUtil::createSchema(schema).find(deepest) != std::string::npos;
       }},
      // The key ends at the last byte the mapping's patterns see.
      // On a thread with a 128 KiB stack, as some hosts give their workers:
      // matching a subject of the whole bound must not recurse per character.
      {"kMaxMappingSubjectBytes", [](bool past) {
         RegexpTable table;
         auto row = [&](const std::string& extension) {
           return table.matchingRow(extension, "Microsoft Word document", "application/msword",
                                    "Composite Document File V2 Document");
         };
         bool same = false;
         onSmallStack([&] { same = table.init() == 0 && row(std::string(kMaxMappingSubjectBytes - 3 + past, 'X') + "DOC") == row("DOC"); });
         return same;
       }},
  };
}

class Limits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limits, WithinTheLimitRecognisedPastItNot) {
  EXPECT_TRUE(GetParam().recognised(false)) << "at the limit";
  EXPECT_EQ(GetParam().recognised(true), GetParam().pastRecognised) << "one past the limit";
}

INSTANTIATE_TEST_SUITE_P(Each, Limits, ::testing::ValuesIn(limitCases()), [](const auto& info) {
  std::string name = info.param.limit;
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
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
  const InputFile file(test::TempDir().write("windows", content));  // open, so the directory may go
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
