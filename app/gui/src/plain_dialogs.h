// Plain Qt forms of the seam's secret prompt and of the monitoring dialog
// (the value dialogs are value_dialogs.h). Each runs modally on the GUI
// thread; a stop request closes it as cancelled.
#pragma once

#include <QString>
#include <optional>
#include <stop_token>
#include <string>

#include "ui/user_interface.h"

class QWidget;

namespace tavrin::gui {

// Object names the dialogs carry, for tests and for accessibility tools.
inline constexpr const char* kPromptDialog = "promptDialog";
inline constexpr const char* kMonitorDialog = "monitorDialog";

std::optional<std::string> promptDialog(QWidget* parent, const ui::Prompt& prompt);
std::optional<std::string> monitorDialog(QWidget* parent, const ui::MonitorSpec& spec, const ui::MonitorTick& tick,
                                         std::stop_token stop);

QString qtText(std::string_view text);
std::string stdText(const QString& text);

}  // namespace tavrin::gui
