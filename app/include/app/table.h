// The two panes of the device window as plain data: the menu tree, the row
// list that a menu walk builds, and the parameter table that a fill makes of
// the rows. Front ends draw these and report clicks back by index; they keep
// no state of their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lirrand.h"

namespace tavrin::app {

// --- row list ---
enum class RowKind : int32_t { Item = 1, Text = 2 };

// Depth stored in text rows.
inline constexpr int32_t kTextRowDepth = 495;

struct Row {
  RowKind kind = RowKind::Item;
  int32_t depth = 0;
  // Item rows: the menu entry's qualifier bits. Text rows: the text's id.
  uint32_t qualifiers = 0;
  const EddNode* node = nullptr;  // variable, method or menu; none for text rows
};

// Menu entry qualifier bits.
inline constexpr uint32_t kQualifierReadOnly = 2;    // read-only value, no double-click
inline constexpr uint32_t kQualifierHidden = 4;      // row height 0
inline constexpr uint32_t kQualifierNotInTree = 64;  // sub-menu kept out of the tree

// Walk flags.
namespace walk {
inline constexpr uint32_t Menus = 1;       // rows for menus, recursion into sub-menus
inline constexpr uint32_t Variables = 2;   // rows for variables
inline constexpr uint32_t Methods = 4;     // rows for methods
inline constexpr uint32_t Tree = 8;        // sub-menus into the tree
inline constexpr uint32_t Invalid = 32;    // keep objects whose validity is false
inline constexpr uint32_t SaveTree = 64;   // save the tree state first
inline constexpr uint32_t RestoreTree = 128;
}  // namespace walk

// Fill flags.
namespace fill {
inline constexpr uint32_t VariableImages = 1;
inline constexpr uint32_t MenuImages = 2;  // menus as image rows instead of bands
inline constexpr uint32_t MethodImages = 4;
inline constexpr uint32_t Keep = 8;        // leave the table as it is
}  // namespace fill

// --- menu tree ---
struct TreeItem {
  std::string label;
  const EddNode* node = nullptr;
  int parent = -1;
  std::vector<int> children;
  bool expanded = false;
};

class MenuTree {
 public:
  void clear();
  // Adds an item under parent (-1: a root item); returns its index.
  int add(std::string label, const EddNode* node, int parent);
  const std::vector<TreeItem>& items() const { return items_; }
  TreeItem& item(int index) { return items_[static_cast<size_t>(index)]; }
  const TreeItem& item(int index) const { return items_[static_cast<size_t>(index)]; }
  bool empty() const { return items_.empty(); }
  std::vector<int> roots() const;
  int selected() const { return selected_; }
  void select(int index) { selected_ = index; }

  // The tree's shape with each item's node, expansion and selection, taken
  // before a rebuild and laid over the new tree afterwards.
  struct SavedItem {
    const EddNode* node = nullptr;
    bool expanded = false;
    bool selected = false;
    std::vector<SavedItem> children;
  };
  using SavedState = std::vector<SavedItem>;  // the root items
  SavedState save() const;
  // Walks the tree and the state in step: an item whose node equals the
  // saved one is expanded if it was and selected if it was. Returns the
  // item that became selected, or -1.
  int restore(const SavedState& state);

 private:
  SavedItem saveItem(int index) const;
  int restoreItems(const std::vector<int>& items, const std::vector<SavedItem>& saved);

  std::vector<TreeItem> items_;
  int selected_ = -1;
};

// --- table ---
struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kDefaultBackground{255, 255, 224};   // cells without a colour of their own
inline constexpr Rgb kReadOnlyBackground{192, 192, 192};
inline constexpr Rgb kWritableBackground{255, 255, 255};
inline constexpr Rgb kBandBackground{0, 255, 255};        // menu and text rows
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kChangedForeground{255, 255, 0};

enum class CellKind { Text, Combo, CheckCombo, Button };

inline constexpr int kNoImage = -1;
// Images of the grid's image list.
inline constexpr int kImageWritable = 0, kImageMethod = 1, kImageMenu = 2, kImageReadOnly = 3;

struct Cell {
  std::string text;
  int image = kNoImage;
  Rgb background = kReadOnlyBackground;
  Rgb foreground = kBlack;
  bool readOnly = true;
  CellKind kind = CellKind::Text;
  std::vector<std::string> items;  // combo and check-combo texts
  // Check-combo cells: the bits each item stands for, and the variable's
  // value, so that the check boxes show it and a commit can build the text.
  std::vector<uint32_t> itemBits;
  uint32_t bitValue = 0;
};

// Whether check-combo item `item` is set: all of its bits are in the value
// (an item of no bits never is).
bool bitItemSet(const Cell& cell, size_t item);
// The value text a check-combo commit takes when the items are checked as
// `checked` says: the bits of each item whose check changed are set or
// cleared, every other bit of the value is kept; in the form the value
// cell shows ("0x%X").
std::string checkComboText(const Cell& cell, const std::vector<bool>& checked);

struct TableRow {
  std::array<Cell, 4> cells;
  int height = 25;
  bool merged = false;  // the four cells shown as one
};

struct Table {
  static constexpr std::array<std::string_view, 4> kHeader{"Parameter", "Value", "Unit", "Status"};
  static constexpr std::array<int, 4> kColumnWidths{220, 250, 150, 120};
  static constexpr int kRowHeight = 25;
  static constexpr std::string_view kFont = "Times New Roman";
  static constexpr int kFontHeight = 17;
  static constexpr int kFontWeight = 700;

  // The rows below the header: row r of the grid (counted from 1) is rows[r - 1].
  std::vector<TableRow> rows;
};

}  // namespace tavrin::app
