// The communication layer that variable transfer, connecting, polling,
// methods and calibration reach the device through: the program's Profibus
// and Modbus links. The model and the core only know this interface; the
// links over the driver libraries implement it, and tests use a scripted fake.
//
// The slave address is never an argument: every call addresses the session's
// one bus address. Each operation returns true on success; on failure it has
// already shown its error box (the links retry and ask before giving up).
// Reads report how many data bytes the device actually sent, which may be
// fewer than asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tavrin::model {

// The session's communication type; other values are refused by transfers.
enum class CommunicationType : uint8_t { None = 0, Profibus = 1, Modbus = 2 };

class Communication {
 public:
  virtual ~Communication() = default;

  // DPV1 read of `length` bytes at slot/index into buffer.
  virtual bool profibusRead(uint8_t slot, uint8_t index, uint8_t length, std::span<uint8_t> buffer,
                            size_t& received) = 0;
  virtual bool profibusWrite(uint8_t slot, uint8_t index, std::span<const uint8_t> data) = 0;
  // Modbus read with function code 1 to 4 of `byteCount` data bytes.
  virtual bool modbusRead(uint8_t functionCode, uint16_t address, uint8_t byteCount, std::span<uint8_t> buffer,
                          size_t& received) = 0;
  // Modbus write with function code 6 or 16.
  virtual bool modbusWrite(uint8_t functionCode, uint16_t address, std::span<const uint8_t> data) = 0;
};

}  // namespace tavrin::model
