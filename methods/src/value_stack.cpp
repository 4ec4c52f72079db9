#include "methods/value_stack.h"

#include "ui/user_interface.h"

namespace tavrin::methods {

ValueStack::ValueStack(ui::UserInterface& ui) : ui_(ui), entries_(kCapacity) {}

bool ValueStack::full() {
  ui_.errorBox("Error: Stack upper range overflow!");
  return false;
}

Entry ValueStack::empty() {
  ui_.errorBox("Error: Stack lower range overflow!");
  return Entry{};
}

bool ValueStack::setDepth(int32_t depth) {
  if (depth < 0 || depth > kCapacity) {
    ui_.errorBox("Error: Stack overflow!");
    return false;
  }
  depth_ = depth;
  return true;
}

Entry* ValueStack::at(int32_t index) {
  if (index < 0 || index >= kCapacity) {
    ui_.errorBox("Error: Stack overflow!");
    return nullptr;
  }
  return &entries_[index];
}

int32_t ValueStack::setFloor(int32_t floor) {
  const int32_t previous = floor_;
  floor_ = floor < 0 ? 0 : (floor > kCapacity ? kCapacity : floor);
  return previous;
}

void ValueStack::clear() {
  depth_ = 0;
  floor_ = 0;
}

}  // namespace tavrin::methods
