// Port numbers ("COM<n>") to device paths.
//
// A port number n first names <program folder>/ports/COM<n> when that name
// exists there (checked with lstat, so a symbolic link to any serial device or
// pseudo-terminal counts; a dangling link is still the port and its open
// fails, it never falls back). Otherwise the default table applies:
//   COM1 - COM32   /dev/ttyS0   - /dev/ttyS31
//   COM33 - COM64  /dev/ttyUSB0 - /dev/ttyUSB31
//   COM65 - COM96  /dev/ttyACM0 - /dev/ttyACM31
// Numbers below 1 and above 96 without an override have no device.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavrin::platform {

inline constexpr int kHighestListedPort = 254;

// Device path of port n, or nothing when n has no device.
std::optional<std::string> serialDevicePath(const std::string& programFolder, int port);

// The port number of a device path in the default table ("/dev/ttyUSB2" ->
// 35), or 0 when the table has no port for it. An override in ports/ whose
// link text equals the device path wins over the table.
int portNumberOfDevice(const std::string& programFolder, const std::string& devicePath);

// True when the device can be opened for reading and writing right now.
bool canOpenSerialDevice(const std::string& path);

// The ports among COM1 to COM254 that can be opened right now, ascending.
std::vector<int> openablePorts(const std::string& programFolder);

}  // namespace tavrin::platform
