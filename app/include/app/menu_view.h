// The menu walk and the table fill: how the description's menus become the
// tree and the rows of the device window, and how the rows become table
// cells.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/session_observer.h"
#include "app/table.h"
#include "lirrand.h"

namespace tavrin::model {
class Session;
}

namespace tavrin::app {

// One entry of a menu's item list, its reference already resolved.
struct MenuEntry {
  enum class Kind { Item, Text, Layout, Other };
  Kind kind = Kind::Item;
  std::vector<int32_t> objects;  // Item: the ids the reference stands for
  uint32_t qualifiers = 0;       // Item: the entry's qualifier bits
  int32_t textId = -1;           // Text: the text's id
};

// What the views need of the description's menus, beyond the objects
// themselves: the item lists, and reading a menu's variables (running its
// read actions) as the function view does when a menu is opened.
class MenuAccess {
 public:
  virtual ~MenuAccess() = default;
  virtual std::vector<MenuEntry> entries(const EddNode& menu) = 0;
  // Reads the menu's variables from the device; 1 on success.
  virtual int readMenu(const EddNode& menu, uint32_t flags) = 0;
};

class MenuView {
 public:
  MenuView(model::Session& model, MenuAccess& menus);

  // The walk from menu with the walk flags (table.h). With Tree the tree is
  // rebuilt; with Menus, Variables or Methods the rows are.
  void walk(const EddNode* menu, uint32_t flags);
  // Makes the table of the rows with the fill flags (table.h).
  void fill(uint32_t flags);
  // Empties the tree and the rows and cuts the table to its header.
  void clear();
  void dropSavedTree() { saved_.clear(); }

  // Called when a restore of the tree state selected an item: the views
  // then run their tree selection, without reading the device.
  void setRestoredSelectionHandler(std::function<void(int item)> handler) { onRestored_ = std::move(handler); }

  const std::vector<Row>& rows() const { return rows_; }
  const MenuTree& tree() const { return tree_; }
  MenuTree& tree() { return tree_; }
  const Table& table() const { return table_; }
  // Puts a text into the Value cell of table row `row` (counted from 1),
  // as a refused edit puts the stored value back.
  void setValueText(int row, std::string text);
  // Puts new Value and Unit texts into row `row` (the background refresh).
  void setCellTexts(int row, std::string value, std::string unit);
  // Selects a tree item (-1: none), with its notice.
  void selectTreeItem(int item);
  // The person expanded or collapsed an item: kept for the next restore of
  // the tree state. No notice: the front end did it.
  void setTreeItemExpanded(int item, bool expanded);

  // Every change of the tree and the table is told here.
  SessionNotices& notices() { return notices_; }

 private:
  void walkMenu(const EddNode& menu, uint32_t flags, int32_t depth, uint32_t qualifiers, int treeParent);
  void fillVariable(const Row& row, uint32_t flags, TableRow& out);
  void band(TableRow& out, std::string text);

  model::Session& model_;
  MenuAccess& menus_;
  std::vector<Row> rows_;
  MenuTree tree_;
  MenuTree::SavedState saved_;
  Table table_;
  std::set<const EddNode*> walking_;  // the menus on the current path
  std::function<void(int)> onRestored_;
  SessionNotices notices_;
};

// The id of an object from its root (its identifier), -1 without one.
int32_t objectIdOf(const EddNode* root);

}  // namespace tavrin::app
