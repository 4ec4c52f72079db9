#include <algorithm>
#include <cstdio>

#include "app/table.h"

namespace tavrin::app {

bool bitItemSet(const Cell& cell, size_t item) {
  if (item >= cell.itemBits.size()) return false;
  const uint32_t bits = cell.itemBits[item];
  return bits != 0 && (cell.bitValue & bits) == bits;
}

std::string checkComboText(const Cell& cell, const std::vector<bool>& checked) {
  uint32_t value = cell.bitValue;
  // Only the items the person changed touch the value, so that a part of an
  // item's bits that is set stays set. Cleared first, then set: an item
  // that shares bits with a checked one does not take them away again.
  const size_t n = std::min(cell.itemBits.size(), checked.size());
  for (size_t i = 0; i < n; ++i)
    if (!checked[i] && bitItemSet(cell, i)) value &= ~cell.itemBits[i];
  for (size_t i = 0; i < n; ++i)
    if (checked[i] && !bitItemSet(cell, i)) value |= cell.itemBits[i];
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

}  // namespace tavrin::app
