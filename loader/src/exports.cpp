// The three exports of Driver/Lirrand.so and the module-wide state. The
// layout checks pin the document block to the form every consumer was built
// against: the program, the model and C callers all index it by offset.
#include <cstddef>

#include "internal.h"

static_assert(sizeof(EddNode) == 24);
static_assert(offsetof(EddNode, tag) == 0);
static_assert(offsetof(EddNode, value) == 4);
static_assert(offsetof(EddNode, child) == 8);
static_assert(offsetof(EddNode, sibling) == 16);
static_assert(sizeof(EddElement) == 24);
static_assert(offsetof(EddElement, id) == 0);
static_assert(offsetof(EddElement, root) == 8);
static_assert(offsetof(EddElement, next) == 16);
static_assert(sizeof(EddBlock) == 752);
static_assert(offsetof(EddBlock, header) == 0);
static_assert(offsetof(EddBlock, counts) == 8);
static_assert(offsetof(EddBlock, heads) == 112);
static_assert(offsetof(EddBlock, textCount) == 736);
static_assert(offsetof(EddBlock, texts) == 744);

namespace tavrin::lirrand {

char g_staging[kStagingSize];

namespace {
// The block of the latest read. Kept for callers that inspect it in a
// debugger; nothing trusts it, every export works on the block it is given.
EddBlock* g_current = nullptr;
}  // namespace

}  // namespace tavrin::lirrand

extern "C" {

int32_t Binary_ReadEDD(EddBlock* block, const char* path) {
  using namespace tavrin::lirrand;
  if (block == nullptr) return 0;
  g_current = block;
  std::memset(block, 0, sizeof *block);
  if (path == nullptr) return 0;
  return readDescription(block, path);
}

int32_t Binary_PrintEDD(EddBlock* block, const char* path) {
  if (block == nullptr || path == nullptr) return -1;
  return tavrin::lirrand::writeDescription(block, path);
}

void Binary_DeleteALL(EddBlock* block) {
  if (block != nullptr) tavrin::lirrand::freeContents(block);
}

}  // extern "C"
