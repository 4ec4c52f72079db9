// A description file as plain values: what `eddc dump` prints and `eddc asm`
// builds, byte for byte. Trees are flat pre-order node lists with a depth per
// node, the shape both the file and the readable form have, so no walker
// here recurses however deep or wide a tree is.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrin::eddtext {

inline constexpr int kListCount = 26;

struct Node {
  uint16_t tag = 0;
  uint32_t value = 0;  // written only for tags that carry a value
  uint32_t depth = 0;  // 0 for the root; at most one more than the node before
  // The child count to write instead of the number of children that follow.
  // A file may hold a count of 0 or less for "no children"; hostile test
  // files claim children that are not there.
  std::optional<uint32_t> declaredChildren;

  bool operator==(const Node&) const = default;
};

// One object tree in pre-order; front() is the root.
using Tree = std::vector<Node>;

struct Document {
  std::array<uint16_t, 4> header{};
  std::array<std::vector<Tree>, kListCount> lists;
  // A list count to write instead of the number of trees (hostile files).
  std::array<std::optional<uint32_t>, kListCount> declaredCounts;
  std::vector<std::string> texts;  // bytes, without the terminating zero
  // A text count to write instead of the number of texts; a file may hold a
  // negative one, which reads as no texts.
  std::optional<uint32_t> declaredTextCount;
  std::string trailing;  // bytes after the texts, which readers ignore

  bool operator==(const Document&) const = default;
};

// The number of children of each node of a well-formed tree.
std::vector<uint32_t> childCounts(const Tree& tree);

// Index of the next sibling of node i, or tree.size() when it has none.
size_t nextSibling(const Tree& tree, size_t i);

// The object id the loader gives this tree: the identifier's text index, -1
// when the tree names itself nowhere, nothing when the root tag names no
// object kind (the loader refuses such a file).
std::optional<int32_t> objectId(const Tree& tree);

}  // namespace tavrin::eddtext
