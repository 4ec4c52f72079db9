// The program's own images: the toolbar's, the tree's two (an item, the
// selected item) and the grid's four (writable variable, method, menu,
// read-only variable), drawn as SVG in resources/icons/ and compiled in.
#pragma once

#include <QIcon>

namespace tavrin::gui {

enum class IconId {
  Program,
  Connect,
  Read,
  Write,
  Parameter,
  Function,
  Calibration,
  Disconnect,
  TreeItem,
  TreeSelected,
  CellWritable,
  CellMethod,
  CellMenu,
  CellReadOnly,
};

QIcon icon(IconId id);
// A tree item: image 0, and image 1 while it is selected.
QIcon treeIcon();
// The grid's image of index `image` (app/table.h), a null icon for none.
QIcon gridImage(int image);

}  // namespace tavrin::gui
