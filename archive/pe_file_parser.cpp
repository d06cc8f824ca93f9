// PE/COFF images (Microsoft PE format): DOS header, COFF file header,
// section table, and the resource directory tree of the ".rsrc" section.
//
// The tree's offsets are relative to the section's raw data and come from
// the file, so a hostile image can point a subdirectory back at one of its
// ancestors, overlap directories, or name millions of them; the walk keeps
// the offsets it has read and its own counts, and gives up rather than
// follow such a tree.
#include "archive/pe_file_parser.h"

#include <cstring>
#include <deque>
#include <set>
#include <utility>

#include "common/byte_reader.h"
#include "common/limits.h"

namespace kpl {

namespace {

constexpr uint64_t kDosHeaderLen = 64;
constexpr uint64_t kPeOffsetAt = 60;
constexpr uint64_t kCoffHeaderLen = 24;  // "PE\0\0" and the COFF file header
constexpr uint64_t kSectionHeaderLen = 40;
constexpr uint8_t kPeSignature[4] = {'P', 'E', 0, 0};
constexpr uint64_t kResDirHeaderLen = 16;
constexpr uint64_t kResEntryLen = 8;
constexpr uint64_t kResDataEntryLen = 16;
constexpr uint32_t kHighBit = 0x80000000u;

PEFileParser::SectionTable decodeSection(const uint8_t* p) {
  PEFileParser::SectionTable s;
  std::memcpy(s.name, p, sizeof s.name);
  s.virtualSize = loadU32LE(p + 8);
  s.virtualAddress = loadU32LE(p + 12);
  s.sizeOfRawData = loadU32LE(p + 16);
  s.pointerToRawData = loadU32LE(p + 20);
  s.pointerToRelocations = loadU32LE(p + 24);
  s.pointerToLineNumbers = loadU32LE(p + 28);
  s.numberOfRelocations = loadU16LE(p + 32);
  s.numberOfLineNumbers = loadU16LE(p + 34);
  s.characteristics = loadU32LE(p + 36);
  return s;
}

// Counts shared by one walk over the tree.
struct WalkBudget {
  uint32_t directories = 0;
  uint32_t entries = 0;
  uint64_t nameUnits = 0;
};

// A resource name: a u16 length and that many UTF-16 code units, each kept
// as one wide character.
bool readResourceName(const InputFile& file, uint64_t fileSize, uint64_t pos, WalkBudget& budget,
                      std::wstring& name) {
  if (fileSize < 2 || pos >= fileSize - 2) return false;
  uint8_t lengthBytes[2] = {};
  if (!file.readExact(pos, lengthBytes, 2)) return false;
  const uint64_t length = loadU16LE(lengthBytes);
  if (2 * (length + 1) >= fileSize - pos) return false;
  budget.nameUnits += length;
  if (budget.nameUnits > limits::kPeResourceMaxNameUnits) return false;
  std::vector<uint8_t> units = file.read(pos + 2, static_cast<std::size_t>(2 * length));
  if (units.size() != 2 * length) return false;
  name.resize(static_cast<std::size_t>(length));
  for (std::size_t i = 0; i < length; ++i) name[i] = static_cast<wchar_t>(loadU16LE(units.data() + 2 * i));
  return true;
}

}  // namespace

PEFileParser::~PEFileParser() { close(); }

bool PEFileParser::open(const std::string& path) {
  close();
  auto file = std::make_unique<InputFile>(path);
  if (!file->isOpen()) return false;
  fileSize_ = file->size();
  owned_ = std::move(file);
  file_ = owned_.get();
  return true;
}

bool PEFileParser::open(const InputFile& file, uint64_t fileSize) {
  close();
  file_ = &file;
  fileSize_ = fileSize;
  return file.isOpen();
}

void PEFileParser::close() {
  owned_.reset();
  file_ = nullptr;
  fileSize_ = 0;
}

bool PEFileParser::readHeaders(Headers& out) const {
  out = Headers();
  if (file_ == nullptr || fileSize_ < kDosHeaderLen) return false;
  uint8_t dos[kDosHeaderLen] = {};
  if (!file_->readExact(0, dos, sizeof dos)) return false;
  const uint64_t peOffset = loadU32LE(dos + kPeOffsetAt);
  if (!inBounds(fileSize_, peOffset, kCoffHeaderLen)) return false;
  uint8_t coff[kCoffHeaderLen] = {};
  if (!file_->readExact(peOffset, coff, sizeof coff)) return false;
  out.peSignature = std::memcmp(coff, kPeSignature, sizeof kPeSignature) == 0;
  const uint64_t sectionCount = loadU16LE(coff + 6);
  const uint64_t sectionTable = peOffset + kCoffHeaderLen + loadU16LE(coff + 20);
  if (!inBounds(fileSize_, sectionTable, sectionCount * kSectionHeaderLen)) return false;

  std::vector<uint8_t> table = file_->read(sectionTable, static_cast<std::size_t>(sectionCount * kSectionHeaderLen));
  if (table.size() != sectionCount * kSectionHeaderLen) return false;
  out.sections.reserve(static_cast<std::size_t>(sectionCount));
  for (uint64_t i = 0; i < sectionCount; ++i)
    out.sections.push_back(decodeSection(table.data() + i * kSectionHeaderLen));
  return true;
}

bool PEFileParser::getSectionInformation(const std::string& name, SectionTable& out) const {
  Headers headers;
  if (!readHeaders(headers)) return false;
  for (const SectionTable& section : headers.sections) {
    if (name.size() == strnlen(section.name, sizeof section.name) &&
        std::memcmp(section.name, name.data(), name.size()) == 0) {
      out = section;
      return true;
    }
  }
  return false;
}

bool PEFileParser::parseResourceSection(ResDirTableStructure& root) const {
  SectionTable rsrc;
  if (!getSectionInformation(".rsrc", rsrc)) return false;
  const uint64_t base = rsrc.pointerToRawData;
  if (base > fileSize_) return false;

  root = ResDirTableStructure();
  root.fileOffset = base;

  // Pointers into the tree stay valid: a directory's subdirectory vector is
  // complete before its children are queued and never changes afterwards.
  std::deque<std::pair<ResDirTableStructure*, uint32_t>> queue{{&root, 0}};
  std::set<uint64_t> visited;
  WalkBudget budget;

  while (!queue.empty()) {
    auto [dir, depth] = queue.front();
    queue.pop_front();
    if (!visited.insert(dir->fileOffset).second) return false;  // a loop
    if (depth > limits::kPeResourceMaxDepth || ++budget.directories > limits::kPeResourceMaxDirectories)
      return false;
    if (!inBounds(fileSize_, dir->fileOffset, kResDirHeaderLen)) return false;

    uint8_t head[kResDirHeaderLen] = {};
    if (!file_->readExact(dir->fileOffset, head, sizeof head)) return false;
    dir->header.characteristics = loadU32LE(head);
    dir->header.timeDateStamp = loadU32LE(head + 4);
    dir->header.majorVersion = loadU16LE(head + 8);
    dir->header.minorVersion = loadU16LE(head + 10);
    dir->header.numberOfNamedEntries = loadU16LE(head + 12);
    dir->header.numberOfIdEntries = loadU16LE(head + 14);

    const uint64_t count = uint64_t{dir->header.numberOfNamedEntries} + dir->header.numberOfIdEntries;
    budget.entries += static_cast<uint32_t>(count);
    if (budget.entries > limits::kPeResourceMaxEntries) return false;
    const uint64_t entriesAt = dir->fileOffset + kResDirHeaderLen;
    if (!inBounds(fileSize_, entriesAt, count * kResEntryLen)) return false;
    std::vector<uint8_t> entries = file_->read(entriesAt, static_cast<std::size_t>(count * kResEntryLen));
    if (entries.size() != count * kResEntryLen) return false;

    for (uint64_t i = 0; i < count; ++i) {
      const uint32_t nameField = loadU32LE(entries.data() + i * kResEntryLen);
      const uint32_t offsetField = loadU32LE(entries.data() + i * kResEntryLen + 4);
      uint32_t id = 0;
      std::wstring name;
      if (nameField & kHighBit) {
        if (!readResourceName(*file_, fileSize_, base + (nameField & ~kHighBit), budget, name)) return false;
      } else {
        id = nameField;
      }
      const uint64_t target = base + (offsetField & ~kHighBit);
      if (offsetField & kHighBit) {
        ResDirTableStructure sub;
        sub.fileOffset = target;
        sub.id = id;
        sub.name = std::move(name);
        dir->subdirectories.push_back(std::move(sub));
      } else {
        if (!inBounds(fileSize_, target, kResDataEntryLen)) return false;
        uint8_t data[kResDataEntryLen] = {};
        if (!file_->readExact(target, data, sizeof data)) return false;
        ResDataEntryStructure entry;
        entry.fileOffset = target;
        entry.entry.dataRva = loadU32LE(data);
        entry.entry.size = loadU32LE(data + 4);
        entry.entry.codePage = loadU32LE(data + 8);
        entry.entry.reserved = loadU32LE(data + 12);
        entry.id = id;
        entry.name = std::move(name);
        dir->dataEntries.push_back(std::move(entry));
      }
    }
    for (ResDirTableStructure& sub : dir->subdirectories) queue.emplace_back(&sub, depth + 1);
  }
  return true;
}

bool PEFileParser::restructureResourceSection(const ResDirTableStructure& root,
                                              std::vector<DataRepresentStructure>& out) const {
  SectionTable rsrc;
  if (!getSectionInformation(".rsrc", rsrc)) return false;
  for (const ResDirTableStructure& type : root.subdirectories) {
    for (const ResDirTableStructure& name : type.subdirectories) {
      for (const ResDataEntryStructure& language : name.dataEntries) {
        DataRepresentStructure r;
        r.typeId = type.id;
        r.typeName = type.name;
        r.nameId = name.id;
        r.name = name.name;
        r.languageName = language.name;
        r.languageId = language.id;
        // RVA to file offset within the section; 32-bit like the fields.
        r.fileOffset = uint64_t{rsrc.pointerToRawData} + static_cast<uint32_t>(language.entry.dataRva -
                                                                               rsrc.virtualAddress);
        r.size = language.entry.size;
        r.codePage = language.entry.codePage;
        out.push_back(std::move(r));
      }
    }
  }
  return true;
}

std::vector<PEFileParser::DataRepresentStructure> PEFileParser::getListResourceObjects() const {
  std::vector<DataRepresentStructure> list;
  ResDirTableStructure root;
  if (!parseResourceSection(root)) return list;
  if (!restructureResourceSection(root, list)) list.clear();
  return list;
}

}  // namespace kpl
