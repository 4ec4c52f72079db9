#include "internal.h"

namespace tavrin::lirrand {

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
  if (block->texts != nullptr) {
    for (int32_t i = 0; i < block->textCount; ++i) std::free(block->texts[i]);
    std::free(block->texts);
  }
  // A stale array would be freed twice by the next call.
  block->texts = nullptr;
  block->textCount = 0;
  for (EddElement& head : block->heads) {
    EddElement* element = head.next;
    while (element != nullptr) {
      EddElement* next = element->next;
      freeChain(element->root);
      std::free(element);
      element = next;
    }
    head.next = nullptr;
  }
}

}  // namespace tavrin::lirrand
