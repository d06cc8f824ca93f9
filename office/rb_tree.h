// The name index of one storage of a compound file: a red-black tree over
// the raw 64-byte directory names, ordered byte-wise (memcmp). The on-disk
// colours and the format's own name ordering are not trusted or used.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kpl {

struct RBTreeNode {
  enum Color : int { BLACK = 0, RED = 1 };

  int32_t id = -1;         // directory entry id
  uint8_t name[64] = {};  // the entry's name field, verbatim
  int color = RED;
  RBTreeNode* left = nullptr;
  RBTreeNode* right = nullptr;
  RBTreeNode* parent = nullptr;
};

class RBTree {
 public:
  // Always 0. A name equal to one already stored is not inserted: the first
  // entry with a name wins.
  int insert(int32_t id, const uint8_t name[64]);

  // Compares keyLength code units (2 bytes each, little-endian) with the
  // start of each stored name. A key that carries its terminating zero
  // matches exactly; a key without one matches any name beginning with it.
  // Null when absent or when the key is longer than a name field holds.
  RBTreeNode* lookupNode(const short* key, int keyLength) const;

  // Every node in insertion order.
  std::vector<RBTreeNode*> getNodeList() const;

 private:
  void rotateLeft(RBTreeNode* n);
  void rotateRight(RBTreeNode* n);
  void insertCase1(RBTreeNode* n);
  void insertCase2(RBTreeNode* n);
  void insertCase3(RBTreeNode* n);
  void insertCase4(RBTreeNode* n);
  void insertCase5(RBTreeNode* n);

  RBTreeNode* root_ = nullptr;
  std::vector<std::unique_ptr<RBTreeNode>> nodes_;  // owns every node
};

}  // namespace kpl
