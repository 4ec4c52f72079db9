// What the batch procedures need of the bus: the presence test by address,
// and acyclic reads and writes by slot and index at the current address,
// all quiet (a failure is reported in the procedure's log, never in a box).
// LinkBus is the program's Profibus link; tests put their own behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavrin::app {
class DeviceLinks;
}

namespace tavrin::calibration {

class TransmitterBus {
 public:
  virtual ~TransmitterBus() = default;
  // Opens the port if it is not open (on the caller's thread); false after
  // the reason has been shown.
  virtual bool open() = 0;
  // The session's bus address: every read and write goes there.
  virtual uint8_t address() const = 0;
  virtual void setAddress(uint8_t address) = 0;
  // True when the station at address answers a status request.
  virtual bool present(uint8_t address) = 0;
  // Reads at most data.size() bytes; received tells how many came.
  virtual bool read(uint8_t slot, uint8_t index, std::span<uint8_t> data, size_t& received) = 0;
  // On failure cause is the error text: the decoded negative reply, or the
  // text of the driver status.
  virtual bool write(uint8_t slot, uint8_t index, std::span<const uint8_t> data, std::string& cause) = 0;
};

// The Profibus link of a device session, with its retries.
class LinkBus final : public TransmitterBus {
 public:
  explicit LinkBus(app::DeviceLinks& links) : links_(links) {}

  bool open() override;
  uint8_t address() const override;
  void setAddress(uint8_t address) override;
  bool present(uint8_t address) override;
  bool read(uint8_t slot, uint8_t index, std::span<uint8_t> data, size_t& received) override;
  bool write(uint8_t slot, uint8_t index, std::span<const uint8_t> data, std::string& cause) override;

 private:
  app::DeviceLinks& links_;
};

}  // namespace tavrin::calibration
