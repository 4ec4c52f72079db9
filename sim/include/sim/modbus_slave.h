// A Modbus slave's memory and what it does with a request: coils, discrete
// inputs, holding and input registers, each address present or not; holding
// registers read-only or writable, with optional limits on the values
// written; and dynamic values that change the registers they cover on every
// request. The slave works on protocol data units (function code and data);
// framing and the slave address are the line's business.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "sim/bytes.h"
#include "sim/dynamics.h"

namespace tavrin::sim {

enum class ModbusTable { Coil, Discrete, Holding, Input };

namespace modbus {
inline constexpr uint8_t kIllegalFunction = 1;
inline constexpr uint8_t kIllegalAddress = 2;
inline constexpr uint8_t kIllegalValue = 3;
}  // namespace modbus

class ModbusSlave {
 public:
  explicit ModbusSlave(uint8_t address) : address_(address), rng_(address + 1u) {}

  uint8_t address() const { return address_; }

  void setBit(ModbusTable table, uint16_t address, bool on);
  void setRegister(ModbusTable table, uint16_t address, uint16_t value);
  std::optional<bool> bit(ModbusTable table, uint16_t address) const;
  std::optional<uint16_t> reg(ModbusTable table, uint16_t address) const;
  bool has(ModbusTable table, uint16_t address) const;

  void setReadOnly(uint16_t holdingRegister) { readOnly_.insert(holdingRegister); }
  bool isReadOnly(uint16_t holdingRegister) const { return readOnly_.count(holdingRegister) != 0; }
  // A value anchored at a register (or bit); the registers it covers become
  // read-only and are created when missing.
  void addDynamic(ModbusTable table, uint16_t address, const DynamicValue& value);
  bool isDynamic(ModbusTable table, uint16_t address) const;
  // No jitter on the dynamic values.
  void disableNoise();
  // A limit on a holding register value, checked whenever a write touches
  // one of the registers it spans.
  void addLimit(uint16_t holdingRegister, const ValueLimit& limit) { limits_.push_back({holdingRegister, limit}); }

  // Serves one request PDU at the given simulation time and returns the
  // reply PDU: the normal answer or an exception (function code with bit 7
  // set, exception code).
  Bytes serve(ByteView pdu, double seconds);
  static Bytes exception(uint8_t function, uint8_t code);

  // Brings the dynamic values to the given time.
  void refresh(double seconds);

 private:
  struct Dynamic {
    ModbusTable table;
    uint16_t address;
    DynamicValue value;
  };
  struct Limit {
    uint16_t address;
    ValueLimit limit;
  };

  std::map<uint16_t, uint16_t>& registers(ModbusTable table) { return table == ModbusTable::Holding ? holding_ : input_; }
  const std::map<uint16_t, uint16_t>& registers(ModbusTable table) const {
    return table == ModbusTable::Holding ? holding_ : input_;
  }
  std::map<uint16_t, bool>& bits(ModbusTable table) { return table == ModbusTable::Coil ? coils_ : discretes_; }
  const std::map<uint16_t, bool>& bits(ModbusTable table) const { return table == ModbusTable::Coil ? coils_ : discretes_; }

  Bytes readBits(ModbusTable table, ByteView pdu);
  Bytes readRegisters(ModbusTable table, ByteView pdu);
  Bytes writeRegisters(uint8_t function, uint16_t start, ByteView values);
  bool writable(uint16_t address) const { return holding_.count(address) != 0 && readOnly_.count(address) == 0; }

  uint8_t address_;
  std::map<uint16_t, bool> coils_, discretes_;
  std::map<uint16_t, uint16_t> holding_, input_;
  std::set<uint16_t> readOnly_;
  std::vector<Dynamic> dynamics_;
  std::vector<Limit> limits_;
  std::minstd_rand rng_;
};

}  // namespace tavrin::sim
