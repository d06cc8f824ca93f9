// Reader of compound files (OLE2 structured storage, [MS-CFB]): the 512-byte
// header, the master, regular and short sector allocation tables, the
// directory, and byte ranges of streams. Office documents, installer
// packages and a few other formats are compound files.
//
// The reader sees untrusted files. Every count in the header is checked
// against the file size before anything is allocated, every id taken from
// the file is bounded by the table it indexes, and every walk (sector
// chains, sibling links, the sub-storage search) ends on a cycle. Failures
// are small result codes; nothing is logged and nothing throws on bad input.
//
// The file is opened read-only: a scanner must never need or take write
// access to what it scans, so writeData and setData write nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "office/rb_tree.h"

namespace kpl {

class CompoundFile;

// One raw 128-byte directory entry, as on disk.
struct DirEntryData {
  uint8_t raw[128] = {};

  const uint8_t* name() const { return raw; }  // 32 UTF-16LE units
  uint8_t objectType() const { return raw[0x42]; }
  uint32_t leftSibling() const { return loadU32LE(raw + 0x44); }
  uint32_t rightSibling() const { return loadU32LE(raw + 0x48); }
  uint32_t child() const { return loadU32LE(raw + 0x4C); }
  const uint8_t* clsid() const { return raw + 0x50; }  // 16 bytes
  int32_t startSector() const { return static_cast<int32_t>(loadU32LE(raw + 0x74)); }
  // Only the low four bytes count, as a signed number.
  int32_t streamSize() const { return static_cast<int32_t>(loadU32LE(raw + 0x78)); }
};

struct DirectoryEntry {
  static constexpr uint32_t STORAGE = 1;
  static constexpr uint32_t STREAM = 2;
  static constexpr uint32_t NOSTREAM = 0xFFFFFFFF;

  DirEntryData data;
  int32_t id = -1;  // position in the directory
};

// Which allocation table a chain walk follows.
enum SectorType : int {
  REGULAR_SECTOR = 0,  // the SAT, in units of the sector size
  SHORT_SECTOR = 1,    // the SSAT, in units of the short-sector size
};

class OLEUtil {
 public:
  // Zero-fills dst (dstLen units), then widens min(srcLen, dstLen) bytes,
  // each byte becoming one code unit of the same value.
  static void chars2Shorts(const char* src, const int& srcLen, short* dst, const int& dstLen);

  // Deletes an array handed out by a read and nulls the pointer.
  template <typename T>
  static void freePtr(T** ptr) {
    if (ptr == nullptr) return;
    delete[] * ptr;
    *ptr = nullptr;
  }
};

class CFItem {
 public:
  virtual ~CFItem() = default;
  // Stores the file and the entry; 0.
  virtual int createFrom(CompoundFile* file, const DirectoryEntry& entry);
  const DirEntryData& GetDirEntryData() const { return entry_.data; }
  const DirectoryEntry& entry() const { return entry_; }

 protected:
  CompoundFile* file_ = nullptr;  // not owned
  DirectoryEntry entry_;
};

class CFStream : public CFItem {
 public:
  // Bytes delivered; *out receives a new zero-filled array of that many
  // bytes (free it with OLEUtil::freePtr), or null. See CompoundFile.
  int readData(char** out, int offset, int length);
  int getData(char** out);
  // The same read into a vector (empty when nothing was delivered).
  std::vector<uint8_t> read(int offset, int length);
  // Writing is refused: 0.
  int writeData(const char* data, int offset, int length);
  int setData(const char* data, int length);
  int32_t size() const { return entry_.data.streamSize(); }
};

class CFStorage : public CFItem {
 public:
  // Builds the storage's name index from its child and the child's sibling
  // links; 1 when the storage has no valid child or the links are broken.
  int createFrom(CompoundFile* file, const DirectoryEntry& entry) override;

  // Looks the name up among this storage's entries and creates the item
  // when the entry has the wanted type (STORAGE or STREAM): 0, else 1.
  // A C-string name is matched exactly; a name given with a length in code
  // units and no terminator matches any entry name beginning with it.
  int getCFItem(const char* name, CFItem* item, uint32_t wantedType) const;
  int getCFItem(const short* name, int nameLength, CFItem* item, uint32_t wantedType) const;
  // Here first, then depth-first through the sub-storages.
  int tryGetCFItem(const char* name, CFItem& item, uint32_t wantedType) const;

  int getStream(const char* name, CFStream& stream) const { return getCFItem(name, &stream, DirectoryEntry::STREAM); }
  int getStream(const short* name, int nameLength, CFStream& stream) const {
    return getCFItem(name, nameLength, &stream, DirectoryEntry::STREAM);
  }
  int getStorage(const char* name, CFStorage& storage) const {
    return getCFItem(name, &storage, DirectoryEntry::STORAGE);
  }
  int tryGetStream(const char* name, CFStream& stream) const {
    return tryGetCFItem(name, stream, DirectoryEntry::STREAM);
  }
  int tryGetStorage(const char* name, CFStorage& storage) const {
    return tryGetCFItem(name, storage, DirectoryEntry::STORAGE);
  }

  const std::shared_ptr<RBTree>& tree() const { return tree_; }

 private:
  int getChildrenTree(int32_t storageId);

  std::shared_ptr<RBTree> tree_;  // copies of a storage share one index
};

class CompoundFile {
 public:
  CompoundFile() = default;
  ~CompoundFile();
  CompoundFile(const CompoundFile&) = delete;
  CompoundFile& operator=(const CompoundFile&) = delete;

  // 0 opened; 1 not openable, not a compound file, or damaged; 2 the
  // signature is present but the header fails the format check.
  int open(const std::string& path);
  // The same over an input the caller keeps open for as long as this object
  // reads from it (the scan's input).
  int open(const InputFile& input);
  void close();

  CFStorage getRootStorage() const { return root_; }
  // 1 when the id is outside the directory, else 0 and the entry.
  int getDirectoryEntry(int32_t id, DirectoryEntry& entry) const;
  std::size_t directorySize() const { return directory_.size(); }

  // Appends the chain that starts at startId; 1 on a negative start, an id
  // outside the table or the file, a revisited id or another sector type.
  int getSecIDChain(int32_t startId, std::vector<int32_t>& chain, SectorType type);
  // Absolute file offset of every sector of the stream, and the unit size.
  int getSecOffsetChain(const DirectoryEntry& entry, std::vector<int64_t>& offsets, int& unitSize);

  // Reads up to length bytes of the stream from offset. Returns how many
  // bytes were delivered and hands out a new zero-filled array through
  // *out. At or past the end of the stream *out becomes null and the
  // result is 0; when the stream's chain is broken (or covers nothing at
  // the offset) the result is 0 and *out is left untouched. A chain shorter
  // than the stream size delivers only what the chain covers; sectors cut
  // short by the end of the file read as zeros.
  int readData(char** out, const DirectoryEntry& entry, int offset, int length);
  int getData(char** out, const DirectoryEntry& entry);
  // Read-only access: nothing is written and the result is 0.
  int writeData(const char* data, const DirectoryEntry& entry, int offset, int length);
  int setData(const char* data, const DirectoryEntry& entry, int length);

  int64_t fileSize() const { return fileSize_; }
  int32_t sectorSize() const { return sectorSize_; }
  int32_t shortSectorSize() const { return shortSectorSize_; }

 private:
  int32_t headerI32(std::size_t offset) const { return static_cast<int32_t>(loadU32LE(header_ + offset)); }
  int64_t sectorOffset(int32_t id) const { return int64_t{sectorSize_} * (int64_t{id} + 1); }
  bool readI32s(int64_t offset, std::size_t count, int32_t* dst) const;
  int doGetSecIDChain(int32_t startId, std::vector<int32_t>& chain, const std::vector<int32_t>& table,
                      int32_t unit, std::size_t maxLength);
  int buildMSAT();
  int buildSAT();
  int buildSSAT();
  int buildShortStreamContainer();
  int loadDirectories();
  struct OffsetCache;
  // The sector offsets of the stream, computed once per stream in a row.
  const OffsetCache* offsetsOf(const DirectoryEntry& entry);

  InputFile owned_;                // what open(path) opened
  const InputFile* file_ = nullptr;  // what is read: owned_ or the caller's input
  int64_t fileSize_ = 0;
  int32_t sectorSize_ = 0;
  int32_t shortSectorSize_ = 0;
  uint8_t header_[512] = {};
  std::vector<int32_t> msat_, sat_, ssat_;
  bool msatBuilt_ = false, satBuilt_ = false, ssatBuilt_ = false, containerBuilt_ = false;
  CFStorage root_;
  std::vector<int32_t> shortStreamContainer_;
  std::vector<DirectoryEntry> directory_;

  // The sector offsets of the last stream read: a record walk reads one
  // stream in many small pieces.
  struct OffsetCache {
    int32_t id = -1, start = 0, size = 0, unit = 0;
    std::vector<int64_t> offsets;
  } offsetCache_;
};

}  // namespace kpl
