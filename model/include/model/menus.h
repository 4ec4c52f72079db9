// Menus, collections and arrays as ordered lists of variables, and the
// action lists that run methods around reads and writes.
//
// A MENU (root 14) holds its items in attribute 179 as a conditional value
// whose direct value lists them: 180 a reference, 181 a reference followed
// by item arguments (190 the qualifier bits as an integer constant, 192 a
// flag), 185 to 187 layout items, 495 a title break (a string value). A
// COLLECTION (3, 404) lists members, an ARRAY (13, 403) elements; both may
// hold further collections and arrays.
//
// Expanding an object gives the variables it stands for, in order: a
// VARIABLE itself, a collection its members', an array its elements'; menus
// and methods stand for none. Two kinds of list take the result: the
// growable list of the upload and download menus and the views, and the
// fixed list of variable transfer and menu processing, which holds 256 ids.
//
// Nothing is cached: every call compiles from the trees as they are now.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "lirrand.h"
#include "methods/value.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::methods {
class MethodEngine;
}

namespace tavrin::model {

class Attributes;
class Description;
class Variables;

// Menu item qualifier bits (item argument 190) that the views read.
namespace qualifier {
inline constexpr uint32_t ReadOnly = 2;
inline constexpr uint32_t Hidden = 4;
inline constexpr uint32_t NotInTree = 64;
}  // namespace qualifier

struct MenuItem {
  uint16_t tag = 0;  // 180, 181, 185 to 187 (layout), 495 (title break)
  // 180 and 181: the object the reference names; nothing when it names none
  // (said when the items were compiled).
  std::optional<int32_t> object;
  uint32_t qualifiers = 0;  // 181: argument 190
  bool flag = false;        // 181: argument 192 was given
  // 495: the one string of the title break, a text index (kind 31) or a
  // variable whose display text it is (kind 100).
  std::optional<methods::Entry> text;

  bool isReference() const { return tag == 180 || tag == 181; }
  bool isLayout() const { return tag >= 185 && tag <= 187; }
  bool isTitle() const { return tag == 495; }
};

enum class ListKind { Growable, Fixed };

class Menus {
 public:
  static constexpr size_t kFixedListSize = 256;

  Menus(Attributes& attributes, Variables& variables);

  // The menu's items in order. Items that cannot be used are said and left
  // out; a menu without attribute 179 has none.
  std::vector<MenuItem> items(const EddNode& menu);

  // Appends the variables the object stands for. False when part of it
  // could not be expanded (said): an unknown object or root, a malformed
  // member or element, nesting too deep, or a fixed list that is full.
  bool expand(int32_t objectId, std::vector<int32_t>& list, ListKind kind);

  // The variables of every reference item, in item order, in one growable
  // list (the upload and download menus).
  std::vector<int32_t> menuVariables(const EddNode& menu);

  // What a view shows for a reference item: the menu, method or variable
  // it names, or the variables of the collection or array it names.
  std::vector<int32_t> entryObjects(const MenuItem& item);

  // Runs the object's action list with this tag (292, 293, 295, 296 and the
  // others), method by method, stopping at the first that fails. 1 when
  // all succeeded or the object has no such list, else 0.
  int runActions(const EddNode& object, uint16_t actionTag);

 private:
  struct Expansion;
  bool expandInto(int32_t objectId, Expansion& e);

  Attributes& attributes_;
  Variables& variables_;
};

}  // namespace tavrin::model
