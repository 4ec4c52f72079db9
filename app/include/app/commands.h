// The program's commands and the word of flags that enables them. Front ends
// ask commandEnabled() and commandChecked() instead of keeping rules of
// their own, so the menu bar, the toolbar and the command line agree.
#pragma once

#include <cstdint>

#include "model/communication.h"
#include "model/variables.h"

namespace tavrin::app {

// The view the table shows (none, parameter, function, calibration).
using model::ViewMode;

// One bit per group of commands (bit 0 is the least significant).
enum CommandFlag : uint32_t {
  kFlagConnect = 1u << 0,
  kFlagRead = 1u << 1,         // Read, Import, Export; COM Setting only while clear
  kFlagWrite = 1u << 2,        // Write, Update modified / all variables
  kFlagCalibration = 1u << 3,  // Calibration, Trim
  kFlagFunction = 1u << 4,
  kFlagParameter = 1u << 5,
  kFlagDisconnect = 1u << 14,
};

enum class Command {
  Connect,
  Disconnect,
  Read,
  Write,
  UpdateModified,
  UpdateAll,
  Import,
  Export,
  Parameter,
  Function,
  Calibration,
  Modbus,
  Profibus,
  Hart,
  AddressSetting,
  AddressPolling,
  ComSetting,
  AddFile,
  ChangePassword,
  About,
  Exit,
};

struct CommandState {
  uint32_t flags = 0;
  bool connected = false;
  model::CommunicationType type = model::CommunicationType::None;
  ViewMode view = ViewMode::None;
  bool operator==(const CommandState&) const = default;
};

bool commandEnabled(Command command, const CommandState& state);
// The check mark of the communication types and the views.
bool commandChecked(Command command, const CommandState& state);

}  // namespace tavrin::app
