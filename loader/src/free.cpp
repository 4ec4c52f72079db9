// Releasing what a read allocated: the arena of a load, found through the
// block's pointers, or, for a block a caller put together from malloc'd
// pieces, every piece.
#include <new>

#include "internal.h"

namespace tavrin::lirrand {
namespace {

constexpr size_t kLargestChunk = 4 * 1024 * 1024;

// Blocks of freed reads, kept for the next read: the program reloads
// descriptions of much the same size, and memory that is already mapped
// saves the kernel thousands of page faults a read. At most kKeptBytes stay
// behind; the rest goes back at once. Under AddressSanitizer nothing is kept,
// so that a use of a tree after Binary_DeleteALL is caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kKeptBytes = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t kKeptBytes = 0;
#else
constexpr size_t kKeptBytes = 64 * 1024 * 1024;
#endif
#else
constexpr size_t kKeptBytes = 64 * 1024 * 1024;
#endif

struct KeptChunks {
  Arena::Chunk* first = nullptr;
  size_t bytes = 0;
  ~KeptChunks() {
    while (first != nullptr) {
      Arena::Chunk* next = first->next;
      std::free(first);
      first = next;
    }
  }
};
KeptChunks g_kept;

// A kept chunk of at least `bytes`, or nullptr.
Arena::Chunk* takeKept(size_t bytes) noexcept {
  for (Arena::Chunk** at = &g_kept.first; *at != nullptr; at = &(*at)->next) {
    if ((*at)->size >= bytes) {
      Arena::Chunk* chunk = *at;
      *at = chunk->next;
      g_kept.bytes -= chunk->size;
      return chunk;
    }
  }
  return nullptr;
}

// The reads whose blocks are not freed yet, newest first. Few at a time: a
// program holds one description, a test a handful.
Load* g_loads = nullptr;

// The load whose memory a block's pointers lead to: its text array, or the
// first element of any list.
Load** findLoad(const EddBlock* block) noexcept {
  const EddElement* element = nullptr;
  for (const EddElement& head : block->heads) {
    if (head.next != nullptr) {
      element = head.next;
      break;
    }
  }
  if (block->texts == nullptr && element == nullptr) return nullptr;
  for (Load** at = &g_loads; *at != nullptr; at = &(*at)->next) {
    const Load& load = **at;
    if ((block->texts != nullptr && block->texts == load.texts) || (element != nullptr && load.arena.owns(element)))
      return at;
  }
  return nullptr;
}

void freePieces(EddBlock* block) noexcept {
  if (block->texts != nullptr) {
    for (int32_t i = 0; i < block->textCount; ++i) std::free(block->texts[i]);
    std::free(block->texts);
  }
  for (EddElement& head : block->heads) {
    EddElement* element = head.next;
    while (element != nullptr) {
      EddElement* next = element->next;
      freeChain(element->root);
      std::free(element);
      element = next;
    }
  }
}

}  // namespace

bool Arena::grow(size_t bytes) noexcept {
  size_t size = nextSize_;
  while (size < bytes) size *= 2;
  Chunk* chunk = takeKept(size);
  if (chunk == nullptr) {
    void* memory = std::malloc(sizeof(Chunk) + size);
    if (memory == nullptr) return false;
    chunk = static_cast<Chunk*>(memory);
    chunk->size = size;
  }
  chunk->next = chunks_;
  chunks_ = chunk;
  size = chunk->size;
  next_ = reinterpret_cast<unsigned char*>(chunk + 1);
  end_ = next_ + size;
  if (nextSize_ < kLargestChunk) nextSize_ *= 2;
  return true;
}

bool Arena::owns(const void* p) const noexcept {
  const auto at = reinterpret_cast<uintptr_t>(p);
  for (const Chunk* c = chunks_; c != nullptr; c = c->next) {
    const auto begin = reinterpret_cast<uintptr_t>(c + 1);
    if (at >= begin && at < begin + c->size) return true;
  }
  return false;
}

void Arena::release() noexcept {
  while (chunks_ != nullptr) {
    Chunk* next = chunks_->next;
    if (g_kept.bytes + chunks_->size <= kKeptBytes) {
      chunks_->next = g_kept.first;
      g_kept.first = chunks_;
      g_kept.bytes += chunks_->size;
    } else {
      std::free(chunks_);
    }
    chunks_ = next;
  }
  next_ = end_ = nullptr;
  nextSize_ = 64 * 1024;
}

void keepLoad(Load* load) noexcept {
  load->next = g_loads;
  g_loads = load;
}

void freeChain(EddNode* node) noexcept {
  // Rotating each first child up into the sibling chain turns the tree into
  // a list as it goes: linear time, no stack, whatever the shape.
  while (node != nullptr) {
    if (EddNode* child = node->child) {
      node->child = child->sibling;
      child->sibling = node;
      node = child;
    } else {
      EddNode* next = node->sibling;
      std::free(node);
      node = next;
    }
  }
}

void freeContents(EddBlock* block) noexcept {
  if (Load** at = findLoad(block)) {
    Load* load = *at;
    *at = load->next;
    std::free(load->texts);
    load->~Load();
    std::free(load);
  } else {
    freePieces(block);
  }
  // Stale pointers would be freed twice by the next call.
  block->texts = nullptr;
  block->textCount = 0;
  for (EddElement& head : block->heads) head.next = nullptr;
}

}  // namespace tavrin::lirrand
