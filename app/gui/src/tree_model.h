// The menu tree as a Qt item model: a copy of the session's tree, taken
// when the session says the tree changed, so that the view never reads a
// tree the session is rebuilding. Items are the session's by index.
#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <vector>

#include "app/table.h"

namespace tavrin::gui {

class MenuTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit MenuTreeModel(QObject* parent = nullptr);

  // Takes the session's tree. A tree of another shape (items, labels,
  // nodes) resets the model; the same shape only keeps it (a new selection
  // or expansion is the view's business). True when it reset.
  bool update(const app::MenuTree& tree);

  // The session's index of the item, -1 for none.
  int itemOf(const QModelIndex& index) const;
  QModelIndex indexOf(int item) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  struct Item {
    QString label;
    const void* node = nullptr;  // identity only, never read
    int parent = -1;
    int row = 0;  // among its siblings
    std::vector<int> children;
    bool operator==(const Item&) const = default;
  };
  const std::vector<int>& childrenOf(int item) const;

  std::vector<Item> items_;
  std::vector<int> roots_;
};

}  // namespace tavrin::gui
