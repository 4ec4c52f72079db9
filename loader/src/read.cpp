// Reading a description file. Every step checks what the file hands it: the
// file ends early, a text overflows the staging buffer, a root names no
// object, a tree nests too deep or memory runs out, and the read stops with
// the block emptied. Counts are never trusted for allocation sizes, so a
// count far beyond the file only runs the reader into the file's end.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include "edd/object_id.h"
#include "edd/tags.h"
#include "internal.h"

namespace tavrin::lirrand {
namespace {

// Buffered little-endian input; any short read or read error is the end of
// the file.
class Input {
 public:
  Input(int fd, unsigned char* buffer, size_t capacity) : fd_(fd), buffer_(buffer), capacity_(capacity) {}
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  bool u16(uint16_t* out) {
    unsigned char b[2];
    if (!bytes(b, 2)) return false;
    *out = static_cast<uint16_t>(b[0] | b[1] << 8);
    return true;
  }

  bool u32(uint32_t* out) {
    unsigned char b[4];
    if (!bytes(b, 4)) return false;
    *out = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    return true;
  }

  // One node's tag, value (when carries says so) and child count straight
  // from the buffer; false when fewer than ten bytes are left in it, for the
  // field-by-field path to take over.
  template <class Carries>
  bool node(uint16_t* tag, uint32_t* value, uint32_t* count, const Carries& carries) {
    if (len_ - pos_ < 10) return false;
    const unsigned char* p = buffer_ + pos_;
    *tag = static_cast<uint16_t>(p[0] | p[1] << 8);
    p += 2;
    if (carries(*tag)) {
      *value = load32(p);
      p += 4;
    }
    *count = load32(p);
    pos_ = static_cast<size_t>(p + 4 - buffer_);
    return true;
  }

  // Copies one zero-terminated text into out (capacity bytes, terminator
  // included). False when the file ends first or the text does not fit.
  bool text(char* out, size_t capacity, size_t* length) {
    size_t used = 0;
    for (;;) {
      if (pos_ == len_ && !fill()) return false;
      const unsigned char* start = buffer_ + pos_;
      size_t available = len_ - pos_;
      const void* zero = std::memchr(start, 0, available);
      size_t run = zero != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - start)
                                   : available;
      if (run >= capacity - used) return false;
      std::memcpy(out + used, start, run);
      used += run;
      pos_ += run;
      if (zero != nullptr) {
        ++pos_;
        out[used] = '\0';
        *length = used;
        return true;
      }
    }
  }

 private:
  static uint32_t load32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }

  bool bytes(unsigned char* out, size_t n) {
    if (len_ - pos_ >= n) {
      std::memcpy(out, buffer_ + pos_, n);
      pos_ += n;
      return true;
    }
    for (size_t i = 0; i < n; ++i) {
      if (pos_ == len_ && !fill()) return false;
      out[i] = buffer_[pos_++];
    }
    return true;
  }

  bool fill() {
    pos_ = 0;
    ssize_t got;
    do got = ::read(fd_, buffer_, capacity_);
    while (got < 0 && errno == EINTR);
    len_ = got > 0 ? static_cast<size_t>(got) : 0;
    return len_ > 0;
  }

  int fd_;
  unsigned char* buffer_;
  size_t capacity_;
  size_t pos_ = 0;
  size_t len_ = 0;
};

// Module-wide like the staging buffer, and read with plain read(): a heap
// buffer (or a FILE's) per read would be the first large request after a
// free of millions of nodes and make the allocator sort them all before the
// first node is read.
unsigned char g_input[256 * 1024];

// Which tags carry a value, as bits: the check runs once a node.
constexpr uint16_t kTagBits = 512;
struct ValueTags {
  uint64_t bits[kTagBits / 64] = {};
  constexpr ValueTags() {
    for (uint16_t tag = 0; tag < kTagBits; ++tag)
      if (edd::carriesValue(tag)) bits[tag / 64] |= uint64_t{1} << (tag % 64);
  }
  constexpr bool operator()(uint16_t tag) const {
    return tag < kTagBits ? (bits[tag / 64] >> (tag % 64) & 1) != 0 : edd::carriesValue(tag);
  }
};
constexpr ValueTags kCarriesValue;

// Reads one node's tag, value and child count.
bool readNode(Input& in, uint16_t* tag, uint32_t* value, uint32_t* count) {
  *value = 0;
  if (in.node(tag, value, count, kCarriesValue)) return true;
  if (!in.u16(tag)) return false;
  if (kCarriesValue(*tag) && !in.u32(value)) return false;
  return in.u32(count);
}

struct Open {
  EddNode* node;
  EddNode* last;       // last child appended, so appends never walk the chain
  uint32_t remaining;  // children still to read
};

// Reads one tree into *root, its nodes from the arena. The node whose
// children are being read is kept in `at`; only its ancestors are on the
// stack.
bool readTree(Input& in, Arena& arena, PodStack<Open>& open, EddNode** root) {
  uint16_t tag = 0;
  uint32_t value = 0;
  uint32_t count = 0;
  if (!in.u16(&tag)) return false;
  if (edd::idSource(tag) == edd::IdSource::NotAnObject) {
    std::fputs("Don't exist the object tag!\n", stdout);
    std::fflush(stdout);
    return false;
  }
  if (kCarriesValue(tag) && !in.u32(&value)) return false;
  if (!in.u32(&count)) return false;
  auto* top = static_cast<EddNode*>(arena.allocate(sizeof(EddNode)));
  if (top == nullptr) return false;
  *top = EddNode{tag, value, nullptr, nullptr};
  *root = top;
  if (static_cast<int32_t>(count) <= 0) return true;

  Open at{top, nullptr, count};
  for (;;) {
    if (at.remaining == 0) {
      if (open.empty()) return true;
      const Open& saved = open.top();
      at.node = saved.node;
      at.last = saved.last;
      at.remaining = saved.remaining;
      open.pop();
      continue;
    }
    --at.remaining;
    if (!readNode(in, &tag, &value, &count)) return false;
    auto* node = static_cast<EddNode*>(arena.allocate(sizeof(EddNode)));
    if (node == nullptr) return false;
    *node = EddNode{tag, value, nullptr, nullptr};
    (at.last != nullptr ? at.last->sibling : at.node->child) = node;
    at.last = node;
    if (static_cast<int32_t>(count) > 0) {
      // The node sits at level open.size() + 2; its children would be one deeper.
      if (open.size() + 2 >= kMaxDepth) return false;
      Open* saved = open.emplace();
      if (saved == nullptr) return false;
      saved->node = at.node;
      saved->last = at.last;
      saved->remaining = at.remaining;
      at.node = node;
      at.last = nullptr;
      at.remaining = count;
    }
  }
}

bool readLists(Input& in, Arena& arena, EddBlock* block) {
  // One stack for the whole read: it only ever grows to the deepest tree.
  PodStack<Open> open;
  for (int list = 0; list < EDD_LIST_COUNT; ++list) {
    EddElement* last = nullptr;
    for (uint32_t n = 0; n < block->counts[list]; ++n) {
      EddNode* root = nullptr;
      open.clear();
      if (!readTree(in, arena, open, &root)) return false;
      auto* element = static_cast<EddElement*>(arena.allocate(sizeof(EddElement)));
      if (element == nullptr) return false;
      *element = EddElement{-1, root, nullptr};
      objectId(root, &element->id);
      (last != nullptr ? last->next : block->heads[list].next) = element;
      last = element;
    }
  }
  return true;
}

bool readTexts(Input& in, Load& load, EddBlock* block) {
  uint32_t raw = 0;
  if (!in.u32(&raw)) return false;
  const auto count = static_cast<int32_t>(raw);
  // The array grows as texts arrive: a count far beyond the file must not
  // reserve memory the file cannot fill.
  size_t capacity = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (static_cast<size_t>(i) == capacity) {
      size_t grown = capacity == 0 ? 256 : capacity * 2;
      if (grown > static_cast<size_t>(count)) grown = static_cast<size_t>(count);
      void* more = std::realloc(load.texts, grown * sizeof(char*));
      if (more == nullptr) return false;
      load.texts = block->texts = static_cast<char**>(more);
      capacity = grown;
    }
    // Straight into the arena: the text is kept where it was read.
    char* text = load.arena.reserve(kStagingSize);
    size_t length = 0;
    if (text == nullptr || !in.text(text, kStagingSize, &length)) return false;
    load.arena.commit(length + 1);
    block->texts[i] = text;
    block->textCount = i + 1;
  }
  return true;
}

bool readAll(Input& in, Load& load, EddBlock* block) {
  for (uint16_t& word : block->header)
    if (!in.u16(&word)) return false;
  for (uint32_t& count : block->counts)
    if (!in.u32(&count)) return false;
  return readLists(in, load.arena, block) && readTexts(in, load, block);
}

}  // namespace

bool objectId(const EddNode* root, int32_t* id) noexcept {
  *id = -1;
  const EddNode* named = nullptr;
  switch (edd::idSource(root->tag)) {
    case edd::IdSource::FirstChild:
      named = root->child;
      break;
    case edd::IdSource::SecondChildOfFirstChild:
      named = root->child != nullptr && root->child->child != nullptr ? root->child->child->sibling : nullptr;
      break;
    case edd::IdSource::NotAnObject:
      return false;
  }
  if (named != nullptr && named->tag == +edd::Tag::Identifier) *id = static_cast<int32_t>(named->value);
  return true;
}

int32_t readDescription(EddBlock* block, const char* path) noexcept {
  int fd;
  do fd = ::open(path, O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return 0;
  void* memory = std::malloc(sizeof(Load));
  if (memory == nullptr) {
    ::close(fd);
    return 0;
  }
  Load* load = new (memory) Load;
  Input in(fd, g_input, sizeof g_input);
  const bool ok = readAll(in, *load, block);
  ::close(fd);
  if (!ok) {
    std::free(load->texts);
    load->~Load();
    std::free(load);
    std::memset(block, 0, sizeof *block);
    return 0;
  }
  if (load->arena.empty() && load->texts == nullptr) {
    // Nothing was allocated, so nothing in the block leads back to the
    // load: keeping it would leak it.
    load->~Load();
    std::free(load);
  } else {
    keepLoad(load);
  }
  return block->textCount;
}

}  // namespace tavrin::lirrand
