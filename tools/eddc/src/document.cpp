#include "eddtext/document.h"

#include "edd/object_id.h"
#include "edd/tags.h"

namespace tavrin::eddtext {

std::vector<uint32_t> childCounts(const Tree& tree) {
  std::vector<uint32_t> counts(tree.size(), 0);
  std::vector<size_t> path;  // open ancestors, one per depth
  for (size_t i = 0; i < tree.size(); ++i) {
    const uint32_t depth = tree[i].depth;
    path.resize(depth);
    if (depth > 0) ++counts[path.back()];
    path.push_back(i);
  }
  return counts;
}

size_t nextSibling(const Tree& tree, size_t i) {
  size_t j = i + 1;
  while (j < tree.size() && tree[j].depth > tree[i].depth) ++j;
  return j < tree.size() && tree[j].depth == tree[i].depth ? j : tree.size();
}

std::optional<int32_t> objectId(const Tree& tree) {
  if (tree.empty()) return std::nullopt;
  size_t named = tree.size();
  auto firstChild = [&](size_t i) { return i + 1 < tree.size() && tree[i + 1].depth == tree[i].depth + 1 ? i + 1 : tree.size(); };
  switch (edd::idSource(tree[0].tag)) {
    case edd::IdSource::FirstChild:
      named = firstChild(0);
      break;
    case edd::IdSource::SecondChildOfFirstChild: {
      size_t first = firstChild(0);
      size_t inner = first < tree.size() ? firstChild(first) : tree.size();
      named = inner < tree.size() ? nextSibling(tree, inner) : tree.size();
      break;
    }
    case edd::IdSource::NotAnObject:
      return std::nullopt;
  }
  if (named < tree.size() && tree[named].tag == +edd::Tag::Identifier) return static_cast<int32_t>(tree[named].value);
  return -1;
}

}  // namespace tavrin::eddtext
