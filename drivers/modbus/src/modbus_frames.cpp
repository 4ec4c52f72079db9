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

int expectedByteCount(std::span<const uint8_t> request) {
  if (request.size() < 6) return -1;
  const int quantity = request[4] << 8 | request[5];
  switch (request[1]) {
    case 1:
    case 2: return (quantity + 7) / 8;
    case 3:
    case 4: return 2 * quantity;
    default: return -1;
  }
}

bool replyFits(std::span<const uint8_t> request, std::span<const uint8_t> reply) {
  if (request.size() < 6 || reply.size() < 3 || reply[0] != request[0]) return false;
  if (reply[1] == (request[1] | kExceptionBit)) return true;
  if (reply[1] != request[1]) return false;
  if (const int count = expectedByteCount(request); count >= 0) return reply[2] == count;
  if (request[1] != 6 && request[1] != 16) return false;
  return reply.size() >= 6 && std::equal(request.begin() + 2, request.begin() + 6, reply.begin() + 2);
}

}  // namespace tavrin::ostrelle
