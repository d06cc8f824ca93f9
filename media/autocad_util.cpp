#include "media/autocad_util.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <map>
#include <streambuf>

#include "common/byte_reader.h"
#include "common/common_utils.h"
#include "common/limits.h"
#include "media/autocad_table.h"

namespace kpl {

namespace {

// Header templates, built by init and only read afterwards.
std::string dxfBinaryHeader;
std::string dxfASCIIHeader;
std::string dxfTablesSection;
std::string dxfClassesSection;
std::string dwfASCIIHeader;
std::string fasASCIIHeader;

constexpr std::size_t kHeadSize = 64;        // what every classifier may look at
constexpr std::size_t kDxfBinaryVersionAt = 54;  // after SECTION/HEADER/$ACADVER with 2-byte group codes
constexpr std::size_t kDxfVersionSize = 6;
constexpr std::size_t kDwfVersionSize = 5;

// An empty template (init not run) matches nothing.
bool startsWith(const char* bytes, std::size_t size, const std::string& pattern) {
  return !pattern.empty() && pattern.size() <= size && std::memcmp(bytes, pattern.data(), pattern.size()) == 0;
}

// A read-only stream over an InputFile, for the line reader. It ends at
// `limit` bytes whatever the file holds.
class InputFileBuf : public std::streambuf {
 public:
  InputFileBuf(const InputFile& file, uint64_t limit) : file_(file), limit_(limit) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (next_ >= limit_) return traits_type::eof();
    const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(sizeof(buffer_), limit_ - next_));
    const std::size_t got = file_.readAt(next_, buffer_, want);
    if (got == 0) return traits_type::eof();
    next_ += got;
    setg(buffer_, buffer_, buffer_ + got);
    return traits_type::to_int_type(*gptr());
  }

 private:
  const InputFile& file_;
  uint64_t limit_;
  uint64_t next_ = 0;
  char buffer_[4096];
};

// Lines of a text DXF with their spaces removed, empty ones skipped.
class DxfLines {
 public:
  enum Next { kLine, kEnd, kTooLong };

  explicit DxfLines(std::istream& in) : in_(in) {}

  Next next(std::string& line) {
    while (linesRead_ < limits::kDxfMaxHeaderLines) {
      CommonUtils::safeGetline(in_, line, limits::kDxfMaxLineLength);
      ++linesRead_;
      if (in_.eof()) return kEnd;
      if (in_.fail()) return kTooLong;
      CommonUtils::removeSpace(line);
      if (!line.empty()) return kLine;
    }
    return kEnd;
  }

  // Appends up to n further lines to text; false when one was too long.
  bool append(std::string& text, int n) {
    std::string line;
    for (int i = 0; i < n; ++i) {
      const Next got = next(line);
      if (got == kTooLong) return false;
      if (got == kEnd) return true;
      text += line;
    }
    return true;
  }

 private:
  std::istream& in_;
  int linesRead_ = 0;
};

constexpr int kSectionLines = 5;  // "0" "SECTION" "2" <name> and the next group code

// Builds the compact text of a text DXF's opening lines: the first five
// lines; then, inside a HEADER section, either $ACADVER with its group code
// and value, or, when the header ends first, ENDSEC and the opening five
// lines of the next section. False when a line is too long to be DXF.
bool gatherCompactDxf(std::istream& in, std::string& compact) {
  DxfLines lines(in);
  std::string line;
  for (int taken = 0; taken < kSectionLines; ++taken) {
    const DxfLines::Next got = lines.next(line);
    if (got == DxfLines::kTooLong) return false;
    if (got == DxfLines::kEnd) return true;
    if (line == "ENDSEC") return lines.append(compact += line, kSectionLines);
    compact += line;
  }
  if (compact == "0SECTION2HEADER9") {
    // Skip the header's variables up to $ACADVER or the end of the section.
    for (;;) {
      const DxfLines::Next got = lines.next(line);
      if (got == DxfLines::kTooLong) return false;
      if (got == DxfLines::kEnd) return true;
      if (line == "$ACADVER") return lines.append(compact += line, 2);
      if (line == "ENDSEC") return lines.append(compact += line, kSectionLines);
    }
  }
  const DxfLines::Next got = lines.next(line);
  if (got == DxfLines::kTooLong) return false;
  if (got == DxfLines::kLine && line == "ENDSEC") return lines.append(compact += line, kSectionLines);
  return true;
}

AutoCADTypes dxfVersionOrUnknown(const char* text) {
  const auto it = DXFVersion.find(std::string(text, kDxfVersionSize));
  return it != DXFVersion.end() ? static_cast<AutoCADTypes>(it->second) : DXF_UNKNOWN;
}

AutoCADTypes determineDXFFile(const InputFile& file, const char* head) {
  std::string firstLine;
  {
    InputFileBuf buffer(file, limits::kDxfMaxHeaderBytes);
    std::istream in(&buffer);
    CommonUtils::safeGetline(in, firstLine, limits::kDxfMaxLineLength);
    if (in.fail() && !in.eof()) return AUTOCAD_NONE;
  }
  if (firstLine == "AutoCAD Binary DXF") return AutoCADUtil::determineDXF(head);

  InputFileBuf buffer(file, limits::kDxfMaxHeaderBytes);
  std::istream in(&buffer);
  std::string compact;
  if (!gatherCompactDxf(in, compact)) return AUTOCAD_NONE;
  char candidate[kHeadSize] = {};
  std::memcpy(candidate, compact.data(), std::min(compact.size(), sizeof(candidate)));
  return AutoCADUtil::determineDXF(candidate);
}

}  // namespace

void AutoCADUtil::init() {
  static const char kBinarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";
  dxfBinaryHeader.assign(kBinarySentinel, sizeof(kBinarySentinel));  // with the closing NUL: 22 bytes
  dxfASCIIHeader = "0SECTION2HEADER9$ACADVER1";
  dxfTablesSection = "0SECTION2HEADER9ENDSEC0SECTION2TABLES0";
  dxfClassesSection = "0SECTION2HEADER9ENDSEC0SECTION2CLASSES0";
  dwfASCIIHeader = "(DWF V";
  fasASCIIHeader = "\r\n FAS4-FILE ; Do not change it!\r\n";
}

AutoCADTypes AutoCADUtil::determineDWG(const char* first6) {
  for (const DwgVersionRow& v : dwgVersionTable())
    if (std::memcmp(first6, v.text, v.compared) == 0) return v.type;
  return AUTOCAD_NONE;
}

bool AutoCADUtil::determineFAS(const char* first35, AutoCADTypes& type) {
  if (!startsWith(first35, 35, fasASCIIHeader)) return false;
  type = FAS_FILE;
  return true;
}

AutoCADTypes AutoCADUtil::determineDWF(const char* first12) {
  if (!startsWith(first12, 12, dwfASCIIHeader)) return AUTOCAD_NONE;
  const auto it = DWFVersion.find(std::string(first12 + dwfASCIIHeader.size(), kDwfVersionSize));
  return it != DWFVersion.end() ? static_cast<AutoCADTypes>(it->second) : DWF_UNKNOWN;
}

AutoCADTypes AutoCADUtil::determineDXF(const char* first64) {
  if (startsWith(first64, kHeadSize, dxfBinaryHeader)) return dxfVersionOrUnknown(first64 + kDxfBinaryVersionAt);
  if (startsWith(first64, kHeadSize, dxfASCIIHeader)) return dxfVersionOrUnknown(first64 + dxfASCIIHeader.size());
  if (startsWith(first64, kHeadSize, dxfTablesSection) || startsWith(first64, kHeadSize, dxfClassesSection))
    return DXF_UNKNOWN;
  return AUTOCAD_NONE;
}

AutoCADTypes AutoCADUtil::determineAutoCADType(const std::string& path, unsigned long fileSize, AutoCADExts& kind) {
  InputFile file(path);
  return determineAutoCADType(file, fileSize, kind);
}

AutoCADTypes AutoCADUtil::determineAutoCADType(const InputFile& file, unsigned long fileSize, AutoCADExts& kind) {
  kind = AUTOCAD_EXT_NONE;
  if (fileSize < kHeadSize) return AUTOCAD_NONE;
  if (!file.isOpen()) return AUTOCAD_NONE;
  char head[kHeadSize] = {};
  file.readAt(0, head, sizeof(head));

  AutoCADTypes type = determineDWG(head);
  if (type != AUTOCAD_NONE) {
    kind = AUTOCAD_EXT_DWG;
    return type;
  }
  if (determineFAS(head, type)) {
    kind = AUTOCAD_EXT_FAS;
    return type;
  }
  type = determineDWF(head);
  if (type != AUTOCAD_NONE) {
    kind = AUTOCAD_EXT_DWF;
    return type;
  }
  type = determineDXFFile(file, head);
  if (type != AUTOCAD_NONE) kind = AUTOCAD_EXT_DXF;
  return type;
}

void AutoCADUtil::adjustAutoCADTypes(AutoCADTypes type, AutoCADExts kind, std::string& typeId, std::string& mime,
                                     std::string& extensions, std::string& description) {
  if (type == AUTOCAD_NONE) return;
  for (const AutoCADKindRow& row : autoCadKindTable()) {
    if (row.kind != kind) continue;
    typeId = row.typeId;
    mime = row.mime;
    extensions = row.extensions;
    description = row.fallback;
    if (row.versions != nullptr) {
      const auto it = row.versions->find(type);
      if (it != row.versions->end()) description = it->second;
    }
    return;
  }
}

}  // namespace kpl
