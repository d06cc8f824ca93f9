#include "office/rb_tree.h"

#include <cstring>

namespace kpl {

namespace {

RBTreeNode* grandparent(RBTreeNode* n) { return n->parent ? n->parent->parent : nullptr; }

RBTreeNode* uncle(RBTreeNode* n) {
  RBTreeNode* g = grandparent(n);
  if (g == nullptr) return nullptr;
  return n->parent == g->left ? g->right : g->left;
}

bool isRed(const RBTreeNode* n) { return n != nullptr && n->color == RBTreeNode::RED; }

}  // namespace

int RBTree::insert(int32_t id, const uint8_t name[64]) {
  RBTreeNode* parent = nullptr;
  RBTreeNode** link = &root_;
  while (*link != nullptr) {
    const int order = std::memcmp(name, (*link)->name, 64);
    if (order == 0) return 0;
    parent = *link;
    link = order < 0 ? &parent->left : &parent->right;
  }
  auto node = std::make_unique<RBTreeNode>();
  node->id = id;
  std::memcpy(node->name, name, 64);
  node->parent = parent;
  *link = node.get();
  nodes_.push_back(std::move(node));
  insertCase1(*link);
  return 0;
}

// The five insertion cases: each either ends or hands on to the next, and
// case 3 restarts two levels up, so the loop is bounded by the height.
void RBTree::insertCase1(RBTreeNode* n) {
  if (n->parent == nullptr)
    n->color = RBTreeNode::BLACK;
  else
    insertCase2(n);
}

void RBTree::insertCase2(RBTreeNode* n) {
  if (!isRed(n->parent)) return;
  insertCase3(n);
}

void RBTree::insertCase3(RBTreeNode* n) {
  RBTreeNode* u = uncle(n);
  if (isRed(u)) {
    RBTreeNode* g = grandparent(n);
    n->parent->color = RBTreeNode::BLACK;
    u->color = RBTreeNode::BLACK;
    g->color = RBTreeNode::RED;
    insertCase1(g);
  } else {
    insertCase4(n);
  }
}

void RBTree::insertCase4(RBTreeNode* n) {
  RBTreeNode* g = grandparent(n);
  if (n == n->parent->right && n->parent == g->left) {
    rotateLeft(n->parent);
    n = n->left;
  } else if (n == n->parent->left && n->parent == g->right) {
    rotateRight(n->parent);
    n = n->right;
  }
  insertCase5(n);
}

void RBTree::insertCase5(RBTreeNode* n) {
  RBTreeNode* g = grandparent(n);
  n->parent->color = RBTreeNode::BLACK;
  g->color = RBTreeNode::RED;
  if (n == n->parent->left)
    rotateRight(g);
  else
    rotateLeft(g);
}

void RBTree::rotateLeft(RBTreeNode* n) {
  RBTreeNode* r = n->right;
  n->right = r->left;
  if (r->left != nullptr) r->left->parent = n;
  r->parent = n->parent;
  if (n->parent == nullptr)
    root_ = r;
  else if (n == n->parent->left)
    n->parent->left = r;
  else
    n->parent->right = r;
  r->left = n;
  n->parent = r;
}

void RBTree::rotateRight(RBTreeNode* n) {
  RBTreeNode* l = n->left;
  n->left = l->right;
  if (l->right != nullptr) l->right->parent = n;
  l->parent = n->parent;
  if (n->parent == nullptr)
    root_ = l;
  else if (n == n->parent->right)
    n->parent->right = l;
  else
    n->parent->left = l;
  l->right = n;
  n->parent = l;
}

RBTreeNode* RBTree::lookupNode(const short* key, int keyLength) const {
  if (key == nullptr || keyLength <= 0 || keyLength > 32) return nullptr;
  uint8_t bytes[64];
  for (int i = 0; i < keyLength; ++i) {
    const auto unit = static_cast<uint16_t>(key[i]);
    bytes[2 * i] = static_cast<uint8_t>(unit & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(unit >> 8);
  }
  const std::size_t n = static_cast<std::size_t>(keyLength) * 2;
  RBTreeNode* node = root_;
  while (node != nullptr) {
    const int order = std::memcmp(bytes, node->name, n);
    if (order == 0) return node;
    node = order < 0 ? node->left : node->right;
  }
  return nullptr;
}

std::vector<RBTreeNode*> RBTree::getNodeList() const {
  std::vector<RBTreeNode*> list;
  list.reserve(nodes_.size());
  for (const auto& node : nodes_) list.push_back(node.get());
  return list;
}

}  // namespace kpl
