// "USER choice", which each connect opens, and "Password Setting:", the
// change of the stored password. The rules are the session's
// (app/password.h): the user choice hands back the checked type and the
// password together, and the password dialog's OK is the session's
// acceptPasswordChange, so its messages keep the dialog open.
#pragma once

#include <optional>
#include <string>

#include "ui/user_interface.h"

class QWidget;

namespace tavrin::gui {

inline constexpr const char* kUserChoiceDialog = "userChoiceDialog";
inline constexpr const char* kPasswordDialog = "passwordDialog";
// How often the password field follows the radio buttons.
inline constexpr int kUserChoiceTickMs = 50;

// The checked type (-1 for none) and the password; nothing on Cancel.
// "Manufacture Version" starts checked; the password field is enabled
// exactly while "User version" is not checked.
std::optional<ui::UserChoiceAnswer> userChoiceDialog(QWidget* parent, const ui::UserChoice& choice);

// True when a new password was stored.
bool passwordDialog(QWidget* parent, const std::string& passwordFile, ui::UserInterface& ui);

}  // namespace tavrin::gui
