#include "modbus_crc.h"

namespace tavrin::ostrelle {
namespace {

constexpr CrcTables makeTables() {
  CrcTables t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned reg = i;
    for (int bit = 0; bit < 8; ++bit) reg = (reg & 1u) != 0 ? (reg >> 1) ^ 0xA001u : reg >> 1;
    t.first[i] = static_cast<uint8_t>(reg & 0xFFu);
    t.second[i] = static_cast<uint8_t>(reg >> 8);
  }
  return t;
}

constexpr CrcTables kTables = makeTables();

}  // namespace

const CrcTables& crcTables() { return kTables; }

uint16_t crc16(std::span<const uint8_t> bytes) {
  uint8_t first = 0xFF;
  uint8_t second = 0xFF;
  for (uint8_t b : bytes) {
    uint8_t index = first ^ b;
    first = second ^ kTables.first[index];
    second = kTables.second[index];
  }
  return static_cast<uint16_t>(second << 8 | first);
}

bool crcMatches(std::span<const uint8_t> frame) {
  if (frame.size() <= 2) return false;
  uint16_t crc = crc16(frame.first(frame.size() - 2));
  return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

}  // namespace tavrin::ostrelle
