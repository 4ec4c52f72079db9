// Finding the description file of the device at the bus address: the
// identification reads and the two ways from an identification to a file
// in the library (the file-name rule, and the device table device.cfg).
// Each lookup reports why it found nothing and then gives an empty path.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/configuration.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::app {

class DeviceLinks;

inline constexpr size_t kBlockDirectorySize = 28;
using BlockDirectory = std::array<uint8_t, kBlockDirectorySize>;

// The highest file revisions the file-name rule tries, counting down to 0.
inline constexpr int kHighestProfibusRevision = 511;
inline constexpr int kHighestModbusRevision = 32;

struct Identification {
  uint16_t manufacturer = 0;
  uint16_t deviceType = 0;
  std::array<uint8_t, 2> revision{};
};

struct LookupResult {
  std::string path;  // empty: nothing found (already reported)
  // Profibus: what was read, when it was (kept by the session).
  std::optional<Identification> identification;
  // Only the device-table lookup reads the block directory.
  std::optional<BlockDirectory> blockDirectory;
};

// Description file names in their library folders.
std::string profibusFileName(const Identification& id, int revision);
std::string modbusFileName(const std::array<uint8_t, 8>& identification, int revision);

// Modbus: the identification registers, then the file-name rule.
LookupResult modbusLookup(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui);

// Profibus: the software revision decides; a text of 7 or more characters
// (blanks around it not counted) uses the identification and the file-name
// rule, a shorter one the device table.
LookupResult profibusLookup(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui);
LookupResult identificationLookup(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui);
LookupResult deviceTableLookup(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui);

}  // namespace tavrin::app
