#include "actions.h"

#include <array>

namespace tavrin::gui {

namespace {

#define TAVRIN_GUI_ICON_None std::nullopt
#define TAVRIN_GUI_ICON(name) TAVRIN_GUI_ICON_##name
#define TAVRIN_GUI_ICON_Connect IconId::Connect
#define TAVRIN_GUI_ICON_Read IconId::Read
#define TAVRIN_GUI_ICON_Write IconId::Write
#define TAVRIN_GUI_ICON_Parameter IconId::Parameter
#define TAVRIN_GUI_ICON_Function IconId::Function
#define TAVRIN_GUI_ICON_Calibration IconId::Calibration
#define TAVRIN_GUI_ICON_Disconnect IconId::Disconnect
#define TAVRIN_GUI_ICON_Program IconId::Program

#define TAVRIN_GUI_COMMAND_None std::nullopt
#define TAVRIN_GUI_COMMAND(name) TAVRIN_GUI_COMMAND_##name
#define TAVRIN_GUI_COMMAND_Connect app::Command::Connect
#define TAVRIN_GUI_COMMAND_Disconnect app::Command::Disconnect
#define TAVRIN_GUI_COMMAND_Read app::Command::Read
#define TAVRIN_GUI_COMMAND_Write app::Command::Write
#define TAVRIN_GUI_COMMAND_UpdateModified app::Command::UpdateModified
#define TAVRIN_GUI_COMMAND_UpdateAll app::Command::UpdateAll
#define TAVRIN_GUI_COMMAND_Import app::Command::Import
#define TAVRIN_GUI_COMMAND_Export app::Command::Export
#define TAVRIN_GUI_COMMAND_Parameter app::Command::Parameter
#define TAVRIN_GUI_COMMAND_Function app::Command::Function
#define TAVRIN_GUI_COMMAND_Calibration app::Command::Calibration
#define TAVRIN_GUI_COMMAND_Modbus app::Command::Modbus
#define TAVRIN_GUI_COMMAND_Profibus app::Command::Profibus
#define TAVRIN_GUI_COMMAND_Hart app::Command::Hart
#define TAVRIN_GUI_COMMAND_AddressSetting app::Command::AddressSetting
#define TAVRIN_GUI_COMMAND_AddressPolling app::Command::AddressPolling
#define TAVRIN_GUI_COMMAND_ComSetting app::Command::ComSetting
#define TAVRIN_GUI_COMMAND_AddFile app::Command::AddFile
#define TAVRIN_GUI_COMMAND_ChangePassword app::Command::ChangePassword
#define TAVRIN_GUI_COMMAND_About app::Command::About
#define TAVRIN_GUI_COMMAND_Exit app::Command::Exit

#define TAVRIN_GUI_ACTION_SPEC(id, text, tool, icon, command) \
  ActionSpec{ActionId::id, text, tool, TAVRIN_GUI_ICON(icon), TAVRIN_GUI_COMMAND(command)},

const ActionSpec kSpecs[] = {TAVRIN_GUI_ACTIONS(TAVRIN_GUI_ACTION_SPEC)};

constexpr std::array<std::optional<ActionId>, 9> kToolBar{
    ActionId::Connect,   std::nullopt,         ActionId::Read,
    ActionId::Write,     std::nullopt,         ActionId::Parameter,
    ActionId::Function,  ActionId::Calibration, ActionId::Disconnect};

}  // namespace

std::span<const ActionSpec> actionSpecs() { return kSpecs; }

const ActionSpec& actionSpec(ActionId id) { return kSpecs[static_cast<size_t>(id)]; }

QList<QKeySequence> shortcutsOf(ActionId id) {
  switch (id) {
    case ActionId::Connect: return {QKeySequence(Qt::CTRL | Qt::Key_N)};
    case ActionId::Read: return {QKeySequence(Qt::CTRL | Qt::Key_O)};
    case ActionId::Copy: return {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)};
    case ActionId::Cut: return {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)};
    case ActionId::Paste: return {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)};
    case ActionId::Export:
    case ActionId::Import:
    case ActionId::Exit:
    case ActionId::ToolBar:
    case ActionId::StatusBar:
    case ActionId::Parameter:
    case ActionId::Function:
    case ActionId::Calibration:
    case ActionId::Hart:
    case ActionId::Profibus:
    case ActionId::Modbus:
    case ActionId::AddressSetting:
    case ActionId::AddressPolling:
    case ActionId::ComSetting:
    case ActionId::AddFile:
    case ActionId::ChangePassword:
    case ActionId::About:
    case ActionId::Write:
    case ActionId::Disconnect:
    case ActionId::UpdateModified:
    case ActionId::UpdateAll:
    case ActionId::CompareWithFile:
    case ActionId::BusMonitor: return {};
  }
  return {};
}

bool checkable(ActionId id) {
  switch (id) {
    case ActionId::ToolBar:
    case ActionId::StatusBar:
    case ActionId::Parameter:
    case ActionId::Function:
    case ActionId::Calibration:
    case ActionId::Profibus:
    case ActionId::Modbus:
    case ActionId::BusMonitor: return true;
    case ActionId::Connect:
    case ActionId::Export:
    case ActionId::Import:
    case ActionId::Exit:
    case ActionId::Hart:
    case ActionId::AddressSetting:
    case ActionId::AddressPolling:
    case ActionId::ComSetting:
    case ActionId::AddFile:
    case ActionId::ChangePassword:
    case ActionId::About:
    case ActionId::Read:
    case ActionId::Write:
    case ActionId::Disconnect:
    case ActionId::UpdateModified:
    case ActionId::UpdateAll:
    case ActionId::Copy:
    case ActionId::Cut:
    case ActionId::Paste:
    case ActionId::CompareWithFile: return false;
  }
  return false;
}

std::span<const std::optional<ActionId>> toolBarLayout() { return kToolBar; }

}  // namespace tavrin::gui
