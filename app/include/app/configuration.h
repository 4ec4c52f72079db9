// The program folder's fixed files and what com.ini says about the session:
// the communication type, the bus addresses and the window title.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/communication.h"

namespace tavrin::app {

using model::CommunicationType;

// Paths below the program folder (which keeps its trailing '/').
struct ProgramFiles {
  std::string folder;

  std::string comIni() const { return folder + "com.ini"; }
  std::string deviceTable() const { return folder + "device.cfg"; }
  std::string passwordFile() const { return folder + "pw.bin"; }
  std::string driver(std::string_view name) const { return folder + "Driver/" + std::string(name) + ".so"; }
  std::string profibusLibrary() const { return folder + "Profibus/"; }
  std::string modbusLibrary() const { return folder + "Modbus/"; }
};

// The type as the session keeps it as text: "MODBUS", "PROFIBUS", or empty
// for none.
std::string_view communicationTypeName(CommunicationType type);

// COMMUNICATION/TYPE, upper-cased and trimmed of white space; anything but
// "MODBUS" and "PROFIBUS" (an absent key too) is None.
CommunicationType readCommunicationType(const std::string& comIni);
bool writeCommunicationType(const std::string& comIni, CommunicationType type);

// The section of the bus address of a type (PROFIBUS_ADDR, MODBUS_ADDR);
// empty for None.
std::string_view addressSection(CommunicationType type);

// <type>_ADDR/ADDRESS converted like the C library's atoi and cut to the
// one byte the program keeps ("300" is 44). None reads 0.
uint8_t readBusAddress(const std::string& comIni, CommunicationType type);
// Stores the address in decimal under the section of the type. False for
// None and when the file cannot be written.
bool storeBusAddress(const std::string& comIni, CommunicationType type, int address);

// TITLE/NAME, the main window's title; empty when absent.
std::string readTitle(const std::string& comIni);

// atoi: leading white space, an optional sign, decimal digits up to the
// first other character; nothing convertible gives 0. Saturates instead of
// overflowing.
long long decimalValue(std::string_view text);

}  // namespace tavrin::app
