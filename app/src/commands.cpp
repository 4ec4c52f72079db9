#include "app/commands.h"

namespace tavrin::app {

bool commandEnabled(Command command, const CommandState& state) {
  auto has = [&](uint32_t flag) { return (state.flags & flag) != 0; };
  switch (command) {
    case Command::Connect: return true;  // its flag only ever enables it
    case Command::Disconnect: return has(kFlagDisconnect);
    case Command::Read:
    case Command::Import:
    case Command::Export: return has(kFlagRead);
    case Command::ComSetting: return !has(kFlagRead);
    case Command::Write:
    case Command::UpdateModified:
    case Command::UpdateAll: return has(kFlagWrite);
    case Command::Calibration: return has(kFlagCalibration);
    case Command::Function: return has(kFlagFunction);
    case Command::Parameter: return has(kFlagParameter);
    case Command::Modbus:
    case Command::Profibus: return !state.connected;
    case Command::Hart: return false;
    case Command::AddressSetting:
    case Command::AddressPolling:
    case Command::AddFile:
    case Command::ChangePassword:
    case Command::About:
    case Command::Exit: return true;
  }
  return false;
}

bool commandChecked(Command command, const CommandState& state) {
  switch (command) {
    case Command::Modbus: return state.type == model::CommunicationType::Modbus;
    case Command::Profibus: return state.type == model::CommunicationType::Profibus;
    case Command::Parameter: return state.view == ViewMode::Parameter;
    case Command::Function: return state.view == ViewMode::Function;
    case Command::Calibration: return state.view == ViewMode::Calibration;
    default: return false;
  }
}

}  // namespace tavrin::app
