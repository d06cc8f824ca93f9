// libmagic handle pairs (description and MIME type), pooled across the scan
// slots instead of owned by one slot each.
//
// libmagic compiles and caches patterns per handle as it meets new kinds of
// files, up to about 35 MiB for a pair that has seen everything. Tying a pair
// to each of the 30 slots made one host thread, which the round-robin
// counter walks through every slot in turn, warm 30 pairs one by one: 30x
// the memory and a cold first scan of each kind on every slot. The pool
// instead hands a scan the pair returned most recently (the warmest) and
// opens another only when every pair is in use, so N concurrent scans keep
// N pairs. A pair is taken only under a slot lock, so no more than
// kSlotCount pairs can ever exist.
#pragma once

#include <magic.h>

#include <cstddef>

namespace kpl {

struct MagicPair {
  magic_t description = nullptr;
  magic_t mime = nullptr;
};

namespace magic_pool {

// Maps the compiled database and opens the first pair; false when the
// database is missing or libmagic refuses it. The first pair is kept even
// then, so that its error text stays readable (firstPair).
bool open();
// Closes every pair (none may be in use) and unmaps the database.
void close();

// A free pair, or a new one when none is free; null when a new pair cannot
// be opened or loaded. Give it back with release.
MagicPair* acquire();
void release(MagicPair* pair);

// The pair open() made, or null before open.
const MagicPair* firstPair();
// Pairs opened since open(), free or in use.
std::size_t pairCount();

}  // namespace magic_pool

// Hands a scan one pair for one scope.
class PooledMagicPair {
 public:
  PooledMagicPair() : pair_(magic_pool::acquire()) {}
  ~PooledMagicPair() {
    if (pair_ != nullptr) magic_pool::release(pair_);
  }
  PooledMagicPair(const PooledMagicPair&) = delete;
  PooledMagicPair& operator=(const PooledMagicPair&) = delete;

  MagicPair* get() const { return pair_; }

 private:
  MagicPair* pair_;
};

}  // namespace kpl
