// The program space: 8,192 instruction slots shared by everything compiled,
// and the index of the next free one. Methods and description expressions
// are appended at the end, run, and cut back when they end, so code compiled
// while other code runs lands behind it and never disturbs it.
#pragma once

#include <cstdint>
#include <vector>

#include "methods/operations.h"

namespace tavrin::methods {

class ProgramSpace {
 public:
  static constexpr int32_t kSlots = 8192;
  // The last slot is never handed out: at most 8,191 instructions fit.
  static constexpr int32_t kUsable = kSlots - 1;

  ProgramSpace() : slots_(kSlots) {}

  int32_t next() const { return next_; }
  // Stores the instruction at the next free index and returns that index;
  // -1 when no slot is left.
  int32_t append(Instruction instruction) {
    if (next_ >= kUsable) return -1;
    if (next_ < lowestChange_) lowestChange_ = next_;
    slots_[next_] = instruction;
    return next_++;
  }
  void setOperand(int32_t index, int32_t operand) {
    if (index >= 0 && index < next_) {
      slots_[index].operand = operand;
      if (index < lowestChange_) lowestChange_ = index;
    }
  }
  const Instruction& operator[](int32_t index) const { return slots_[index]; }
  // Forgets everything from `next` on.
  void cutBack(int32_t next) {
    if (next >= 0 && next < next_) {
      next_ = next;
      if (next < lowestChange_) lowestChange_ = next;
    }
  }
  void reset() {
    next_ = 0;
    lowestChange_ = 0;
  }

  // The lowest slot written, patched or cut back to since the mark was last
  // set; the machine uses it to learn whether code it copied has changed
  // under it while a built-in ran. Returns the previous mark.
  int32_t lowestChange() const { return lowestChange_; }
  int32_t setLowestChange(int32_t index) {
    const int32_t previous = lowestChange_;
    lowestChange_ = index;
    return previous;
  }

 private:
  std::vector<Instruction> slots_;
  int32_t next_ = 0;
  int32_t lowestChange_ = 0;
};

}  // namespace tavrin::methods
