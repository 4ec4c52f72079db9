// The value dialogs and their rules: an empty entry, a missing selection and
// the range check each show their message and keep the dialog open, so that
// every front end (the Qt program, the console, tests) behaves alike. The
// seam only shows a dialog and hands back what was entered.
//
// The edit operation of a variable and the method built-ins that ask for a
// value open these; each returns true when OK closed the dialog and the
// value was set, false when the person cancelled (or the value could not be
// set, which has been said).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ui/user_interface.h"

namespace tavrin::model {

class Variables;

class ValueDialogs {
 public:
  ValueDialogs(ui::UserInterface& ui, Variables& variables);

  // Opens the dialog for the variable's type: numeric entry for integers
  // and floats, the enumeration choice, a text entry for strings (39, 52)
  // and the packed-string entry (40). Bit-enumerated and other types cannot
  // be edited (said).
  bool edit(int32_t variableId, std::string_view prompt);

  bool numericInput(int32_t variableId, std::string_view prompt);
  bool textInput(int32_t variableId, std::string_view prompt);
  bool packedStringInput(int32_t variableId, std::string_view prompt);
  bool enumerationInput(int32_t variableId, std::string_view prompt);
  // The list built from options split at each ';' (an empty last entry is
  // dropped), first entry preselected. The chosen index, or nothing when
  // cancelled. A list without entries can only be cancelled: OK on it says
  // that nothing is selected and ends the dialog as cancelled (so does the
  // enumeration input of a type without enumerators).
  std::optional<int> selectFromList(std::string_view prompt, std::string_view options);

  // Whether a value typed for the variable may be set: strings must fit,
  // numbers must fit the variable's type and lie in one of its ranges. Shows "Error: The variable
  // "<label>" is out of range!" when not.
  bool rangeCheck(std::string_view text, int32_t variableId);

 private:
  bool textEntry(int32_t variableId, std::string_view prompt, ui::PromptKind kind, const char* emptyMessage);

  ui::UserInterface& ui_;
  Variables& variables_;
};

}  // namespace tavrin::model
