// Writing a description file: the trees of every list in pre-order and the
// texts reduced to English. The count written for a list is the number of
// trees written for it, so the file always reads back, whatever the block's
// counts say.
#include <cstdio>

#include "edd/tags.h"
#include "internal.h"

namespace tavrin::lirrand {
namespace {

class Output {
 public:
  explicit Output(std::FILE* file) : file_(file) {}

  void u16(uint16_t v) {
    unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    bytes(b, 2);
  }
  void u32(uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    bytes(b, 4);
  }
  void bytes(const void* data, size_t n) {
    if (ok_ && std::fwrite(data, 1, n, file_) != n) ok_ = false;
  }
  bool ok() const { return ok_; }
  void fail() { ok_ = false; }

 private:
  std::FILE* file_;
  bool ok_ = true;
};

uint32_t childCount(const EddNode* node) {
  uint32_t n = 0;
  for (const EddNode* c = node->child; c != nullptr; c = c->sibling) ++n;
  return n;
}

void writeNode(Output& out, const EddNode* node) {
  out.u16(node->tag);
  if (edd::carriesValue(node->tag)) out.u32(node->value);
  out.u32(childCount(node));
}

// Pre-order without recursion: the stack holds, per open level, the sibling
// still to be written after the current subtree. The root's own sibling
// chain is no part of its tree.
void writeTree(Output& out, const EddNode* root) {
  PodStack<const EddNode*> pending;
  writeNode(out, root);
  const EddNode* node = root->child;
  while (node != nullptr && out.ok()) {
    writeNode(out, node);
    if (node->child != nullptr) {
      if (node->sibling != nullptr && !pending.push(node->sibling)) {
        out.fail();
        return;
      }
      node = node->child;
      continue;
    }
    node = node->sibling;
    if (node == nullptr && !pending.empty()) {
      node = pending.top();
      pending.pop();
    }
  }
}

void writeText(Output& out, const char* text) {
  if (text == nullptr) text = "";
  size_t length = std::strlen(text);
  // Texts read from a file always fit the staging buffer; a caller's longer
  // text gets a buffer of its own rather than overrunning the shared one.
  char* filtered = length < kStagingSize ? g_staging : static_cast<char*>(std::malloc(length + 1));
  if (filtered == nullptr) {
    out.fail();
    return;
  }
  size_t kept = languageFilter(text, length, filtered);
  out.bytes(filtered, kept + 1);
  if (filtered != g_staging) std::free(filtered);
}

void writeAll(Output& out, const EddBlock* block) {
  for (uint16_t word : block->header) out.u16(word);
  for (const EddElement& head : block->heads) {
    uint32_t trees = 0;
    for (const EddElement* e = head.next; e != nullptr; e = e->next)
      if (e->root != nullptr) ++trees;
    out.u32(trees);
  }
  for (const EddElement& head : block->heads)
    for (const EddElement* e = head.next; e != nullptr && out.ok(); e = e->next)
      if (e->root != nullptr) writeTree(out, e->root);
  const int32_t texts = block->texts != nullptr && block->textCount > 0 ? block->textCount : 0;
  out.u32(static_cast<uint32_t>(texts));
  for (int32_t i = 0; i < texts && out.ok(); ++i) writeText(out, block->texts[i]);
}

}  // namespace

int32_t writeDescription(const EddBlock* block, const char* path) noexcept {
  std::FILE* file = std::fopen(path, "wb+");
  if (file == nullptr) return -1;
  Output out(file);
  writeAll(out, block);
  const bool closed = std::fclose(file) == 0;
  return out.ok() && closed ? 0 : -1;
}

}  // namespace tavrin::lirrand
