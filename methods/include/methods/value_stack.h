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
  bool push(const Entry& e);
  // The top entry; a zero entry (kind 0, int 0) with "Error: Stack lower
  // range overflow!" when nothing is above the floor.
  Entry pop();
  // The top entry without popping it; nullptr when nothing is above the floor.
  Entry* top();

  int32_t depth() const { return depth_; }
  // Cuts the stack back (or lets it grow over entries already written) to
  // `depth`, 0 to 4096; another depth is refused with "Error: Stack overflow!".
  bool setDepth(int32_t depth);
  // The entry at `index`, 0 to 4095; nullptr with "Error: Stack overflow!"
  // for any other index.
  Entry* at(int32_t index);

  int32_t floor() const { return floor_; }
  // Returns the previous floor; runs restore it when they end.
  int32_t setFloor(int32_t floor);
  void clear();

 private:
  ui::UserInterface& ui_;
  std::vector<Entry> entries_;
  int32_t depth_ = 0;
  int32_t floor_ = 0;
};

}  // namespace tavrin::methods
