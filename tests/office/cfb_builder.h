// Builds small compound files for the tests: streams and storages under a
// root (FAT sectors first, then DIFAT, directory, mini FAT, mini stream and
// large streams), so that single fields can be patched afterwards to make a
// file broken in one way.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace kpl::test {

class CfbBuilder {
 public:
  static constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;

  explicit CfbBuilder(int major = 3) : major_(major), ss_(major == 4 ? 4096 : 512) {
    nodes_.push_back({u"Root Entry", 5, {}, -1, {}, {}});
  }

  int stream(const std::u16string& name, std::vector<uint8_t> data, int parent = 0) {
    return add(name, 2, std::move(data), parent);
  }
  int stream(const std::string& name, std::vector<uint8_t> data, int parent = 0) {
    return add(std::u16string(name.begin(), name.end()), 2, std::move(data), parent);
  }
  int storage(const std::string& name, int parent = 0) {
    return add(std::u16string(name.begin(), name.end()), 1, {}, parent);
  }
  void clsid(int node, const uint8_t* c16) { std::memcpy(nodes_[node].clsid, c16, 16); }
  // Pads the FAT to at least n sectors (more than 109 need a DIFAT sector).
  void fatSectors(int n) { minFat_ = n; }

  std::vector<uint8_t> build() {
    const uint32_t perFat = ss_ / 4;
    // Mini stream and mini FAT.
    std::vector<uint8_t> mini;
    std::vector<uint32_t> miniFat;
    for (Node& n : nodes_) {
      if (n.type != 2 || n.data.size() >= 4096 || n.data.empty()) continue;
      const uint32_t count = static_cast<uint32_t>((n.data.size() + 63) / 64);
      n.start = static_cast<uint32_t>(mini.size() / 64);
      for (uint32_t i = 0; i < count; ++i) miniFat.push_back(i + 1 < count ? n.start + i + 1 : kEnd);
      mini.insert(mini.end(), n.data.begin(), n.data.end());
      mini.resize(static_cast<std::size_t>(n.start + count) * 64, 0);
    }
    // Content sectors in order: directory, mini FAT, mini stream, streams.
    const uint32_t dirSectors = static_cast<uint32_t>((nodes_.size() * 128 + ss_ - 1) / ss_);
    std::vector<uint8_t> miniFatBytes;
    for (uint32_t v : miniFat) put32(miniFatBytes, v);
    const uint32_t miniFatSectors = sectorsOf(miniFatBytes.size());
    uint32_t content = dirSectors + miniFatSectors + sectorsOf(mini.size());
    for (const Node& n : nodes_)
      if (n.type == 2 && n.data.size() >= 4096) content += sectorsOf(n.data.size());
    uint32_t fat = 1, difat = 0;
    for (;; ++fat) {
      difat = fat > 109 ? (fat - 109 + perFat - 2) / (perFat - 1) : 0;
      if (fat >= static_cast<uint32_t>(minFat_) && fat * perFat >= fat + difat + content) break;
    }
    // Assign sector ids.
    fatTable_.assign(fat * perFat, kFree);
    for (uint32_t i = 0; i < fat; ++i) fatTable_[i] = kFatSect;
    for (uint32_t i = 0; i < difat; ++i) fatTable_[fat + i] = kDifSect;
    uint32_t next = fat + difat;
    sectorData_.assign(next, std::vector<uint8_t>(ss_, 0));
    dirStart_ = place(next, std::vector<uint8_t>(static_cast<std::size_t>(dirSectors) * ss_, 0));
    miniFatBytes.resize(static_cast<std::size_t>(miniFatSectors) * ss_, 0xFF);
    const uint32_t miniFatStart = miniFatBytes.empty() ? kEnd : place(next, miniFatBytes);
    nodes_[0].start = mini.empty() ? kEnd : place(next, mini);
    nodes_[0].data.resize(mini.size());
    for (Node& n : nodes_)
      if (n.type == 2 && n.data.size() >= 4096) n.start = place(next, n.data);
      else if (n.type == 2 && n.data.empty()) n.start = kEnd;
    // FAT and DIFAT sectors.
    for (uint32_t i = 0; i < fat; ++i)
      for (uint32_t k = 0; k < perFat; ++k) setU32(sectorData_[i], 4 * k, fatTable_[i * perFat + k]);
    for (uint32_t d = 0; d < difat; ++d) {
      std::vector<uint8_t>& s = sectorData_[fat + d];
      for (uint32_t k = 0; k + 1 < perFat; ++k) {
        const uint32_t index = 109 + d * (perFat - 1) + k;
        setU32(s, 4 * k, index < fat ? index : kFree);
      }
      setU32(s, ss_ - 4, d + 1 < difat ? fat + d + 1 : kEnd);
    }
    // Directory with each storage's children as a balanced sibling tree.
    for (std::size_t i = 0; i < nodes_.size(); ++i) nodes_[i].child = tree(nodes_[i].children, 0, nodes_[i].children.size());
    std::vector<uint8_t> dir;
    for (const Node& n : nodes_) appendEntry(dir, n);
    dir.resize(static_cast<std::size_t>(dirSectors) * ss_, 0);
    for (std::size_t k = nodes_.size(); k < dir.size() / 128; ++k)
      for (int f : {0x44, 0x48, 0x4C}) setU32(dir, k * 128 + f, kFree);
    for (uint32_t i = 0; i < dirSectors; ++i)
      std::memcpy(sectorData_[dirStart_ + i].data(), dir.data() + static_cast<std::size_t>(i) * ss_, ss_);

    std::vector<uint8_t> header(512, 0);
    std::memcpy(header.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    // Minor version, major version, byte order, sector and mini-sector shifts.
    for (auto [at, v] :
         {std::pair<int, int>{0x18, 0x3E}, {0x1A, major_}, {0x1C, 0xFFFE}, {0x1E, major_ == 4 ? 12 : 9}, {0x20, 6}})
      setU16(header, at, static_cast<uint16_t>(v));
    // Directory sectors, FAT sectors, directory start, mini cutoff, mini FAT and DIFAT.
    for (auto [at, v] : {std::pair<int, uint32_t>{0x28, major_ == 4 ? dirSectors : 0}, {0x2C, fat}, {0x30, dirStart_},
                         {0x38, 4096}, {0x3C, miniFatStart}, {0x40, miniFatSectors}, {0x44, difat ? fat : kEnd},
                         {0x48, difat}})
      setU32(header, at, v);
    for (uint32_t i = 0; i < 109; ++i) setU32(header, 0x4C + 4 * i, i < fat ? i : kFree);
    header.resize(ss_, 0);
    for (const auto& s : sectorData_) header.insert(header.end(), s.begin(), s.end());
    return header;
  }

  std::size_t sectorOffset(uint32_t id) const { return static_cast<std::size_t>(ss_) * (id + 1); }
  std::size_t dirEntryOffset(int id) const {
    return sectorOffset(dirStart_ + static_cast<uint32_t>(id) * 128 / ss_) + (static_cast<uint32_t>(id) * 128) % ss_;
  }
  std::size_t fatEntryOffset(uint32_t sector) const { return sectorOffset(sector / (ss_ / 4)) + 4 * (sector % (ss_ / 4)); }
  uint32_t startSector(int id) const { return nodes_[id].start; }

  static void setU16(std::vector<uint8_t>& b, std::size_t at, uint16_t v) { b[at] = v & 0xFF, b[at + 1] = v >> 8; }
  static void setU32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    setU16(b, at, static_cast<uint16_t>(v)), setU16(b, at + 2, static_cast<uint16_t>(v >> 16));
  }
  static void put32(std::vector<uint8_t>& b, uint32_t v) { b.resize(b.size() + 4), setU32(b, b.size() - 4, v); }

 private:
  struct Node {
    std::u16string name;
    uint8_t type;
    std::vector<uint8_t> data;
    int parent;
    uint8_t clsid[16];
    std::vector<int> children;
    uint32_t start = kEnd, left = kFree, right = kFree, child = kFree;
  };

  int add(const std::u16string& name, uint8_t type, std::vector<uint8_t> data, int parent) {
    nodes_.push_back({name, type, std::move(data), parent, {}, {}});
    nodes_[parent].children.push_back(static_cast<int>(nodes_.size() - 1));
    return nodes_[parent].children.back();
  }
  uint32_t sectorsOf(std::size_t bytes) const { return static_cast<uint32_t>((bytes + ss_ - 1) / ss_); }
  uint32_t place(uint32_t& next, const std::vector<uint8_t>& bytes) {
    const uint32_t count = sectorsOf(bytes.size()), start = next;
    for (uint32_t i = 0; i < count; ++i) {
      std::vector<uint8_t> s(ss_, 0);
      const std::size_t from = static_cast<std::size_t>(i) * ss_;
      std::memcpy(s.data(), bytes.data() + from, std::min<std::size_t>(ss_, bytes.size() - from));
      sectorData_.push_back(s);
      fatTable_[start + i] = i + 1 < count ? start + i + 1 : kEnd;
    }
    next += count;
    return start;
  }
  uint32_t tree(const std::vector<int>& ids, std::size_t lo, std::size_t hi) {
    if (lo >= hi) return kFree;
    const std::size_t mid = (lo + hi) / 2;
    Node& n = nodes_[ids[mid]];
    n.left = tree(ids, lo, mid);
    n.right = tree(ids, mid + 1, hi);
    return static_cast<uint32_t>(ids[mid]);
  }
  void appendEntry(std::vector<uint8_t>& dir, const Node& n) const {
    std::vector<uint8_t> e(128, 0);
    for (std::size_t i = 0; i < n.name.size() && i < 31; ++i) setU16(e, 2 * i, static_cast<uint16_t>(n.name[i]));
    setU16(e, 0x40, static_cast<uint16_t>((std::min<std::size_t>(n.name.size(), 31) + 1) * 2));
    e[0x42] = n.type;
    e[0x43] = 1;
    for (auto [at, v] : {std::pair<int, uint32_t>{0x44, n.left}, {0x48, n.right}, {0x4C, n.child}, {0x74, n.start},
                         {0x78, static_cast<uint32_t>(n.data.size())}})
      setU32(e, at, v);
    std::memcpy(&e[0x50], n.clsid, 16);
    dir.insert(dir.end(), e.begin(), e.end());
  }

  int major_;
  uint32_t ss_;
  int minFat_ = 0;
  std::vector<Node> nodes_;
  std::vector<uint32_t> fatTable_;
  std::vector<std::vector<uint8_t>> sectorData_;
  uint32_t dirStart_ = 0;
};

}  // namespace kpl::test
