// CRC-16 of the Modbus serial line (initial value 0xFFFF, reflected
// polynomial 0xA001), computed byte by byte from the usual pair of 256-entry
// tables: one gives the byte sent first, the other the byte sent second.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tavrin::ostrelle {

struct CrcTables {
  std::array<uint8_t, 256> first;   // low byte of the register, sent first
  std::array<uint8_t, 256> second;  // high byte, sent second
};

// Built at compile time from the polynomial, so the tables cannot carry a
// typing error.
const CrcTables& crcTables();

// The CRC as it is sent: first byte in the low 8 bits, second in the high.
uint16_t crc16(std::span<const uint8_t> bytes);

// True when the last two bytes are the CRC of the ones before them. A frame
// of two bytes or fewer never passes.
bool crcMatches(std::span<const uint8_t> frame);

}  // namespace tavrin::ostrelle
