#include "kelvane/serial_port.h"

#include <cerrno>

#include "kelvane/runtime_exception.h"
#include "platform/port_names.h"

namespace tavrin::kelvane {

using platform::FlowControl;
using platform::LineSettings;
using platform::Parity;
using platform::StopBits;

platform::LineSettings lineSettingsOf(const termios& tio) {
  LineSettings s;
  switch (tio.c_cflag & CSIZE) {
    case CS5: s.dataBits = 5; break;
    case CS6: s.dataBits = 6; break;
    case CS7: s.dataBits = 7; break;
    default: s.dataBits = 8; break;
  }
  if ((tio.c_cflag & PARENB) == 0)
    s.parity = Parity::None;
  else if ((tio.c_cflag & CMSPAR) != 0)
    s.parity = (tio.c_cflag & PARODD) != 0 ? Parity::Mark : Parity::Space;
  else
    s.parity = (tio.c_cflag & PARODD) != 0 ? Parity::Odd : Parity::Even;
  s.stopBits = (tio.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
  if ((tio.c_cflag & CRTSCTS) != 0)
    s.flow = FlowControl::RtsCts;
  else if ((tio.c_iflag & IXON) != 0)
    s.flow = FlowControl::XonXoff;
  return s;
}

platform::LineSettings applyIndexes(LineSettings s, int baud, int parityIndex, int dataBits, int stopBitsIndex,
                                    int flowIndex) {
  s.baud = baud < 0 ? 0 : static_cast<uint32_t>(baud);
  s.dataBits = dataBits;
  static constexpr Parity kParities[] = {Parity::Even, Parity::Mark, Parity::None, Parity::Odd, Parity::Space};
  if (parityIndex >= 0 && parityIndex < 5) s.parity = kParities[parityIndex];
  static constexpr StopBits kStops[] = {StopBits::One, StopBits::OnePointFive, StopBits::Two};
  if (stopBitsIndex >= 0 && stopBitsIndex < 3) s.stopBits = kStops[stopBitsIndex];
  static constexpr FlowControl kFlows[] = {FlowControl::None,   FlowControl::RtsCts, FlowControl::RtsCts,
                                           FlowControl::None,   FlowControl::None,   FlowControl::XonXoff};
  if (flowIndex >= 0 && flowIndex < 6) s.flow = kFlows[flowIndex];
  return s;
}

CSerialPort::~CSerialPort() { CSerialPort::close(); }

bool CSerialPort::open(int port, int baud, int parityIndex, int dataBits, int stopBitsIndex, int flowIndex) {
  auto path = platform::serialDevicePath(programFolder_, port);
  if (!path) throw CRuntimeException(ENODEV);
  if (!device_.open(*path, true)) throw CRuntimeException(device_.lastError());
  portNumber_ = port;
  // A pseudo-terminal or a bare adapter has no modem lines; that is no error.
  device_.setDtr(true);
  auto current = device_.currentTermios();
  if (!current) throw CRuntimeException(device_.lastError() != 0 ? device_.lastError() : EIO);
  if (!device_.configure(applyIndexes(lineSettingsOf(*current), baud, parityIndex, dataBits, stopBitsIndex, flowIndex)))
    throw CRuntimeException(device_.lastError());
  return true;
}

void CSerialPort::close() { device_.close(); }

}  // namespace tavrin::kelvane
