// Pieces of Lirrand shared by its reader, writer and the exports. Nothing in
// here throws or allocates through operator new: every export returns a status
// and an allocation failure is one more way for a read to fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "lirrand.h"

namespace tavrin::lirrand {

// The staging buffer that reading and writing share, one per library. A text
// must fit it with its terminating zero.
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
    if (size_ == capacity_) {
      size_t grown = capacity_ == 0 ? 64 : capacity_ * 2;
      void* more = std::realloc(items_, grown * sizeof(T));
      if (more == nullptr) return false;
      items_ = static_cast<T*>(more);
      capacity_ = grown;
    }
    items_[size_++] = item;
    return true;
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

// Frees a node, its whole subtree and its sibling chain without recursion and
// without memory of its own.
void freeChain(EddNode* node) noexcept;

// Frees every tree, element and text the block holds and empties its lists
// and text table. Header words and counts stay.
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
