// The value dialogs that methods and the edit operation open, in their
// own forms: numeric input (the current value and the unit beside both
// fields), text input (the field starts with the current value),
// packed-string input ("Current value" and "Setting"), enumeration input
// (a drop-down list), list selection and the countdown. They only show and
// hand back what was entered: the rules (an empty entry, no selection, the
// range check) are the core's (model/value_dialogs.h), which opens the
// dialog again after its message. Each runs modally on the GUI thread.
#pragma once

#include <optional>
#include <stop_token>
#include <string>

#include "ui/user_interface.h"

class QWidget;

namespace tavrin::gui {

// Object names the dialogs carry, for tests and accessibility tools.
inline constexpr const char* kNumericInputDialog = "numericInputDialog";
inline constexpr const char* kTextInputDialog = "textInputDialog";
inline constexpr const char* kPackedStringInputDialog = "packedStringInputDialog";
inline constexpr const char* kEnumerationInputDialog = "enumerationInputDialog";
inline constexpr const char* kListSelectionDialog = "listSelectionDialog";
inline constexpr const char* kValueCountdownDialog = "countdownDialog";

// Number, Text and PackedString prompts; nothing when cancelled.
std::optional<std::string> valueInputDialog(QWidget* parent, const ui::Prompt& prompt);
// The enumeration input (drop-down) or the list selection; the chosen
// index, -1 for none, nothing when cancelled.
std::optional<int> valueChoiceDialog(QWidget* parent, const ui::Choice& choice);
// True when the count ran out, false on Cancel or a stop request.
bool valueCountdownDialog(QWidget* parent, const ui::Countdown& countdown, std::stop_token stop);

}  // namespace tavrin::gui
