// The shared argument checks of the built-ins.
//
// Arguments are popped last first. An argument of another kind than the
// built-in needs is reported with the tag-check message and marks the call
// as failed; its entry is never used, least of all as an address, and the
// built-in ends with -1 once it has popped the rest.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "methods/engine.h"

namespace tavrin::builtins {

class Arguments {
 public:
  explicit Arguments(methods::MethodEngine& engine) : engine_(engine) {}

  // A variable, command or method named bare: its identifier number.
  int32_t reference() { return take(methods::kind::DeviceReference).word(); }
  // A number.
  methods::Entry value() { return take(methods::kind::Value); }
  // A local array (a char array or an id list); an empty address when the
  // argument was no array.
  methods::Entry array() { return take(methods::kind::Address); }
  // A string constant or a local char array.
  std::string text();

  // False once an argument had the wrong kind.
  bool ok() const { return ok_; }

 private:
  methods::Entry take(int32_t expectedKind);

  methods::MethodEngine& engine_;
  bool ok_ = true;
};

// Element `index` of an id list (a local array of an integer type), read
// inside the array's storage only; nothing past its end.
std::optional<int32_t> idListElement(const methods::Entry& list, std::size_t index);

// A number argument as int: float values truncated and saturated.
int32_t toInt(methods::Entry value);

}  // namespace tavrin::builtins
