// The compound-file reader on files built to be sound, or broken in exactly
// one way.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "office/cfb_builder.h"
#include "office/compound_file.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::CfbBuilder;

std::vector<uint8_t> pattern(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return v;
}

struct Opened {
  test::TempDir dir;
  CompoundFile file;
  int status = -1;
  explicit Opened(const std::vector<uint8_t>& bytes) { status = file.open(dir.write("f.cfb", bytes)); }
};

std::vector<uint8_t> streamBytes(CompoundFile& file, const char* name) {
  CFStream s;
  if (file.getRootStorage().getStream(name, s) != 0) return {};
  return s.read(0, s.size());
}

TEST(CompoundFile, ReadsShortAndRegularStreamsInBothVersions) {
  for (int major : {3, 4}) {
    CfbBuilder b(major);
    b.stream("small", pattern(4095, 1));
    b.stream("large", pattern(4096, 2));
    b.stream("tiny", pattern(11, 3));
    Opened o(b.build());
    ASSERT_EQ(o.status, 0) << major;
    EXPECT_EQ(streamBytes(o.file, "small"), pattern(4095, 1));
    EXPECT_EQ(streamBytes(o.file, "large"), pattern(4096, 2));

    CFStream small, large, tiny;
    CFStorage root = o.file.getRootStorage();
    ASSERT_EQ(root.getStream("small", small), 0);
    ASSERT_EQ(root.getStream("large", large), 0);
    ASSERT_EQ(root.getStream("tiny", tiny), 0);
    std::vector<int64_t> offsets;
    int unit = 0;
    ASSERT_EQ(o.file.getSecOffsetChain(small.entry(), offsets, unit), 0);
    EXPECT_EQ(unit, 64);
    ASSERT_EQ(o.file.getSecOffsetChain(large.entry(), offsets, unit), 0);
    EXPECT_EQ(unit, major == 4 ? 4096 : 512);
    EXPECT_EQ(offsets.front(), int64_t{unit} * (b.startSector(large.entry().id) + 1));
    // One directory sector: 4 entries of 512 bytes, 32 of 4096.
    EXPECT_EQ(o.file.directorySize(), major == 4 ? 32u : 4u);

    // Reads are clamped to the stream; at its end nothing is handed out.
    char* out = reinterpret_cast<char*>(&o);
    EXPECT_EQ(tiny.readData(&out, 10, 2), 1);
    EXPECT_EQ(static_cast<uint8_t>(out[0]), pattern(11, 3)[10]);
    OLEUtil::freePtr(&out);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<char*>(&o);
    EXPECT_EQ(tiny.readData(&out, 11, 1), 0);
    EXPECT_EQ(out, nullptr);
    const std::vector<uint8_t> whole = pattern(4096, 2);
    EXPECT_EQ(large.read(4000, 200), std::vector<uint8_t>(whole.begin() + 4000, whole.end()));
  }
}

TEST(CompoundFile, RejectsShortFilesAndBadHeaders) {
  CfbBuilder b;
  b.stream("s", pattern(100, 0));
  const std::vector<uint8_t> good = b.build();
  EXPECT_EQ(Opened(std::vector<uint8_t>(good.begin(), good.begin() + 511)).status, 1);
  std::vector<uint8_t> noSignature = good;
  noSignature[0] = 0;
  EXPECT_EQ(Opened(noSignature).status, 1);

  // Each of these keeps the signature but fails the format check: 2.
  const std::vector<std::function<void(std::vector<uint8_t>&)>> breakers = {
      [](auto& f) { CfbBuilder::setU16(f, 0x1E, 12); },    // version 3 with 4096-byte sectors
      [](auto& f) { CfbBuilder::setU16(f, 0x1A, 5); },     // unknown version
      [](auto& f) { CfbBuilder::setU16(f, 0x1C, 0xFEFF); },
      [](auto& f) { CfbBuilder::setU16(f, 0x20, 7); },     // 128-byte short sectors
      [](auto& f) { CfbBuilder::setU16(f, 0x22, 1); },
      [](auto& f) { CfbBuilder::setU32(f, 0x24, 1); },
      [](auto& f) { CfbBuilder::setU32(f, 0x38, 4097); },  // mini stream cutoff
  };
  for (std::size_t i = 0; i < breakers.size(); ++i) {
    std::vector<uint8_t> f = good;
    breakers[i](f);
    EXPECT_EQ(Opened(f).status, 2) << "breaker " << i;
  }

  // Counts the file cannot hold are refused before anything is allocated.
  for (uint32_t fatCount : {0x7FFFFFFFu, 0x80000000u, 9u}) {
    std::vector<uint8_t> f = good;
    CfbBuilder::setU32(f, 0x2C, fatCount);
    EXPECT_EQ(Opened(f).status, 1) << fatCount;
  }
}

TEST(CompoundFile, DifatSectorCarriesTheFatBeyond109) {
  CfbBuilder b;
  b.fatSectors(110);
  b.stream("payload", pattern(5000, 9));
  std::vector<uint8_t> bytes = b.build();
  Opened o(bytes);
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(streamBytes(o.file, "payload"), pattern(5000, 9));

  // A DIFAT chain that points outside the file breaks the allocation table.
  CfbBuilder::setU32(bytes, 0x44, 0x00FFFFFF);
  EXPECT_EQ(Opened(bytes).status, 1);
}

TEST(CompoundFile, LoopingChainsFailInsteadOfLooping) {
  CfbBuilder b;
  const int id = b.stream("large", pattern(9 * 512 + 10, 4));
  b.stream("small", pattern(200, 5));
  std::vector<uint8_t> bytes = b.build();
  const uint32_t first = b.startSector(id);
  std::vector<uint8_t> looped = bytes;
  CfbBuilder::setU32(looped, b.fatEntryOffset(first + 9), first + 1);  // last sector -> second
  Opened o(looped);
  ASSERT_EQ(o.status, 0);
  CFStream large;
  ASSERT_EQ(o.file.getRootStorage().getStream("large", large), 0);
  char* out = nullptr;
  EXPECT_EQ(large.readData(&out, 0, 100), 0);
  EXPECT_EQ(out, nullptr);
  std::vector<int32_t> chain;
  EXPECT_EQ(o.file.getSecIDChain(static_cast<int32_t>(first), chain, REGULAR_SECTOR), 1);
  EXPECT_EQ(o.file.getSecIDChain(-1, chain, REGULAR_SECTOR), 1);
  EXPECT_EQ(o.file.getSecIDChain(0, chain, static_cast<SectorType>(7)), 1);
  EXPECT_EQ(streamBytes(o.file, "small"), pattern(200, 5)) << "other streams stay readable";

  // A directory chain that loops onto itself fails the open.
  std::vector<uint8_t> dirLoop = bytes;
  const uint32_t dirStart = loadU32LE(&bytes[0x30]);
  CfbBuilder::setU32(dirLoop, b.fatEntryOffset(dirStart), dirStart);
  EXPECT_EQ(Opened(dirLoop).status, 1);

  // A chain cut short of the stream size delivers only what it covers.
  std::vector<uint8_t> cut = bytes;
  CfbBuilder::setU32(cut, b.fatEntryOffset(first + 1), CfbBuilder::kEnd);
  Opened c(cut);
  ASSERT_EQ(c.status, 0);
  EXPECT_EQ(streamBytes(c.file, "large").size(), 1024u);
}

TEST(CompoundFile, SiblingTreesAreIndexedOnceAndLoopsFail) {
  CfbBuilder b;
  const int a = b.stream("a", pattern(10, 1));
  b.stream("b", pattern(10, 2));
  const int c = b.stream("c", pattern(10, 3));
  std::vector<uint8_t> bytes = b.build();
  // Balanced: "b" is the root's child with "a" left and "c" right.
  std::vector<uint8_t> loop = bytes;
  CfbBuilder::setU32(loop, b.dirEntryOffset(c) + 0x48, 2);  // c's right -> b
  EXPECT_EQ(Opened(loop).status, 1);
  std::vector<uint8_t> outside = bytes;
  CfbBuilder::setU32(outside, b.dirEntryOffset(a) + 0x44, 1000);
  EXPECT_EQ(Opened(outside).status, 1);
  // A root without children cannot be opened.
  std::vector<uint8_t> empty = bytes;
  CfbBuilder::setU32(empty, b.dirEntryOffset(0) + 0x4C, 0xFFFFFFFF);
  EXPECT_EQ(Opened(empty).status, 1);
}

TEST(CompoundFile, NameLookupIsExactAndFirstDuplicateWins) {
  CfbBuilder b;
  b.stream("Workbook2", pattern(10, 1));
  b.stream("WORKBOOK", pattern(10, 2));
  b.stream("dup", pattern(10, 3));
  b.stream("dup", pattern(10, 4));
  Opened o(b.build());
  ASSERT_EQ(o.status, 0);
  CFStorage root = o.file.getRootStorage();
  CFStream s;
  EXPECT_NE(root.getStream("Workbook", s), 0);
  ASSERT_EQ(root.getStream("WORKBOOK", s), 0);
  const short prefix[8] = {'W', 'o', 'r', 'k', 'b', 'o', 'o', 'k'};
  ASSERT_EQ(root.getStream(prefix, 8, s), 0);
  EXPECT_EQ(s.read(0, 10), pattern(10, 1));
  CFStorage storage;
  EXPECT_NE(root.getStorage("WORKBOOK", storage), 0) << "a stream is not a storage";

  // Post-order over the balanced tree (Workbook2, WORKBOOK | dup, dup)
  // inserts the second "dup" (the right subtree) before the first.
  ASSERT_EQ(root.getStream("dup", s), 0);
  EXPECT_EQ(s.read(0, 10), pattern(10, 4));
}

TEST(CompoundFile, SubStorageSearchSkipsChildlessAndCyclicStorages) {
  CfbBuilder b;
  const int empty = b.storage("Empty");
  const int outer = b.storage("Outer");
  const int inner = b.storage("Inner", outer);
  b.stream("deep", pattern(30, 6), inner);
  b.stream("x", pattern(5, 7), outer);
  std::vector<uint8_t> bytes = b.build();
  {
    Opened o(bytes);
    ASSERT_EQ(o.status, 0);
    CFStorage root = o.file.getRootStorage(), storage;
    EXPECT_NE(root.getStorage("Empty", storage), 0);
    CFStream s;
    EXPECT_NE(root.getStream("deep", s), 0);
    ASSERT_EQ(root.tryGetStream("deep", s), 0);
    EXPECT_EQ(s.read(0, 30), pattern(30, 6));
    EXPECT_NE(root.tryGetStream("absent", s), 0);
  }
  // Inner's child pointing back at Outer's subtree makes a cycle of storages.
  CfbBuilder::setU32(bytes, b.dirEntryOffset(inner) + 0x4C, static_cast<uint32_t>(inner));
  Opened o(bytes);
  ASSERT_EQ(o.status, 0);
  CFStream s;
  EXPECT_NE(o.file.getRootStorage().tryGetStream("deep", s), 0);
  (void)empty;
}

TEST(CompoundFile, ReadOnlyFileOpensAndIsNeverWritten) {
  CfbBuilder b;
  b.stream("data", pattern(600, 8));
  test::TempDir dir;
  const std::string path = dir.write("ro.cfb", b.build());
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const std::string before = test::readFile(path);
  CompoundFile file;
  ASSERT_EQ(file.open(path), 0);
  EXPECT_EQ(file.open(path), 1) << "a second open of an open file";
  CFStream s;
  ASSERT_EQ(file.getRootStorage().getStream("data", s), 0);
  const char junk[4] = {1, 2, 3, 4};
  EXPECT_EQ(s.writeData(junk, 0, 4), 0);
  EXPECT_EQ(s.setData(junk, 4), 0);
  file.close();
  EXPECT_EQ(test::readFile(path), before);
}

TEST(CompoundFile, TruncationAndCorruptionSweeps) {
  CfbBuilder b;
  b.stream("large", pattern(5000, 1));
  b.stream("small", pattern(300, 2));
  b.storage("sub");
  const std::vector<uint8_t> good = b.build();
  test::TempDir dir;
  for (std::size_t n = 0; n < good.size(); n += 3) {
    CompoundFile file;
    const int status = file.open(dir.write("t", std::vector<uint8_t>(good.begin(), good.begin() + n)));
    if (n < 512) {
      EXPECT_EQ(status, 1);
    }
    if (status != 0) continue;
    CFStream s;
    if (file.getRootStorage().getStream("large", s) == 0) {
      EXPECT_LE(s.read(0, 6000).size(), 5000u);
    }
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> f = good;
    for (int k = 0; k < 4; ++k) f[rng() % f.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    f[0x2C + rng() % 0x20] = static_cast<uint8_t>(rng());  // a header count or sector id
    CompoundFile file;
    if (file.open(dir.write("c", f)) != 0) continue;
    CFStream s;
    CFStorage root = file.getRootStorage();
    for (const char* name : {"large", "small"})
      if (root.getStream(name, s) == 0) s.read(0, 6000);
    root.tryGetStream("none", s);
  }
}

bool redBlackValid(const RBTreeNode* n, int& blackHeight) {
  if (n == nullptr) {
    blackHeight = 1;
    return true;
  }
  if (n->color == RBTreeNode::RED && ((n->left && n->left->color == RBTreeNode::RED) ||
                                      (n->right && n->right->color == RBTreeNode::RED)))
    return false;
  int l = 0, r = 0;
  if (!redBlackValid(n->left, l) || !redBlackValid(n->right, r) || l != r) return false;
  blackHeight = l + (n->color == RBTreeNode::BLACK ? 1 : 0);
  return true;
}

TEST(RBTree, StaysBalancedAndFindsEveryName) {
  RBTree tree;
  std::vector<int> order(500);
  for (int i = 0; i < 500; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(3));
  auto nameOf = [](int i, uint8_t* name) {
    std::memset(name, 0, 64);
    const std::string text = "n" + std::to_string(i);
    for (std::size_t k = 0; k < text.size(); ++k) name[2 * k] = static_cast<uint8_t>(text[k]);
  };
  uint8_t name[64];
  for (int i : order) {
    nameOf(i, name);
    tree.insert(i, name);
  }
  nameOf(order[0], name);
  tree.insert(9999, name);  // duplicate: not inserted
  const std::vector<RBTreeNode*> nodes = tree.getNodeList();
  ASSERT_EQ(nodes.size(), 500u);
  EXPECT_EQ(nodes.front()->id, order[0]);
  const RBTreeNode* root = nodes.front();
  while (root->parent != nullptr) root = root->parent;
  int height = 0;
  EXPECT_EQ(root->color, RBTreeNode::BLACK);
  EXPECT_TRUE(redBlackValid(root, height));
  for (int i = 0; i < 500; ++i) {
    const std::string text = "n" + std::to_string(i);
    std::vector<short> key(text.begin(), text.end());
    key.push_back(0);
    const RBTreeNode* found = tree.lookupNode(key.data(), static_cast<int>(key.size()));
    ASSERT_NE(found, nullptr) << i;
    EXPECT_EQ(found->id, i);
  }
  const short tooLong[33] = {'n'};
  EXPECT_EQ(tree.lookupNode(tooLong, 33), nullptr);
}

}  // namespace
}  // namespace kpl
