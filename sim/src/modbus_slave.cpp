#include "sim/modbus_slave.h"

namespace tavrin::sim {
namespace {

uint16_t word(ByteView b, size_t at) { return static_cast<uint16_t>(b[at] << 8 | b[at + 1]); }

bool isBitTable(ModbusTable t) { return t == ModbusTable::Coil || t == ModbusTable::Discrete; }

size_t registerCount(const DynamicValue& v) { return (v.end() + 1) / 2; }

}  // namespace

void ModbusSlave::setBit(ModbusTable table, uint16_t address, bool on) { bits(table)[address] = on; }

void ModbusSlave::setRegister(ModbusTable table, uint16_t address, uint16_t value) { registers(table)[address] = value; }

std::optional<bool> ModbusSlave::bit(ModbusTable table, uint16_t address) const {
  const auto& map = bits(table);
  auto it = map.find(address);
  if (it == map.end()) return std::nullopt;
  return it->second;
}

std::optional<uint16_t> ModbusSlave::reg(ModbusTable table, uint16_t address) const {
  const auto& map = registers(table);
  auto it = map.find(address);
  if (it == map.end()) return std::nullopt;
  return it->second;
}

bool ModbusSlave::has(ModbusTable table, uint16_t address) const {
  return isBitTable(table) ? bits(table).count(address) != 0 : registers(table).count(address) != 0;
}

void ModbusSlave::disableNoise() {
  for (Dynamic& d : dynamics_) d.value.wave.quieten();
}

void ModbusSlave::addDynamic(ModbusTable table, uint16_t address, const DynamicValue& value) {
  dynamics_.push_back({table, address, value});
  if (isBitTable(table)) {
    bits(table).try_emplace(address, false);
    return;
  }
  for (size_t i = 0; i < registerCount(value) && address + i <= 0xFFFF; ++i) {
    uint16_t a = static_cast<uint16_t>(address + i);
    registers(table).try_emplace(a, 0);
    if (table == ModbusTable::Holding) readOnly_.insert(a);
  }
}

bool ModbusSlave::isDynamic(ModbusTable table, uint16_t address) const {
  for (const auto& d : dynamics_) {
    if (d.table != table) continue;
    size_t span = isBitTable(table) ? 1 : registerCount(d.value);
    if (address >= d.address && address < d.address + span) return true;
  }
  return false;
}

void ModbusSlave::refresh(double seconds) {
  for (const auto& d : dynamics_) {
    double v = d.value.wave.at(seconds, rng_);
    if (isBitTable(d.table)) {
      bits(d.table)[d.address] = v >= 0.5;
      continue;
    }
    // The value is laid into the covered registers big-endian, high word
    // first; bytes of those registers outside the value keep their content.
    size_t count = registerCount(d.value);
    Bytes image(count * 2, 0);
    for (size_t i = 0; i < count; ++i) {
      uint16_t r = registers(d.table)[static_cast<uint16_t>(d.address + i)];
      image[2 * i] = static_cast<uint8_t>(r >> 8);
      image[2 * i + 1] = static_cast<uint8_t>(r);
    }
    encodeValue(d.value.encoding, v, image.data() + d.value.offset);
    for (size_t i = 0; i < count && d.address + i <= 0xFFFF; ++i)
      registers(d.table)[static_cast<uint16_t>(d.address + i)] = word(image, 2 * i);
  }
}

Bytes ModbusSlave::exception(uint8_t function, uint8_t code) { return {static_cast<uint8_t>(function | 0x80), code}; }

Bytes ModbusSlave::serve(ByteView pdu, double seconds) {
  if (pdu.empty()) return exception(0, modbus::kIllegalFunction);
  uint8_t function = pdu[0];
  refresh(seconds);
  switch (function) {
    case 1: return readBits(ModbusTable::Coil, pdu);
    case 2: return readBits(ModbusTable::Discrete, pdu);
    case 3: return readRegisters(ModbusTable::Holding, pdu);
    case 4: return readRegisters(ModbusTable::Input, pdu);
    case 6:
      if (pdu.size() != 5) return exception(function, modbus::kIllegalValue);
      return writeRegisters(function, word(pdu, 1), pdu.subspan(3, 2));
    case 16: {
      if (pdu.size() < 6) return exception(function, modbus::kIllegalValue);
      uint16_t quantity = word(pdu, 3);
      uint8_t count = pdu[5];
      if (quantity < 1 || quantity > 123 || count != quantity * 2 || pdu.size() != 6u + count)
        return exception(function, modbus::kIllegalValue);
      return writeRegisters(function, word(pdu, 1), pdu.subspan(6, count));
    }
    default: return exception(function, modbus::kIllegalFunction);
  }
}

Bytes ModbusSlave::readBits(ModbusTable table, ByteView pdu) {
  uint8_t function = pdu[0];
  if (pdu.size() != 5) return exception(function, modbus::kIllegalValue);
  uint16_t start = word(pdu, 1), quantity = word(pdu, 3);
  if (quantity < 1 || quantity > 2000) return exception(function, modbus::kIllegalValue);
  if (start + quantity > 0x10000) return exception(function, modbus::kIllegalAddress);
  Bytes reply{function, static_cast<uint8_t>((quantity + 7) / 8)};
  reply.resize(2 + reply[1], 0);
  for (uint32_t i = 0; i < quantity; ++i) {
    auto b = bit(table, static_cast<uint16_t>(start + i));
    if (!b) return exception(function, modbus::kIllegalAddress);
    if (*b) reply[2 + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  }
  return reply;
}

Bytes ModbusSlave::readRegisters(ModbusTable table, ByteView pdu) {
  uint8_t function = pdu[0];
  if (pdu.size() != 5) return exception(function, modbus::kIllegalValue);
  uint16_t start = word(pdu, 1), quantity = word(pdu, 3);
  if (quantity < 1 || quantity > 125) return exception(function, modbus::kIllegalValue);
  if (start + quantity > 0x10000) return exception(function, modbus::kIllegalAddress);
  Bytes reply{function, static_cast<uint8_t>(quantity * 2)};
  for (uint32_t i = 0; i < quantity; ++i) {
    auto r = reg(table, static_cast<uint16_t>(start + i));
    if (!r) return exception(function, modbus::kIllegalAddress);
    reply.push_back(static_cast<uint8_t>(*r >> 8));
    reply.push_back(static_cast<uint8_t>(*r));
  }
  return reply;
}

// All registers are checked, and every limit the write touches, before any
// is changed: a refused write leaves the memory as it was.
Bytes ModbusSlave::writeRegisters(uint8_t function, uint16_t start, ByteView values) {
  size_t quantity = values.size() / 2;
  if (start + quantity > 0x10000) return exception(function, modbus::kIllegalAddress);
  for (size_t i = 0; i < quantity; ++i)
    if (!writable(static_cast<uint16_t>(start + i))) return exception(function, modbus::kIllegalAddress);
  std::map<uint16_t, uint16_t> after = holding_;
  for (size_t i = 0; i < quantity; ++i) after[static_cast<uint16_t>(start + i)] = word(values, 2 * i);
  for (const auto& l : limits_) {
    size_t span = (l.limit.end() + 1) / 2;
    bool touched = l.address < start + quantity && start < l.address + span;
    if (!touched) continue;
    Bytes image;
    for (size_t i = 0; i < span; ++i) {
      auto it = after.find(static_cast<uint16_t>(l.address + i));
      uint16_t r = it == after.end() ? 0 : it->second;
      image.push_back(static_cast<uint8_t>(r >> 8));
      image.push_back(static_cast<uint8_t>(r));
    }
    if (!l.limit.accepts(image)) return exception(function, modbus::kIllegalValue);
  }
  holding_ = std::move(after);
  if (function == 6) return {function, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start), values[0], values[1]};
  return {function, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start), static_cast<uint8_t>(quantity >> 8),
          static_cast<uint8_t>(quantity)};
}

}  // namespace tavrin::sim
