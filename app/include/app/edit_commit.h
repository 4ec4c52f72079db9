// Committing a value typed into the table's Value column (or given on a
// command line, which goes the same way): hexadecimal entry, range check,
// the variable's edit actions, the value set with the state "Changed", the
// unit relations, and the current view shown again. Nothing here talks to
// the device; writing the changed values is a separate Write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lirrand.h"

namespace tavrin::model {
class Session;
}

namespace tavrin::app {

class DeviceSession;

// The decimal text of a hexadecimal entry: "0x" or "0X", then the
// hexadecimal digits up to the first other character; without the prefix
// the entry counts as 0. The digits of a signed variable are its 32-bit
// pattern, as its value text shows it ("0xFFFFFFFF" is -1). More digits
// than 32 bits hold give a number no variable holds, which the range check
// refuses.
std::string hexEntryToDecimal(std::string_view text, bool isSigned);

// Whether a variable's value cell may be edited: its handling is not
// read-only (1) and its menu entry lacks the read-only qualifier.
bool valueCellWritable(uint32_t handling, uint32_t qualifiers);

// The commit of one variable without the table: the hexadecimal entry of a
// variable shown in hexadecimal, the range check, edit actions 294, the
// text set (state "Changed"), edit actions 291, then the unit relations
// with the old and the new value. False when the value was refused or could
// not be set (said); nothing changed then.
bool commitValue(model::Session& model, int32_t variableId, std::string_view text);

// The edit commit of the device window: holds the busy flag, so that a
// commit that arrives while one runs (from an edit action, say) is ignored.
class EditCommit {
 public:
  explicit EditCommit(DeviceSession& session) : session_(session) {}

  // The text typed into the Value cell of table row `row` (counted from 1).
  // A refused value puts the stored value's text back into the cell; a set
  // one shows the current view again. True when the value was set.
  bool commitRow(int row, std::string_view text);
  // The same for a variable named in the description, as its cell in the
  // current table would take it (a variable outside the table as a cell of
  // its own): "Error: The variable "<name>" is read-only!" where the cell
  // would be read-only.
  bool commitVariable(std::string_view name, std::string_view text);

  bool busy() const { return busy_; }

 private:
  bool commit(const EddNode* variable, uint32_t qualifiers, std::string_view text, int row);

  DeviceSession& session_;
  bool busy_ = false;
};

}  // namespace tavrin::app
