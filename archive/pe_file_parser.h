// A small reader of PE images: the section table and the resource tree
// (type, name and language levels) flattened into a list of resources.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kpl {

class InputFile;

class PEFileParser {
 public:
  // One 40-byte section header.
  struct SectionTable {
    char name[8] = {};
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t sizeOfRawData = 0;
    uint32_t pointerToRawData = 0;
    uint32_t pointerToRelocations = 0;
    uint32_t pointerToLineNumbers = 0;
    uint16_t numberOfRelocations = 0;
    uint16_t numberOfLineNumbers = 0;
    uint32_t characteristics = 0;
  };

  // The 16-byte header of a resource directory.
  struct ResDirHeader {
    uint32_t characteristics = 0;
    uint32_t timeDateStamp = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    uint16_t numberOfNamedEntries = 0;
    uint16_t numberOfIdEntries = 0;
  };

  // The 16-byte resource data entry.
  struct ResDataEntry {
    uint32_t dataRva = 0;
    uint32_t size = 0;
    uint32_t codePage = 0;
    uint32_t reserved = 0;
  };

  // An entry named by a string has id 0 and that name; one named by a
  // number has the number as id and an empty name.
  struct ResDataEntryStructure {
    uint64_t fileOffset = 0;
    ResDataEntry entry;
    uint32_t id = 0;
    std::wstring name;
  };

  struct ResDirTableStructure {
    uint64_t fileOffset = 0;
    ResDirHeader header;
    uint32_t id = 0;
    std::wstring name;
    std::vector<ResDirTableStructure> subdirectories;
    std::vector<ResDataEntryStructure> dataEntries;
  };

  // One resource: its type, its name, its language, and where its data is.
  struct DataRepresentStructure {
    uint32_t typeId = 0;
    std::wstring typeName;
    uint32_t nameId = 0;
    std::wstring name;
    std::wstring languageName;
    uint32_t languageId = 0;
    uint64_t fileOffset = 0;
    uint32_t size = 0;
    uint32_t codePage = 0;
  };

  PEFileParser() = default;
  explicit PEFileParser(const std::string& path) { open(path); }
  // Borrows the caller's file; fileSize is what the caller knows it to be.
  PEFileParser(const InputFile& file, uint64_t fileSize) { open(file, fileSize); }
  ~PEFileParser();
  PEFileParser(const PEFileParser&) = delete;
  PEFileParser& operator=(const PEFileParser&) = delete;

  bool open(const std::string& path);
  bool open(const InputFile& file, uint64_t fileSize);
  void close();

  // The COFF header's verdict and the section table in file order.
  struct Headers {
    bool peSignature = false;  // "PE\0\0" at the offset the DOS header names
    std::vector<SectionTable> sections;
  };
  // False when the DOS header, the COFF header or the section table does
  // not lie wholly inside the file.
  bool readHeaders(Headers& out) const;
  // The section named exactly name (NUL-terminated within its 8 bytes, or
  // filling them).
  bool getSectionInformation(const std::string& name, SectionTable& out) const;
  // Reads the tree breadth first. False on any position outside the file,
  // on a directory met twice (a loop), or past the walk's limits.
  bool parseResourceSection(ResDirTableStructure& root) const;
  bool restructureResourceSection(const ResDirTableStructure& root, std::vector<DataRepresentStructure>& out) const;
  // The flattened list; empty when the tree cannot be read.
  std::vector<DataRepresentStructure> getListResourceObjects() const;

 private:
  std::unique_ptr<InputFile> owned_;
  const InputFile* file_ = nullptr;
  uint64_t fileSize_ = 0;
};

}  // namespace kpl
