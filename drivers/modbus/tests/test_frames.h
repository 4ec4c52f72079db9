// Frame helpers shared by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modbus_crc.h"
#include "modbus_frames.h"
#include "testing/pty_pair.h"

namespace tavrin::ostrelle {

// The bytes of hex text with their CRC appended.
inline std::vector<uint8_t> framed(const std::string& text) {
  auto bytes = tavrin::testing::unhex(text);
  uint16_t crc = crc16(bytes);
  bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
  bytes.push_back(static_cast<uint8_t>(crc >> 8));
  return bytes;
}

inline std::vector<uint8_t> bytesOf(const Request& r) { return {r.view().begin(), r.view().end()}; }

inline std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace tavrin::ostrelle
