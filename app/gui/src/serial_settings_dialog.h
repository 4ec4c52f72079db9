// The serial settings of com.ini in a dialog: the port list and, on
// Modbus, the line parameters; OK stores them (the rules are the session's
// form, app/serial_settings.h). A first form of the dialog, with its
// captions, lists and messages; its layout is still plain.
#pragma once

class QWidget;

namespace tavrin::ui {
class UserInterface;
}
namespace tavrin::app {
class DeviceSession;
}

namespace tavrin::gui {

inline constexpr const char* kSerialSettingsDialog = "serialSettingsDialog";

// True when settings were stored.
bool serialSettingsDialog(QWidget* parent, app::DeviceSession& session, ui::UserInterface& ui);

}  // namespace tavrin::gui
