// Compound file reading as [MS-CFB] lays it out: a 512-byte header, then
// sectors numbered from 0 that start one sector size into the file. The
// header holds the first 109 FAT sector ids; further ones are chained
// through DIFAT sectors. Streams below the 4096-byte cutoff live in 64-byte
// short sectors inside the root entry's stream (the mini stream).
//
// Quirks of real files the reader tolerates: the high half of the 64-bit
// stream size is garbage in some version-3 writers (only the low half is
// used), the on-disk red-black colours are often wrong (the reader builds
// its own index), and the last sector is often cut short.
#include "office/compound_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/limits.h"

namespace kpl {

namespace {

const uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

constexpr int kHeaderSize = 512;
constexpr int kHeaderMsatEntries = 109;
constexpr int kDirEntrySize = 128;
constexpr int32_t kMiniStreamCutoff = 4096;
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

// Header fields, [MS-CFB] 2.2.
constexpr std::size_t kMajorVersion = 0x1A;
constexpr std::size_t kByteOrder = 0x1C;
constexpr std::size_t kSectorShift = 0x1E;
constexpr std::size_t kMiniSectorShift = 0x20;
constexpr std::size_t kReserved16 = 0x22;
constexpr std::size_t kReserved32 = 0x24;
constexpr std::size_t kFatSectorCount = 0x2C;
constexpr std::size_t kFirstDirectorySector = 0x30;
constexpr std::size_t kMiniStreamCutoffField = 0x38;
constexpr std::size_t kFirstMiniFatSector = 0x3C;
constexpr std::size_t kMiniFatSectorCount = 0x40;
constexpr std::size_t kFirstDifatSector = 0x44;
constexpr std::size_t kDifatSectorCount = 0x48;
constexpr std::size_t kHeaderMsat = 0x4C;

}  // namespace

// ---- OLEUtil -------------------------------------------------------------

void OLEUtil::chars2Shorts(const char* src, const int& srcLen, short* dst, const int& dstLen) {
  if (dst == nullptr || dstLen <= 0) return;
  std::fill(dst, dst + dstLen, static_cast<short>(0));
  if (src == nullptr) return;
  const int n = std::min(srcLen, dstLen);
  for (int i = 0; i < n; ++i) dst[i] = static_cast<short>(static_cast<unsigned char>(src[i]));
}

// ---- CFItem, CFStream ----------------------------------------------------

int CFItem::createFrom(CompoundFile* file, const DirectoryEntry& entry) {
  file_ = file;
  entry_ = entry;
  return 0;
}

int CFStream::readData(char** out, int offset, int length) {
  if (file_ == nullptr || out == nullptr) return 0;
  return file_->readData(out, entry_, offset, length);
}

int CFStream::getData(char** out) {
  if (file_ == nullptr || out == nullptr) return 0;
  return file_->getData(out, entry_);
}

std::vector<uint8_t> CFStream::read(int offset, int length) {
  char* data = nullptr;
  const int got = readData(&data, offset, length);
  std::vector<uint8_t> bytes;
  if (data != nullptr && got > 0) bytes.assign(data, data + got);
  OLEUtil::freePtr(&data);
  return bytes;
}

int CFStream::writeData(const char* data, int offset, int length) {
  return file_ == nullptr ? 0 : file_->writeData(data, entry_, offset, length);
}

int CFStream::setData(const char* data, int length) {
  return file_ == nullptr ? 0 : file_->setData(data, entry_, length);
}

// ---- CFStorage -----------------------------------------------------------

int CFStorage::createFrom(CompoundFile* file, const DirectoryEntry& entry) {
  CFItem::createFrom(file, entry);
  tree_ = std::make_shared<RBTree>();
  return getChildrenTree(entry.id);
}

// Indexes every entry reachable through sibling links from the storage's
// child, in post-order (left subtree, right subtree, entry), the child last.
// The walk is iterative, so a degenerate sibling chain of any length cannot
// exhaust the stack, and an entry met twice fails the build: that is a
// cycle or a shared subtree, neither of which a sound file has.
int CFStorage::getChildrenTree(int32_t storageId) {
  if (file_ == nullptr) return 1;
  DirectoryEntry storage;
  if (file_->getDirectoryEntry(storageId, storage) != 0) return 1;
  const std::size_t count = file_->directorySize();
  const uint32_t child = storage.data.child();
  if (child == DirectoryEntry::NOSTREAM || child >= count) return 1;
  DirectoryEntry childEntry;
  if (file_->getDirectoryEntry(static_cast<int32_t>(child), childEntry) != 0 || childEntry.data.objectType() == 0)
    return 1;

  struct Frame {
    DirectoryEntry entry;
    int stage;  // 0: left next, 1: right next, 2: insert
  };
  std::vector<bool> visited(count, false);
  std::vector<Frame> stack;
  visited[child] = true;
  stack.push_back({childEntry, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.stage == 2) {
      tree_->insert(top.entry.id, top.entry.data.name());
      stack.pop_back();
      continue;
    }
    const uint32_t next = top.stage == 0 ? top.entry.data.leftSibling() : top.entry.data.rightSibling();
    ++top.stage;
    if (next == DirectoryEntry::NOSTREAM) continue;
    if (next >= count || visited[next]) return 1;
    visited[next] = true;
    DirectoryEntry sibling;
    file_->getDirectoryEntry(static_cast<int32_t>(next), sibling);
    stack.push_back({sibling, 0});  // may move `top`; it is not used again
  }
  return 0;
}

int CFStorage::getCFItem(const char* name, CFItem* item, uint32_t wantedType) const {
  if (name == nullptr) return 1;
  // The key carries the terminating zero, so the match is exact.
  const std::size_t units = std::strlen(name) + 1;
  if (units > 32) return 1;
  short key[32];
  const int n = static_cast<int>(units);
  OLEUtil::chars2Shorts(name, n, key, n);
  return getCFItem(key, n, item, wantedType);
}

int CFStorage::getCFItem(const short* name, int nameLength, CFItem* item, uint32_t wantedType) const {
  if (item == nullptr || tree_ == nullptr || file_ == nullptr) return 1;
  const RBTreeNode* node = tree_->lookupNode(name, nameLength);
  if (node == nullptr) return 1;
  DirectoryEntry entry;
  if (file_->getDirectoryEntry(node->id, entry) != 0) return 1;
  if (entry.data.objectType() != wantedType) return 1;
  return item->createFrom(file_, entry);
}

// Depth-first, in each storage's index order. Kept iterative with a visited
// set: a sub-storage whose child links lead back to an ancestor would
// otherwise recurse forever.
int CFStorage::tryGetCFItem(const char* name, CFItem& item, uint32_t wantedType) const {
  if (getCFItem(name, &item, wantedType) == 0) return 0;
  if (file_ == nullptr || tree_ == nullptr) return 1;

  struct Frame {
    std::vector<RBTreeNode*> nodes;
    std::shared_ptr<RBTree> tree;  // keeps the nodes alive
    std::size_t next = 0;
  };
  std::vector<bool> visited(file_->directorySize(), false);
  if (entry_.id >= 0 && static_cast<std::size_t>(entry_.id) < visited.size()) visited[entry_.id] = true;
  std::vector<Frame> stack;
  stack.push_back({tree_->getNodeList(), tree_, 0});
  std::size_t opened = 0;
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next >= top.nodes.size()) {
      stack.pop_back();
      continue;
    }
    const int32_t id = top.nodes[top.next++]->id;
    DirectoryEntry entry;
    if (file_->getDirectoryEntry(id, entry) != 0) continue;
    if (entry.data.objectType() != DirectoryEntry::STORAGE || visited[id]) continue;
    visited[id] = true;
    if (++opened > limits::kMaxCfbStorageSearch) return 1;
    CFStorage sub;
    if (sub.createFrom(file_, entry) != 0) continue;
    if (sub.getCFItem(name, &item, wantedType) == 0) return 0;
    stack.push_back({sub.tree_->getNodeList(), sub.tree_, 0});
  }
  return 1;
}

// ---- CompoundFile --------------------------------------------------------

CompoundFile::~CompoundFile() { close(); }

void CompoundFile::close() {
  file_ = nullptr;
  owned_ = InputFile();
  msat_ = {};
  sat_ = {};
  ssat_ = {};
  msatBuilt_ = satBuilt_ = ssatBuilt_ = false;
}

int CompoundFile::open(const std::string& path) {
  if (file_ != nullptr) return 1;
  owned_ = InputFile(path);
  return open(owned_);
}

int CompoundFile::open(const InputFile& input) {
  if (file_ != nullptr && file_ != &input) return 1;
  directory_.clear();
  shortStreamContainer_.clear();
  containerBuilt_ = false;
  offsetCache_ = OffsetCache();
  if (!input.isOpen()) return 1;
  file_ = &input;
  fileSize_ = static_cast<int64_t>(file_->size());
  if (fileSize_ < kHeaderSize) return 1;
  if (!file_->readExact(0, header_, kHeaderSize)) return 1;
  if (std::memcmp(header_, kSignature, sizeof kSignature) != 0) return 1;

  sectorSize_ = static_cast<int32_t>(1u << (loadU16LE(header_ + kSectorShift) % 32));
  shortSectorSize_ = static_cast<int32_t>(1u << (loadU16LE(header_ + kMiniSectorShift) % 32));

  const uint16_t major = loadU16LE(header_ + kMajorVersion);
  const bool sizeFitsVersion = (major == 3 && sectorSize_ == 512) || (major == 4 && sectorSize_ == 4096);
  if (!sizeFitsVersion || loadU16LE(header_ + kByteOrder) != 0xFFFE || shortSectorSize_ != 64 ||
      loadU16LE(header_ + kReserved16) != 0 || loadU32LE(header_ + kReserved32) != 0 ||
      headerI32(kMiniStreamCutoffField) != kMiniStreamCutoff)
    return 2;

  if (buildMSAT() != 0 || buildSAT() != 0) return 1;
  if (loadDirectories() != 0 || directory_.empty()) return 1;
  return root_.createFrom(this, directory_[0]);
}

bool CompoundFile::readI32s(int64_t offset, std::size_t count, int32_t* dst) const {
  std::vector<uint8_t> bytes(count * 4);
  if (offset < 0 || !file_->readExact(static_cast<uint64_t>(offset), bytes.data(), bytes.size())) return false;
  for (std::size_t i = 0; i < count; ++i) dst[i] = static_cast<int32_t>(loadU32LE(bytes.data() + 4 * i));
  return true;
}

int CompoundFile::buildMSAT() {
  if (msatBuilt_) return 0;
  const int32_t n = headerI32(kFatSectorCount);
  // Every FAT sector lies inside the file, so the file bounds the count.
  if (n < 0 || n > fileSize_ / sectorSize_ ||
      static_cast<std::size_t>(n) > limits::kMaxCfbSatEntries / static_cast<std::size_t>(sectorSize_ / 4))
    return 1;
  std::vector<int32_t> msat(static_cast<std::size_t>(n), 0);
  int32_t filled = std::min(n, kHeaderMsatEntries);
  for (int32_t i = 0; i < filled; ++i) msat[i] = headerI32(kHeaderMsat + 4 * static_cast<std::size_t>(i));

  // Each DIFAT sector holds `perSector` ids and then the next DIFAT sector's
  // id. The walk stops once the table is full, whatever the DIFAT count
  // says, so a looping DIFAT chain ends too.
  const int32_t perSector = sectorSize_ / 4 - 1;
  int32_t difat = headerI32(kFirstDifatSector);
  const int64_t difatCount = headerI32(kDifatSectorCount);
  for (int64_t k = 1; k < difatCount && filled < n; ++k) {
    const int64_t offset = sectorOffset(difat);
    if (difat < 0 || offset > fileSize_ - sectorSize_) return 1;
    const int32_t take = std::min(perSector, n - filled);
    if (!readI32s(offset, static_cast<std::size_t>(take), msat.data() + filled)) return 1;
    filled += take;
    if (!readI32s(offset + int64_t{perSector} * 4, 1, &difat)) return 1;
  }
  if (filled < n) {
    const int32_t remaining = n - filled;
    const int64_t offset = sectorOffset(difat);
    if (difat < 0 || offset > fileSize_ - int64_t{4} * remaining) return 1;
    if (!readI32s(offset, static_cast<std::size_t>(remaining), msat.data() + filled)) return 1;
  }
  msat_ = std::move(msat);
  msatBuilt_ = true;
  return 0;
}

int CompoundFile::buildSAT() {
  if (satBuilt_) return 0;
  const std::size_t perSector = static_cast<std::size_t>(sectorSize_ / 4);
  std::vector<int32_t> sat(msat_.size() * perSector, 0);
  for (std::size_t i = 0; i < msat_.size(); ++i) {
    const int64_t offset = sectorOffset(msat_[i]);
    if (msat_[i] < 0 || offset > fileSize_ - sectorSize_) return 1;
    if (!readI32s(offset, perSector, sat.data() + i * perSector)) return 1;
  }
  sat_ = std::move(sat);
  satBuilt_ = true;
  return 0;
}

int CompoundFile::getSecIDChain(int32_t startId, std::vector<int32_t>& chain, SectorType type) {
  switch (type) {
    case REGULAR_SECTOR: return doGetSecIDChain(startId, chain, sat_, sectorSize_, kUnlimited);
    case SHORT_SECTOR: return doGetSecIDChain(startId, chain, ssat_, shortSectorSize_, kUnlimited);
  }
  return 1;
}

// Follows table[id] from startId until a negative id (end of chain, free or
// a reserved marker). Each step is bounded by the table and the file, and a
// revisited id fails the walk, so the chain is at most as long as the table.
// For short sectors the file bound is only a plausibility test: their real
// position depends on the mini stream's own chain.
int CompoundFile::doGetSecIDChain(int32_t startId, std::vector<int32_t>& chain, const std::vector<int32_t>& table,
                                  int32_t unit, std::size_t maxLength) {
  if (startId < 0) return 1;
  std::vector<bool> visited(table.size(), false);
  std::size_t length = 0;
  for (int32_t id = startId; id >= 0 && length < maxLength; id = table[static_cast<std::size_t>(id)]) {
    const int64_t position = int64_t{sectorSize_} + int64_t{id} * unit;
    if (position > fileSize_ || position < sectorSize_) return 1;
    if (static_cast<std::size_t>(id) >= table.size() || visited[id]) return 1;
    visited[id] = true;
    chain.push_back(id);
    ++length;
  }
  return 0;
}

int CompoundFile::loadDirectories() {
  std::vector<int32_t> chain;
  if (getSecIDChain(headerI32(kFirstDirectorySector), chain, REGULAR_SECTOR) != 0) return 1;
  const std::size_t perSector = static_cast<std::size_t>(sectorSize_ / kDirEntrySize);
  std::vector<uint8_t> sector(static_cast<std::size_t>(sectorSize_));
  for (int32_t id : chain) {
    const int64_t offset = sectorOffset(id);
    if (offset > fileSize_) return 1;
    if (directory_.size() + perSector > limits::kMaxCfbDirectoryEntries) return 1;
    // The last sector of a file is often cut short; its missing entries
    // read as unallocated (all zero).
    std::fill(sector.begin(), sector.end(), 0);
    file_->readAt(static_cast<uint64_t>(offset), sector.data(), sector.size());
    for (std::size_t k = 0; k < perSector; ++k) {
      DirectoryEntry entry;
      std::memcpy(entry.data.raw, sector.data() + k * kDirEntrySize, kDirEntrySize);
      entry.id = static_cast<int32_t>(directory_.size());
      directory_.push_back(entry);
    }
  }
  return 0;
}

int CompoundFile::getDirectoryEntry(int32_t id, DirectoryEntry& entry) const {
  if (id < 0 || static_cast<std::size_t>(id) >= directory_.size()) return 1;
  entry = directory_[static_cast<std::size_t>(id)];
  return 0;
}

int CompoundFile::buildSSAT() {
  if (ssatBuilt_) return 0;
  const int32_t m = headerI32(kMiniFatSectorCount);
  if (m < 0 || m > fileSize_ / sectorSize_) return 1;
  const std::size_t perSector = static_cast<std::size_t>(sectorSize_ / 4);
  // The chain is read only as far as the table the count allows.
  std::vector<int32_t> chain;
  const int32_t first = headerI32(kFirstMiniFatSector);
  if (first >= 0 &&
      doGetSecIDChain(first, chain, sat_, sectorSize_, static_cast<std::size_t>(m)) != 0)
    return 1;
  std::vector<int32_t> ssat(perSector * static_cast<std::size_t>(m), 0);
  std::vector<uint8_t> sector(static_cast<std::size_t>(sectorSize_));
  for (std::size_t k = 0; k < chain.size(); ++k) {
    std::fill(sector.begin(), sector.end(), 0);
    file_->readAt(static_cast<uint64_t>(sectorOffset(chain[k])), sector.data(), sector.size());
    for (std::size_t i = 0; i < perSector; ++i) ssat[k * perSector + i] = static_cast<int32_t>(loadU32LE(&sector[4 * i]));
  }
  ssat_ = std::move(ssat);
  ssatBuilt_ = true;
  return 0;
}

int CompoundFile::buildShortStreamContainer() {
  if (containerBuilt_) return 0;
  if (directory_.empty()) return 1;
  std::vector<int32_t> chain;
  if (getSecIDChain(directory_[0].data.startSector(), chain, REGULAR_SECTOR) != 0) return 1;
  shortStreamContainer_ = std::move(chain);
  containerBuilt_ = true;
  return 0;
}

int CompoundFile::getSecOffsetChain(const DirectoryEntry& entry, std::vector<int64_t>& offsets, int& unitSize) {
  const OffsetCache* chain = offsetsOf(entry);
  if (chain == nullptr) return 1;
  offsets = chain->offsets;
  unitSize = chain->unit;
  return 0;
}

const CompoundFile::OffsetCache* CompoundFile::offsetsOf(const DirectoryEntry& entry) {
  const int32_t size = entry.data.streamSize();
  const int32_t start = entry.data.startSector();
  if (entry.id >= 0 && offsetCache_.id == entry.id && offsetCache_.start == start && offsetCache_.size == size)
    return &offsetCache_;

  std::vector<int32_t> chain;
  std::vector<int64_t> result;
  int unit;
  if (size >= kMiniStreamCutoff) {
    unit = sectorSize_;
    if (getSecIDChain(start, chain, REGULAR_SECTOR) != 0) return nullptr;
    result.reserve(chain.size());
    for (int32_t id : chain) {
      const int64_t offset = sectorOffset(id);
      if (offset > fileSize_) return nullptr;
      result.push_back(offset);
    }
  } else {
    if (buildSSAT() != 0 || buildShortStreamContainer() != 0) return nullptr;
    unit = shortSectorSize_;
    if (getSecIDChain(start, chain, SHORT_SECTOR) != 0) return nullptr;
    const int32_t ratio = sectorSize_ / shortSectorSize_;
    result.reserve(chain.size());
    for (int32_t s : chain) {
      const std::size_t index = static_cast<std::size_t>(s / ratio);
      if (index >= shortStreamContainer_.size()) return nullptr;
      const int64_t offset = int64_t{shortSectorSize_} * (s % ratio) + sectorOffset(shortStreamContainer_[index]);
      if (offset > fileSize_) return nullptr;
      result.push_back(offset);
    }
  }
  offsetCache_ = {entry.id, start, size, unit, std::move(result)};
  return &offsetCache_;
}

int CompoundFile::readData(char** out, const DirectoryEntry& entry, int offset, int length) {
  if (out == nullptr) return 0;
  const int32_t size = entry.data.streamSize();
  if (size <= offset || offset < 0 || length <= 0) {
    *out = nullptr;
    return 0;
  }
  const OffsetCache* chain = file_ != nullptr ? offsetsOf(entry) : nullptr;
  if (chain == nullptr) return 0;
  const std::vector<int64_t>& offsets = chain->offsets;
  const int unit = chain->unit;

  // Deliver no more than the stream size says and the chain covers.
  int64_t wanted = std::min<int64_t>(length, int64_t{size} - offset);
  const int64_t covered = static_cast<int64_t>(offsets.size()) * unit;
  if (offset >= covered) return 0;
  wanted = std::min<int64_t>(wanted, covered - offset);

  char* buffer = new (std::nothrow) char[static_cast<std::size_t>(wanted)]();
  if (buffer == nullptr) return 0;
  int64_t position = offset;
  int64_t done = 0;
  while (done < wanted) {
    const std::size_t sector = static_cast<std::size_t>(position / unit);
    const int64_t within = position % unit;
    const int64_t chunk = std::min<int64_t>(unit - within, wanted - done);
    file_->readAt(static_cast<uint64_t>(offsets[sector] + within), buffer + done, static_cast<std::size_t>(chunk));
    done += chunk;
    position += chunk;
  }
  *out = buffer;
  return static_cast<int>(wanted);
}

int CompoundFile::getData(char** out, const DirectoryEntry& entry) {
  return readData(out, entry, 0, entry.data.streamSize());
}

int CompoundFile::writeData(const char*, const DirectoryEntry&, int, int) { return 0; }

int CompoundFile::setData(const char* data, const DirectoryEntry& entry, int length) {
  return writeData(data, entry, 0, length);
}

}  // namespace kpl
