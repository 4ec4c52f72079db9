// The serial settings in com.ini: which port the drivers open and, for
// Modbus, the line parameters. Every open of a link loads them afresh.
//
// Also the settings dialog as data (its lists, what it preselects, what OK
// stores), so that the Qt dialog and the command line behave the same.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/communication.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::app {

struct SerialSettings {
  int32_t port = 1;
  uint32_t baudRate = 9600;
  uint8_t parity = 0;  // 0 even, 1 mark ("Flag"), 2 none, 3 odd, 4 space
  uint8_t dataBits = 8;
  uint8_t stopBits = 0;     // 0 one, 1 one and a half, 2 two
  uint8_t flowControl = 0;  // as the dialog stores it; no driver applies it
  bool operator==(const SerialSettings&) const = default;
};

inline constexpr std::array<uint32_t, 7> kBaudRates{600, 1200, 2400, 4800, 9600, 19200, 38400};

// The six keys as stored, before they are narrowed to the record's fields.
struct StoredSerialSettings {
  long long port = 0, baudRate = 0, parity = 0, dataBits = 0, stopBits = 0, flowControl = 0;
};
StoredSerialSettings readStoredSerialSettings(const std::string& comIni);
// The validity check on the stored numbers: a value that does not fit its
// field is invalid rather than wrapped into range.
bool isValid(const StoredSerialSettings& stored);

// Reads the settings; invalid or missing ones are replaced by the defaults,
// stored, and reported with the warning.
SerialSettings loadSerialSettings(const std::string& comIni, ui::UserInterface& ui);
// Writes PORT, BANDRATE, FLOWCTRL, STOPBITS, PARITY, DATABITS in that order, in
// one atomic rewrite of com.ini: a crash leaves the old or the new six.
bool storeSerialSettings(const std::string& comIni, const SerialSettings& settings);

// COM1 to COM254 that can be opened now, plus heldPort (the port the link of
// the current type holds open; 0 for none), ascending.
std::vector<int> serialPortChoices(const std::string& programFolder, int heldPort);

// --- the settings dialog as data ---
inline constexpr std::array<std::string_view, 7> kBaudRateEntries{"600", "1200", "2400", "4800",
                                                                  "9600", "19200", "38400"};
inline constexpr std::array<std::string_view, 4> kDataBitsEntries{"5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 5> kParityEntries{"Odd", "Even", "None", "Flag", "Space"};
inline constexpr std::array<std::string_view, 3> kStopBitsEntries{"1", "1.5", "2"};
inline constexpr std::array<std::string_view, 7> kFlowControlEntries{"None",    "Hardware", "Xon/Xoff", "CTS/RTS",
                                                                     "CTS/DTR", "DSR/RTS",  "DSR/DTR"};

// Selected entry of each list, -1 for none.
struct SerialSettingsForm {
  std::vector<int> ports;  // the port list's entries (port numbers)
  int port = -1;
  int baudRate = -1;
  int dataBits = -1;
  int parity = -1;
  int stopBits = -1;
  int flowControl = -1;
  // Profibus: only the port list shows, with "Use the default value in PA mode."
  bool lineParametersShown = true;
};

inline constexpr std::string_view kPaModeText = "Use the default value in PA mode.";

// Fills the lists and selects the loaded settings (loading may warn).
SerialSettingsForm openSerialSettingsForm(const std::string& programFolder, model::CommunicationType type,
                                          int heldPort, ui::UserInterface& ui);
// OK: the first list without a selection is reported and nothing is stored
// (the dialog stays open); otherwise the record is stored and returned.
std::optional<SerialSettings> acceptSerialSettingsForm(const SerialSettingsForm& form, const std::string& comIni,
                                                       ui::UserInterface& ui);

}  // namespace tavrin::app
