// What the method engine needs of the description model.
//
// The engine compiles method bodies and description expressions from the
// loaded description's trees and runs them; whatever concerns the loaded
// description or the device variables it asks through this interface, which
// the description model implements (tests use a small fake). All calls come
// from the thread that runs the engine.
//
// Numbers that cross this seam:
// - An object id is the text-table index of the object's name, which is also
//   the value of the identifier node (tag 30) that names it. A device
//   reference on the value stack (kind 1) carries such an id.
// - A variable id is the object id of a VARIABLE object.
// - A text index selects an entry of the description's text table; string
//   constants (tag 99, kind 4 on the stack) carry one.
//
// Values cross as value-stack entries (methods/value.h): a plain value is
// kind 0 with type 4 (signed), 5 (unsigned), 6 (float) or 7 (double) and the
// value in its slot; a string held in value memory is an address entry (kind
// 2) made with Entry::address over exactly the variable's bytes, so the
// engine never reads or writes past them.
//
// Failures are reported by the model itself through the user-interface seam,
// with its own texts; the engine only learns that nothing came back.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "lirrand.h"
#include "methods/value.h"

namespace tavrin::methods {

class MethodModel {
 public:
  virtual ~MethodModel() = default;

  // The text-table entry `index` as stored (identifier names and string
  // constants); an empty view for an index outside the table.
  virtual std::string_view text(int32_t index) const = 0;

  // The root of the description object with this id, or nullptr. The engine
  // checks the root tag itself (15 for METHOD objects) and keeps the pointer
  // only while it compiles.
  virtual const EddNode* findObject(int32_t id) const = 0;

  // The device variable's current value, as the machine's LDV and STO load it
  // (kind 0 with the variable's type, or an address entry for a string).
  // Nothing when there is no such variable (the model has said so).
  virtual std::optional<Entry> variableValue(int32_t variableId) = 0;

  // Assigns a value-stack entry to the device variable, converted to its
  // type; the variable's state becomes Changed. False when it could not be
  // assigned (the model has said why).
  virtual bool assignVariable(int32_t variableId, const Entry& value) = 0;

  // Resolves a description reference (an identifier, tag 30, or an array
  // element or collection member reference, tags 240 and 241) to the id of
  // the variable it stands for. The model may evaluate index expressions
  // with MethodEngine::evaluateExpression meanwhile; it must leave the value
  // stack as it found it. Nothing when it resolves to no variable (the model
  // has said so).
  virtual std::optional<int32_t> resolveReference(const EddNode& reference) = 0;
};

}  // namespace tavrin::methods
