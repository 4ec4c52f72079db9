// The plain Qt form of the seam's secret prompt (the value dialogs are
// value_dialogs.h, the monitoring dialogs monitoring_dialog.h); modal on
// the GUI thread.
#pragma once

#include <QString>
#include <optional>
#include <stop_token>
#include <string>

#include "ui/user_interface.h"

class QDialog;
class QDialogButtonBox;
class QWidget;

namespace tavrin::gui {

// Object names the dialogs carry, for tests and for accessibility tools.
inline constexpr const char* kPromptDialog = "promptDialog";
inline constexpr const char* kMonitorDialog = "monitorDialog";

std::optional<std::string> promptDialog(QWidget* parent, const ui::Prompt& prompt);

QString qtText(std::string_view text);
std::string stdText(const QString& text);

// OK and Cancel wired to accept and reject, as every input dialog has them.
QDialogButtonBox* okCancel(QDialog& dialog);

}  // namespace tavrin::gui
