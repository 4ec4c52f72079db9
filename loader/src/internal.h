// Pieces of Lirrand shared by its reader, writer and the exports. Nothing in
// here throws or allocates through operator new (a Load is placed in malloc'd
// memory): every export returns a status
// and an allocation failure is one more way for a read to fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "lirrand.h"

namespace tavrin::lirrand {

// The staging buffer of the writer, one per library. A text read must fit
// its size with its terminating zero.
inline constexpr size_t kStagingSize = 10240;
// Deepest tree a file may hold (the root is level 1). The walkers never
// recurse, so the limit guards the caller's recursive walks, not ours.
inline constexpr size_t kMaxDepth = 10000;

extern char g_staging[kStagingSize];

// A growable stack of trivially copyable items for the iterative walkers.
// push() reports allocation failure instead of throwing.
template <class T>
class PodStack {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  PodStack() = default;
  ~PodStack() { std::free(items_); }
  PodStack(const PodStack&) = delete;
  PodStack& operator=(const PodStack&) = delete;

  [[nodiscard]] bool push(const T& item) {
    T* slot = emplace();
    if (slot == nullptr) return false;
    *slot = item;
    return true;
  }
  // A new top slot to fill in place, nullptr when memory runs out. Filling
  // the fields one by one spares a copy through a temporary.
  [[nodiscard]] T* emplace() {
    if (size_ == capacity_) {
      size_t grown = capacity_ == 0 ? 64 : capacity_ * 2;
      void* more = std::realloc(items_, grown * sizeof(T));
      if (more == nullptr) return nullptr;
      items_ = static_cast<T*>(more);
      capacity_ = grown;
    }
    return &items_[size_++];
  }
  T& top() { return items_[size_ - 1]; }
  void pop() { --size_; }
  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }
  size_t size() const { return size_; }

 private:
  T* items_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// The memory of one read: nodes, elements and texts are carved from a few
// large chunks and released together, so a description of a million nodes
// costs a few dozen allocations instead of a million, and freeing it does not
// walk the trees. Chunks grow from 64 KB to 4 MB; every piece is 8-aligned.
// Released chunks may be kept for the next read (free.cpp).
class Arena {
 public:
  Arena() = default;
  ~Arena() { release(); }
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // Room for `bytes`; nullptr when memory runs out.
  void* allocate(size_t bytes) {
    bytes = (bytes + 7) & ~size_t{7};
    if (bytes > static_cast<size_t>(end_ - next_)) [[unlikely]] {
      if (!grow(bytes)) return nullptr;
    }
    void* out = next_;
    next_ += bytes;
    return out;
  }
  // Room for up to `bytes` at the current end, kept only by commit().
  char* reserve(size_t bytes) {
    if (bytes > static_cast<size_t>(end_ - next_) && !grow(bytes)) return nullptr;
    return reinterpret_cast<char*>(next_);
  }
  void commit(size_t bytes) { next_ += (bytes + 7) & ~size_t{7}; }

  bool empty() const { return chunks_ == nullptr; }
  // Whether p points into one of the chunks.
  bool owns(const void* p) const noexcept;
  void release() noexcept;

  struct Chunk {
    Chunk* next;
    size_t size;  // bytes after the header
  };

 private:
  bool grow(size_t bytes) noexcept;

  Chunk* chunks_ = nullptr;
  unsigned char* next_ = nullptr;
  unsigned char* end_ = nullptr;
  size_t nextSize_ = 64 * 1024;
};

// A read that succeeded, kept in a module-wide list until its block is
// freed: the block itself has no room for it, so Binary_DeleteALL finds it
// through the block's pointers.
struct Load {
  Load* next = nullptr;
  Arena arena;
  char** texts = nullptr;  // the text array (grown with realloc, not in the arena)
};

// Adds a finished read to the list; the list owns it from then on.
void keepLoad(Load* load) noexcept;

// Frees a node, its whole subtree and its sibling chain without recursion and
// without memory of its own. For trees a caller built with malloc.
void freeChain(EddNode* node) noexcept;

// Frees every tree, element and text the block holds and empties its lists
// and text table. Header words and counts stay. A block that came from a
// read is released whole with its arena; one a caller built from malloc'd
// pieces is freed piece by piece.
void freeContents(EddBlock* block) noexcept;

// The id of a tree by its root tag; false for a root that names no object.
bool objectId(const EddNode* root, int32_t* id) noexcept;

// Reduces a multi-language text to its English parts. out must hold
// length + 1 bytes (the result is never longer than the input); returns the
// length written before the terminating zero.
size_t languageFilter(const char* in, size_t length, char* out) noexcept;

int32_t readDescription(EddBlock* block, const char* path) noexcept;
int32_t writeDescription(const EddBlock* block, const char* path) noexcept;

}  // namespace tavrin::lirrand
