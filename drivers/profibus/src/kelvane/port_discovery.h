// Finding the PA adapter among the USB serial devices by its hardware id.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::kelvane {

// The hardware id of a USB device as the adapter's documentation gives it:
// "USB\VID_0403&PID_6001&REV_0600" (upper-case hexadecimal; REV only when the
// device reports a release number).
std::string usbHardwareId(std::string_view vendor, std::string_view product, std::string_view release);

// Walks <sysRoot>/class/tty/*: a tty whose device sits below a USB device
// (an ancestor folder with idVendor and idProduct) and whose hardware id
// contains both parts (case-sensitive) yields the port number that the
// platform's port names give /dev/<tty>. Ttys are visited in name order;
// ttys without a port number are passed over. -1 when none matches.
int findUsbSerialPort(const std::string& sysRoot, const std::string& programFolder, std::string_view part1,
                      std::string_view part2);

}  // namespace tavrin::kelvane
