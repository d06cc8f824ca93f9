// The compound-file reader on files built to be sound, or broken in exactly
// one way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "office/cfb_builder.h"
#include "office/compound_file.h"
#include "test_support.h"

namespace kpl {
namespace {

using test::CfbBuilder;
using Bytes = std::vector<uint8_t>;

Bytes pattern(std::size_t n, uint8_t seed) {
  Bytes v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return v;
}

struct Opened {
  test::TempDir dir;
  CompoundFile file;
  int status = -1;
  explicit Opened(const Bytes& bytes) { status = file.open(dir.write("f.cfb", bytes)); }
};

Bytes streamBytes(CompoundFile& file, const char* name) {
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

    CFStream tiny, large;
    ASSERT_EQ(o.file.getRootStorage().getStream("tiny", tiny), 0);
    ASSERT_EQ(o.file.getRootStorage().getStream("large", large), 0);

    // Reads are clamped to the stream; at its end nothing is handed out.
    char* out = nullptr;
    EXPECT_EQ(tiny.readData(&out, 10, 2), 1);
    EXPECT_EQ(static_cast<uint8_t>(out[0]), pattern(11, 3)[10]);
    OLEUtil::freePtr(&out);
    out = reinterpret_cast<char*>(&o);
    EXPECT_EQ(tiny.readData(&out, 11, 1), 0);
    EXPECT_EQ(out, nullptr);
    const Bytes whole = pattern(4096, 2);
    EXPECT_EQ(large.read(4000, 200), Bytes(whole.begin() + 4000, whole.end()));
  }
}

TEST(CompoundFile, BrokenHeadersAndStructuresFailTheOpen) {
  CfbBuilder b;
  const int a = b.stream("a", pattern(100, 1));
  b.stream("b", pattern(10, 2));
  const int c = b.stream("c", pattern(10, 3));
  const Bytes good = b.build();
  const uint32_t dirStart = loadU32LE(&good[0x30]);
  using Patch = std::function<void(Bytes&)>;
  auto u16 = [](std::size_t at, uint16_t v) -> Patch { return [=](Bytes& f) { CfbBuilder::setU16(f, at, v); }; };
  auto u32 = [](std::size_t at, uint32_t v) -> Patch { return [=](Bytes& f) { CfbBuilder::setU32(f, at, v); }; };
  const struct {
    Patch patch;
    int status;
  } cases[] = {
      {[](Bytes& f) { f.resize(511); }, 1},
      {[](Bytes& f) { f[0] = 0; }, 1},
      // The signature stands but the format check fails: 2.
      {u16(0x1E, 12), 2},  // version 3 with 4096-byte sectors
      {u16(0x1A, 5), 2},
      {u16(0x1C, 0xFEFF), 2},
      {u16(0x20, 7), 2},
      {u16(0x22, 1), 2},
      {u32(0x24, 1), 2},
      {u32(0x38, 4097), 2},
      // Counts the file cannot hold are refused before anything is allocated.
      {u32(0x2C, 0x7FFFFFFF), 1},
      {u32(0x2C, 0x80000000), 1},
      {u32(0x2C, 9), 1},
      {u32(b.fatEntryOffset(dirStart), dirStart), 1},        // directory chain loops
      {u32(b.dirEntryOffset(c) + 0x48, 2), 1},               // sibling tree loops (c -> b)
      {u32(b.dirEntryOffset(a) + 0x44, 1000), 1},            // sibling outside the directory
      {u32(b.dirEntryOffset(0) + 0x4C, 0xFFFFFFFF), 1},      // root without children
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Bytes f = good;
    cases[i].patch(f);
    EXPECT_EQ(Opened(f).status, cases[i].status) << "case " << i;
  }
}

TEST(CompoundFile, DifatSectorCarriesTheFatBeyond109) {
  CfbBuilder b;
  b.fatSectors(110);
  b.stream("payload", pattern(5000, 9));
  Bytes bytes = b.build();
  Opened o(bytes);
  ASSERT_EQ(o.status, 0);
  EXPECT_EQ(streamBytes(o.file, "payload"), pattern(5000, 9));
  CfbBuilder::setU32(bytes, 0x44, 0x00FFFFFF);  // DIFAT chain outside the file
  EXPECT_EQ(Opened(bytes).status, 1);
}

TEST(CompoundFile, LoopingAndCutChainsStayBounded) {
  CfbBuilder b;
  const int id = b.stream("large", pattern(9 * 512 + 10, 4));
  b.stream("small", pattern(200, 5));
  const Bytes bytes = b.build();
  const uint32_t first = b.startSector(id);
  Bytes looped = bytes;
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
  EXPECT_EQ(streamBytes(o.file, "small"), pattern(200, 5)) << "other streams stay readable";

  // A chain cut short of the stream size delivers only what it covers.
  Bytes cut = bytes;
  CfbBuilder::setU32(cut, b.fatEntryOffset(first + 1), CfbBuilder::kEnd);
  Opened c(cut);
  ASSERT_EQ(c.status, 0);
  EXPECT_EQ(streamBytes(c.file, "large").size(), 1024u);
}

TEST(CompoundFile, NameLookupAndSubStorageSearch) {
  CfbBuilder names;
  names.stream("Workbook2", pattern(10, 1));
  names.stream("WORKBOOK", pattern(10, 2));
  names.stream("dup", pattern(10, 3));
  names.stream("dup", pattern(10, 4));
  {
    Opened o(names.build());
    ASSERT_EQ(o.status, 0);
    CFStorage root = o.file.getRootStorage(), storage;
    CFStream s;
    EXPECT_NE(root.getStream("Workbook", s), 0) << "exact, not case-folded";
    const short prefix[8] = {'W', 'o', 'r', 'k', 'b', 'o', 'o', 'k'};
    ASSERT_EQ(root.getStream(prefix, 8, s), 0);
    EXPECT_EQ(s.read(0, 10), pattern(10, 1));
    EXPECT_NE(root.getStorage("WORKBOOK", storage), 0) << "a stream is not a storage";
    // Post-order over the balanced tree (Workbook2, WORKBOOK | dup, dup)
    // inserts the second "dup" (the right subtree) before the first.
    ASSERT_EQ(root.getStream("dup", s), 0);
    EXPECT_EQ(s.read(0, 10), pattern(10, 4));
  }
  CfbBuilder b;
  b.storage("Empty");
  const int outer = b.storage("Outer");
  b.stream("deep", pattern(30, 6), b.storage("Inner", outer));
  b.stream("x", pattern(5, 7), outer);
  Opened o(b.build());
  ASSERT_EQ(o.status, 0);
  CFStorage root = o.file.getRootStorage(), storage;
  CFStream s;
  EXPECT_NE(root.getStorage("Empty", storage), 0) << "childless";
  EXPECT_NE(root.getStream("deep", s), 0);
  ASSERT_EQ(root.tryGetStream("deep", s), 0);
  EXPECT_EQ(s.read(0, 30), pattern(30, 6));
  EXPECT_NE(root.tryGetStream("absent", s), 0);
}

// The black height of a valid red-black subtree, or -1.
int blackHeight(const RBTreeNode* n) {
  if (n == nullptr) return 1;
  for (const RBTreeNode* kid : {n->left, n->right})
    if (n->color == RBTreeNode::RED && kid && kid->color == RBTreeNode::RED) return -1;
  const int l = blackHeight(n->left);
  return l < 0 || l != blackHeight(n->right) ? -1 : l + (n->color == RBTreeNode::BLACK ? 1 : 0);
}

TEST(RBTree, StaysBalancedAndFindsEveryName) {
  RBTree tree;
  std::vector<int> order(500);
  for (int i = 0; i < 500; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(3));
  auto key = [](int i) {  // "n<i>" as zero-terminated UTF-16
    const std::string text = "n" + std::to_string(i);
    std::vector<short> k(text.begin(), text.end());
    k.resize(32, 0);
    return k;
  };
  for (int i : order) tree.insert(i, reinterpret_cast<const uint8_t*>(key(i).data()));
  tree.insert(9999, reinterpret_cast<const uint8_t*>(key(order[0]).data()));  // duplicate: not inserted
  const std::vector<RBTreeNode*> nodes = tree.getNodeList();
  ASSERT_EQ(nodes.size(), 500u);
  EXPECT_EQ(nodes.front()->id, order[0]);
  const RBTreeNode* root = nodes.front();
  while (root->parent != nullptr) root = root->parent;
  EXPECT_EQ(root->color, RBTreeNode::BLACK);
  EXPECT_GT(blackHeight(root), 0);
  for (int i = 0; i < 500; ++i) {
    const std::vector<short> k = key(i);
    const RBTreeNode* found = tree.lookupNode(k.data(), static_cast<int>(std::to_string(i).size() + 2));
    ASSERT_NE(found, nullptr) << i;
    EXPECT_EQ(found->id, i);
  }
  const short tooLong[33] = {'n'};
  EXPECT_EQ(tree.lookupNode(tooLong, 33), nullptr);
}

}  // namespace
}  // namespace kpl
