// The operations the transport needs from a serial line, so that the port
// logic (worker, direction control, frame-time hold) does not depend on how
// bytes reach the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/event_signal.h"
#include "platform/serial_port.h"

namespace tavrin::ostrelle {

class SerialLine {
 public:
  enum class Wait { Readable, Stopped, Vanished };
  struct Read {
    size_t count = 0;
    bool vanished = false;  // the device is gone (EIO, ENXIO, hang-up)
  };

  virtual ~SerialLine() = default;

  // Opens the device exclusively, in raw mode.
  virtual bool open(const std::string& path) = 0;
  virtual bool configure(const platform::LineSettings& settings) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // True when the kernel's RS-485 mode switches the transmitter itself.
  virtual bool kernelDrivesDirection() const = 0;
  // Modem lines; a line without them (a pseudo-terminal) ignores the call.
  virtual void setRts(bool on) = 0;
  virtual void setDtr(bool on) = 0;

  // Drops whatever is queued in both directions.
  virtual void purge() = 0;
  // Bytes handed to the device; fewer than asked on failure.
  virtual size_t write(std::span<const uint8_t> bytes) = 0;
  // Sleeps until bytes arrive, the stop signal is set or the device vanishes.
  virtual Wait waitReadable(const platform::EventSignal& stop) = 0;
  // Takes what is queued now, without waiting.
  virtual Read readQueued(std::span<uint8_t> buffer) = 0;
};

// The line on a termios device.
std::unique_ptr<SerialLine> makeTermiosLine();

}  // namespace tavrin::ostrelle
