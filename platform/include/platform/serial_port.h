// A serial port on termios, always in raw mode.
//
// The helper knows nothing of protocols: it opens, configures, reads and
// writes with time limits, and can be woken from another thread through an
// EventSignal in the same poll. Modem-line and RS-485 requests that a device
// does not support (a pseudo-terminal supports none) report "not supported"
// and are not errors. termios has no DSR flow control, so only RTS/CTS and
// XON/XOFF exist here; callers map other modes to None.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/event_signal.h"

namespace tavrin::platform {

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OnePointFive, Two };
enum class FlowControl { None, RtsCts, XonXoff };

struct LineSettings {
  uint32_t baud = 9600;
  int dataBits = 8;
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::One;
  FlowControl flow = FlowControl::None;
};

// The termios speed constant of a baud rate, or nothing for a rate termios
// does not offer.
std::optional<speed_t> speedOfBaud(uint32_t baud);
// The baud rate of a termios speed constant (the reverse of speedOfBaud), or
// nothing for B0 and constants that table does not offer.
std::optional<uint32_t> baudOfSpeed(speed_t speed);

enum class IoStatus {
  Ok,       // count bytes moved
  Timeout,  // nothing happened in time
  Woken,    // the wake signal was set (it is left set for the caller)
  Closed,   // the other side hung up or the device vanished (EIO, ENXIO)
  Error,    // anything else; error() has the errno
};

struct IoResult {
  IoStatus status = IoStatus::Ok;
  size_t count = 0;
  int error = 0;
};

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device non-blocking, without becoming its controlling
  // terminal, close-on-exec, in raw mode. exclusive: TIOCEXCL (ignored by the
  // kernel for root; cleared again by close so the port can be reopened).
  bool open(const std::string& path, bool exclusive);
  bool configure(const LineSettings& settings);
  void close();

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  int lastError() const { return lastError_; }
  std::optional<termios> currentTermios() const;

  // RTS and DTR. False when the device has no modem lines.
  bool setRts(bool on);
  bool setDtr(bool on);
  // True when the kernel's RS-485 mode is enabled on this port, so that the
  // kernel drives the transmitter direction itself.
  bool kernelRs485Enabled() const;

  // Writes all bytes unless the time limit, a wake-up or a failure ends it
  // first; count tells how many went out.
  IoResult write(std::span<const uint8_t> data, int timeoutMs, const EventSignal* wake = nullptr);
  // Waits until bytes are available (or the time limit, a wake-up, a
  // hang-up) and reads what is there, at most buffer.size() bytes.
  IoResult read(std::span<uint8_t> buffer, int timeoutMs, const EventSignal* wake = nullptr);

  void discardInput();
  void discardOutput();
  // Waits until the output queue is on the line (immediate on a pty).
  bool drain();

 private:
  bool modemBit(int bit, bool on);
  IoStatus waitFor(short events, int timeoutMs, const EventSignal* wake, int* error);

  int fd_ = -1;
  bool exclusive_ = false;
  int lastError_ = 0;
};

}  // namespace tavrin::platform
