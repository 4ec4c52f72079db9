#include "app/table.h"

namespace tavrin::app {

void MenuTree::clear() {
  items_.clear();
  selected_ = -1;
}

int MenuTree::add(std::string label, const EddNode* node, int parent) {
  const int index = static_cast<int>(items_.size());
  items_.push_back({std::move(label), node, parent, {}, false});
  if (parent >= 0) items_[static_cast<size_t>(parent)].children.push_back(index);
  return index;
}

std::vector<int> MenuTree::roots() const {
  std::vector<int> roots;
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].parent < 0) roots.push_back(static_cast<int>(i));
  return roots;
}

MenuTree::SavedItem MenuTree::saveItem(int index) const {
  const TreeItem& it = item(index);
  SavedItem saved{it.node, it.expanded, index == selected_, {}};
  for (int child : it.children) saved.children.push_back(saveItem(child));
  return saved;
}

MenuTree::SavedState MenuTree::save() const {
  SavedState state;
  for (int root : roots()) state.push_back(saveItem(root));
  return state;
}

int MenuTree::restoreItems(const std::vector<int>& indexes, const std::vector<SavedItem>& saved) {
  int chosen = -1;
  for (size_t i = 0; i < indexes.size() && i < saved.size(); ++i) {
    TreeItem& it = item(indexes[i]);
    if (it.node == saved[i].node) {
      if (saved[i].expanded) it.expanded = true;
      if (saved[i].selected) chosen = indexes[i];
    }
    const int below = restoreItems(it.children, saved[i].children);
    if (below >= 0) chosen = below;
  }
  return chosen;
}

int MenuTree::restore(const SavedState& state) {
  const int chosen = restoreItems(roots(), state);
  if (chosen >= 0) selected_ = chosen;
  return chosen;
}

}  // namespace tavrin::app
