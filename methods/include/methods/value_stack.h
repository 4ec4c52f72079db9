// The method machine's value stack: 4,096 typed entries and a depth. The
// machine computes on it, built-ins take their arguments from it, and the
// description model compiles its attribute lists onto it.
//
// A run of compiled code sets a floor at the depth it started with: inside
// the run, entries below the floor count as absent, so a faulty expression
// or a called method can never pop what its caller left on the stack.
#pragma once

#include <cstdint>
#include <vector>

#include "methods/value.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::methods {

class ValueStack {
 public:
  static constexpr int32_t kCapacity = 4096;

  explicit ValueStack(ui::UserInterface& ui);

  // False, with "Error: Stack upper range overflow!", when the stack is full.
  bool push(const Entry& e) {
    if (depth_ >= kCapacity) [[unlikely]] {
      return full();
    }
    entries_[static_cast<std::size_t>(depth_++)] = e;
    return true;
  }
  // The top entry; a zero entry (kind 0, int 0) with "Error: Stack lower
  // range overflow!" when nothing is above the floor.
  Entry pop() {
    if (depth_ <= floor_) [[unlikely]] {
      return empty();
    }
    return entries_[static_cast<std::size_t>(--depth_)];
  }
  // The top entry without popping it; nullptr when nothing is above the floor.
  Entry* top() { return depth_ > floor_ ? &entries_[static_cast<std::size_t>(depth_ - 1)] : nullptr; }

  int32_t depth() const { return depth_; }
  // Cuts the stack back (or lets it grow over entries already written) to
  // `depth`, 0 to 4096; another depth is refused with "Error: Stack overflow!".
  bool setDepth(int32_t depth);
  // The entry at `index`, 0 to 4095; nullptr with "Error: Stack overflow!"
  // for any other index.
  Entry* at(int32_t index);

  // In-place access for the machine, which checks available() first.
  int32_t available() const { return depth_ - floor_; }
  // The entry at `index`, which the caller knows to be below the depth.
  Entry& slot(int32_t index) { return entries_[static_cast<std::size_t>(index)]; }
  // The entry `below` places under the top (0: the top itself).
  Entry& fromTop(int32_t below) { return entries_[static_cast<std::size_t>(depth_ - 1 - below)]; }
  void drop(int32_t count) { depth_ -= count; }
  // The slot of a new top entry, to be filled in place. When the stack is
  // full this reports it and hands out a scratch entry that nothing reads.
  Entry& emplace() {
    if (depth_ >= kCapacity) [[unlikely]] {
      full();
      return scratch_;
    }
    return entries_[static_cast<std::size_t>(depth_++)];
  }

  int32_t floor() const { return floor_; }
  // Returns the previous floor; runs restore it when they end.
  int32_t setFloor(int32_t floor);
  void clear();

 private:
  bool full();
  Entry empty();

  ui::UserInterface& ui_;
  std::vector<Entry> entries_;
  int32_t depth_ = 0;
  int32_t floor_ = 0;
  Entry scratch_;
};

}  // namespace tavrin::methods
