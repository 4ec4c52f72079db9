// Releasing what a read allocated: the arena of a load, found through the
// block's pointers, or, for a block a caller put together from malloc'd
// pieces, every piece.
#include <new>

#include "internal.h"

namespace tavrin::lirrand {
namespace {

constexpr size_t kLargestChunk = 4 * 1024 * 1024;

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
  void* memory = std::malloc(sizeof(Chunk) + size);
  if (memory == nullptr) return false;
  auto* chunk = static_cast<Chunk*>(memory);
  chunk->next = chunks_;
  chunk->size = size;
  chunks_ = chunk;
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
    std::free(chunks_);
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
