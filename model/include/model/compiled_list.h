// Compiled lists: the form in which the model compiles description
// attributes onto the method engine's value stack and reads them back.
//
// An item is an opening entry whose kind is the item's tag and whose type
// field holds the number n of entries that belong to it, followed by those n
// entries. A list is its items (or bare entries) followed by a closing entry
// whose kind is the list's tag and whose type field holds the total number
// of entries before it. Lists share the value stack's 4,096 entries with
// running methods, which is what bounds a hostile description's lists.
//
//   ListWriter w(engine.stack());
//   w.beginItem(66); w.push(value); ...; w.endItem();
//   if (w.finish(65)) { CompiledList list(engine, w.start(), 65); ... }
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "methods/value.h"

namespace tavrin::methods {
class MethodEngine;
class ValueStack;
}  // namespace tavrin::methods

namespace tavrin::model {

using methods::Entry;

class ListWriter {
 public:
  explicit ListWriter(methods::ValueStack& stack);

  // Where the list begins on the stack.
  int32_t start() const { return start_; }
  // Pushes an item's opening entry. Entries pushed until endItem(), by this
  // writer or by anything that evaluates onto the stack, belong to it.
  void beginItem(int32_t kind);
  void endItem();
  bool push(const Entry& e);
  // Pushes the closing entry. False when the stack overflowed on the way
  // (the stack has said so): everything written is cut away again.
  bool finish(int32_t listKind);
  bool failed() const { return failed_; }

 private:
  methods::ValueStack& stack_;
  int32_t start_;
  int32_t open_ = -1;
  bool failed_ = false;
};

class CompiledList {
 public:
  struct Item {
    int32_t kind = 0;
    std::span<const Entry> entries;
  };

  // Takes the list written from `start`: pops its closing entry, checks its
  // kind ("tag1 = <found> & tag2 = <expected>, match failed!") and extent,
  // copies the entries and cuts the stack back to `start`. An empty list
  // when nothing was written (a writer that overflowed).
  CompiledList(methods::MethodEngine& engine, int32_t start, int32_t listKind);

  bool ok() const { return ok_; }
  // Every entry of the list, in order.
  std::span<const Entry> entries() const { return entries_; }
  // The entries walked as items; a walk that does not land exactly on the
  // end shows "Error: The description is incorrect!" and gives the items
  // found before. The items point into the list, so a temporary list has
  // none to give.
  std::vector<Item> items() const&;
  std::vector<Item> items() const&& = delete;

 private:
  methods::MethodEngine& engine_;
  std::vector<Entry> entries_;
  bool ok_ = false;
};

}  // namespace tavrin::model
