// The adapter's serial port: opens COM<n> through the platform's port names
// and sets the line up from the program's setting indexes.
#pragma once

#include <string>

#include "platform/serial_port.h"

namespace tavrin::kelvane {

// Parity index 0 even, 1 mark, 2 none, 3 odd, 4 space; stop-bit index 0 one,
// 1 one and a half, 2 two; flow-control index 0 none, 1 CTS/RTS, 2 CTS/DTR,
// 3 DSR/RTS, 4 DSR/DTR, 5 XON/XOFF. An index outside its range leaves that
// setting as the port had it. termios offers hardware flow control only as
// RTS/CTS and none on DSR, so 1 and 2 become RTS/CTS and 3 and 4 none.
platform::LineSettings applyIndexes(platform::LineSettings current, int baud, int parityIndex, int dataBits,
                                    int stopBitsIndex, int flowIndex);

// The line settings a termios record describes.
platform::LineSettings lineSettingsOf(const termios& tio);

class CSerialPort {
 public:
  CSerialPort() = default;
  virtual ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Where ports/COM<n> overrides are looked up (with a trailing '/').
  void setProgramFolder(std::string folder) { programFolder_ = std::move(folder); }
  const std::string& programFolder() const { return programFolder_; }

  // Opens COM<port> exclusively in raw mode, raises DTR where the device
  // has modem lines, and applies the settings. Returns true; raises
  // CRuntimeException on failure.
  virtual bool open(int port, int baud, int parityIndex, int dataBits, int stopBitsIndex, int flowIndex);
  // Safe when closed.
  virtual void close();

  bool isOpen() const { return device_.isOpen(); }
  int portNumber() const { return portNumber_; }

 protected:
  platform::SerialPort device_;

 private:
  std::string programFolder_;
  int portNumber_ = 0;
};

}  // namespace tavrin::kelvane
