#include "app/serial_settings.h"

#include <algorithm>
#include <limits>

#include "app/configuration.h"
#include "platform/key_file.h"
#include "platform/port_names.h"
#include "ui/user_interface.h"

namespace tavrin::app {
namespace {

constexpr std::string_view kSection = "COMMUNICATION";

long long readNumber(std::string_view key, const std::string& comIni) {
  return decimalValue(platform::readKey(kSection, key, comIni));
}

template <size_t N>
int indexOf(const std::array<std::string_view, N>& entries, std::string_view text) {
  auto it = std::find(entries.begin(), entries.end(), text);
  return it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
}

// The entry each stored parity, stop-bit and flow-control index selects, and
// back. "DSR/DTR" has no index of its own; it stores 0 (none), which is what
// termios can do with DSR flow control anyway.
constexpr std::array<std::string_view, 5> kParityOfIndex{"Even", "Flag", "None", "Odd", "Space"};
constexpr std::array<std::string_view, 6> kFlowOfIndex{"None", "Xon/Xoff", "CTS/RTS", "CTS/DTR", "DSR/RTS", "Hardware"};

}  // namespace

StoredSerialSettings readStoredSerialSettings(const std::string& comIni) {
  StoredSerialSettings s;
  s.port = readNumber("PORT", comIni);
  s.baudRate = readNumber("BANDRATE", comIni);
  s.flowControl = readNumber("FLOWCTRL", comIni);
  s.stopBits = readNumber("STOPBITS", comIni);
  s.parity = readNumber("PARITY", comIni);
  s.dataBits = readNumber("DATABITS", comIni);
  return s;
}

bool isValid(const StoredSerialSettings& s) {
  return std::find(kBaudRates.begin(), kBaudRates.end(), s.baudRate) != kBaudRates.end() && s.flowControl >= 0 &&
         s.flowControl <= 5 && s.parity >= 0 && s.parity <= 4 && s.stopBits >= 0 && s.stopBits <= 2 &&
         s.dataBits >= 5 && s.dataBits <= 8 && s.port >= std::numeric_limits<int32_t>::min() &&
         s.port <= std::numeric_limits<int32_t>::max();
}

SerialSettings loadSerialSettings(const std::string& comIni, ui::UserInterface& ui) {
  const StoredSerialSettings stored = readStoredSerialSettings(comIni);
  if (!isValid(stored)) {
    ui.message({"WARNING",
                "WARNING: Serial port settings is not reasonable, the program will automatically set to the default "
                "value!",
                ui::Icon::Error, ui::Buttons::Ok});
    const SerialSettings defaults;
    storeSerialSettings(comIni, defaults);
    return defaults;
  }
  SerialSettings s;
  s.port = static_cast<int32_t>(stored.port);
  s.baudRate = static_cast<uint32_t>(stored.baudRate);
  s.parity = static_cast<uint8_t>(stored.parity);
  s.dataBits = static_cast<uint8_t>(stored.dataBits);
  s.stopBits = static_cast<uint8_t>(stored.stopBits);
  s.flowControl = static_cast<uint8_t>(stored.flowControl);
  return s;
}

bool storeSerialSettings(const std::string& comIni, const SerialSettings& s) {
  // One rewrite: a crash between the keys would leave a port with another
  // port's line settings.
  const std::string port = std::to_string(s.port), baud = std::to_string(s.baudRate),
                    flow = std::to_string(s.flowControl), stop = std::to_string(s.stopBits),
                    parity = std::to_string(s.parity), dataBits = std::to_string(s.dataBits);
  const platform::KeyValue keys[] = {{kSection, "PORT", port},     {kSection, "BANDRATE", baud},
                                     {kSection, "FLOWCTRL", flow}, {kSection, "STOPBITS", stop},
                                     {kSection, "PARITY", parity}, {kSection, "DATABITS", dataBits}};
  return platform::writeKeys(comIni, keys);
}

std::vector<int> serialPortChoices(const std::string& programFolder, int heldPort) {
  std::vector<int> ports = platform::openablePorts(programFolder);
  if (heldPort >= 1 && heldPort <= platform::kHighestListedPort &&
      std::find(ports.begin(), ports.end(), heldPort) == ports.end())
    ports.insert(std::upper_bound(ports.begin(), ports.end(), heldPort), heldPort);
  return ports;
}

SerialSettingsForm openSerialSettingsForm(const std::string& programFolder, model::CommunicationType type,
                                          int heldPort, ui::UserInterface& ui) {
  SerialSettingsForm form;
  form.ports = serialPortChoices(programFolder, heldPort);
  const SerialSettings s = loadSerialSettings(ProgramFiles{programFolder}.comIni(), ui);
  auto port = std::find(form.ports.begin(), form.ports.end(), s.port);
  form.port = port == form.ports.end() ? -1 : static_cast<int>(port - form.ports.begin());
  form.baudRate = indexOf(kBaudRateEntries, std::to_string(s.baudRate));
  form.dataBits = indexOf(kDataBitsEntries, std::to_string(s.dataBits));
  form.parity = s.parity < kParityOfIndex.size() ? indexOf(kParityEntries, kParityOfIndex[s.parity]) : -1;
  form.stopBits = s.stopBits < kStopBitsEntries.size() ? s.stopBits : -1;
  form.flowControl =
      s.flowControl < kFlowOfIndex.size() ? indexOf(kFlowControlEntries, kFlowOfIndex[s.flowControl]) : -1;
  form.lineParametersShown = type != model::CommunicationType::Profibus;
  return form;
}

std::optional<SerialSettings> acceptSerialSettingsForm(const SerialSettingsForm& form, const std::string& comIni,
                                                       ui::UserInterface& ui) {
  auto selected = [](int index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; };
  const char* missing = nullptr;
  if (!selected(form.port, form.ports.size()))
    missing = "Error: Please select COM port!";
  else if (!selected(form.baudRate, kBaudRateEntries.size()))
    missing = "Error: Please select band rate!";
  else if (!selected(form.dataBits, kDataBitsEntries.size()))
    missing = "Error: Please select data bit!";
  else if (!selected(form.parity, kParityEntries.size()))
    missing = "Error: Please select the check byte!";
  else if (!selected(form.stopBits, kStopBitsEntries.size()))
    missing = "Error: Please stop bit!";
  else if (!selected(form.flowControl, kFlowControlEntries.size()))
    missing = "Error: Please select hardware flow control!";
  if (missing) {
    ui.errorBox(missing);
    return std::nullopt;
  }
  SerialSettings s;
  s.port = form.ports[static_cast<size_t>(form.port)];
  s.baudRate = static_cast<uint32_t>(decimalValue(kBaudRateEntries[static_cast<size_t>(form.baudRate)]));
  s.dataBits = static_cast<uint8_t>(decimalValue(kDataBitsEntries[static_cast<size_t>(form.dataBits)]));
  s.parity = static_cast<uint8_t>(indexOf(kParityOfIndex, kParityEntries[static_cast<size_t>(form.parity)]));
  s.stopBits = static_cast<uint8_t>(form.stopBits);
  const int flow = indexOf(kFlowOfIndex, kFlowControlEntries[static_cast<size_t>(form.flowControl)]);
  s.flowControl = static_cast<uint8_t>(flow < 0 ? 0 : flow);
  storeSerialSettings(comIni, s);
  return s;
}

}  // namespace tavrin::app
