#include "tree_model.h"

#include "icons.h"

namespace tavrin::gui {

MenuTreeModel::MenuTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

bool MenuTreeModel::update(const app::MenuTree& tree) {
  std::vector<Item> items;
  std::vector<int> roots;
  items.reserve(tree.items().size());
  for (const app::TreeItem& t : tree.items()) {
    Item item{QString::fromUtf8(t.label.data(), static_cast<qsizetype>(t.label.size())), t.node, t.parent, 0,
              t.children};
    items.push_back(std::move(item));
  }
  // Children that do not point back at their parent would make a tree that
  // is not one: such links are dropped.
  for (size_t i = 0; i < items.size(); ++i) {
    auto& children = items[i].children;
    std::erase_if(children, [&](int c) {
      return c < 0 || static_cast<size_t>(c) >= items.size() || items[static_cast<size_t>(c)].parent != static_cast<int>(i);
    });
    for (size_t r = 0; r < children.size(); ++r) items[static_cast<size_t>(children[r])].row = static_cast<int>(r);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const int parent = items[i].parent;
    if (parent < 0 || static_cast<size_t>(parent) >= items.size()) {
      items[i].parent = -1;
      items[i].row = static_cast<int>(roots.size());
      roots.push_back(static_cast<int>(i));
    }
  }
  if (items == items_ && roots == roots_) return false;
  beginResetModel();
  items_ = std::move(items);
  roots_ = std::move(roots);
  endResetModel();
  return true;
}

const std::vector<int>& MenuTreeModel::childrenOf(int item) const {
  return item < 0 ? roots_ : items_[static_cast<size_t>(item)].children;
}

int MenuTreeModel::itemOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return -1;
  return static_cast<int>(index.internalId());
}

QModelIndex MenuTreeModel::indexOf(int item) const {
  if (item < 0 || static_cast<size_t>(item) >= items_.size()) return {};
  return createIndex(items_[static_cast<size_t>(item)].row, 0, static_cast<quintptr>(item));
}

QModelIndex MenuTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const int p = parent.isValid() ? itemOf(parent) : -1;
  if (parent.isValid() && p < 0) return {};
  const auto& children = childrenOf(p);
  if (static_cast<size_t>(row) >= children.size()) return {};
  return createIndex(row, 0, static_cast<quintptr>(children[static_cast<size_t>(row)]));
}

QModelIndex MenuTreeModel::parent(const QModelIndex& child) const {
  const int item = itemOf(child);
  if (item < 0) return {};
  return indexOf(items_[static_cast<size_t>(item)].parent);
}

int MenuTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  const int p = parent.isValid() ? itemOf(parent) : -1;
  if (parent.isValid() && p < 0) return 0;
  return static_cast<int>(childrenOf(p).size());
}

int MenuTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant MenuTreeModel::data(const QModelIndex& index, int role) const {
  const int item = itemOf(index);
  if (item < 0) return {};
  const Item& it = items_[static_cast<size_t>(item)];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: return it.label;
    case Qt::DecorationRole: return treeIcon();
    default: return {};
  }
}

Qt::ItemFlags MenuTreeModel::flags(const QModelIndex& index) const {
  if (itemOf(index) < 0) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace tavrin::gui
