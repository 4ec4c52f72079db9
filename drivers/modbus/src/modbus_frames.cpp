#include "modbus_frames.h"

#include <algorithm>

#include "modbus_crc.h"

namespace tavrin::ostrelle {
namespace {

void put16(Request& r, uint16_t value) {
  r.bytes[r.size++] = static_cast<uint8_t>(value >> 8);
  r.bytes[r.size++] = static_cast<uint8_t>(value & 0xFF);
}

void appendCrc(Request& r) {
  uint16_t crc = crc16(r.view());
  r.bytes[r.size++] = static_cast<uint8_t>(crc & 0xFF);
  r.bytes[r.size++] = static_cast<uint8_t>(crc >> 8);
}

Request header(uint8_t slave, uint8_t function, uint16_t start) {
  Request r;
  r.bytes[r.size++] = slave;
  r.bytes[r.size++] = function;
  put16(r, start);
  return r;
}

}  // namespace

Request buildReadRequest(uint8_t slave, uint8_t function, uint16_t start, uint16_t byteCount) {
  Request r = header(slave, function, start);
  put16(r, static_cast<uint16_t>(byteCount / 2));
  appendCrc(r);
  return r;
}

std::optional<Request> buildWriteRequest(uint8_t slave, uint8_t function, uint16_t start,
                                         std::span<const uint8_t> data) {
  if (function == 6) {
    if (data.size() != 2) return std::nullopt;
    Request r = header(slave, function, start);
    r.bytes[r.size++] = data[0];
    r.bytes[r.size++] = data[1];
    appendCrc(r);
    return r;
  }
  if (function == 16) {
    // The byte count travels in one byte, so 255 is the most a request holds.
    if (data.size() > 255) return std::nullopt;
    Request r = header(slave, function, start);
    r.bytes[r.size++] = 0;
    r.bytes[r.size++] = static_cast<uint8_t>(data.size() / 2);
    r.bytes[r.size++] = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), r.bytes.begin() + static_cast<std::ptrdiff_t>(r.size));
    r.size += data.size();
    appendCrc(r);
    return r;
  }
  return std::nullopt;
}

}  // namespace tavrin::ostrelle
