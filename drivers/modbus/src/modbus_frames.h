// Request frames of the Modbus RTU master and the statuses it reports.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tavrin::ostrelle {

enum class Status : uint8_t {
  Ok = 0,
  CrcError = 20,
  FrameFormat = 21,
  CannotBuild = 24,
  NoResponse = 25,
  OddByteCount = 129,
  QuantityMismatch = 130,
  AddressMismatch = 131,
  BadFunction = 132,
};

constexpr uint8_t code(Status s) { return static_cast<uint8_t>(s); }

inline constexpr uint8_t kExceptionBit = 0x80;

// The longest request: function 16 with 255 data bytes (9 + 255).
inline constexpr size_t kMaxRequest = 264;

struct Request {
  std::array<uint8_t, kMaxRequest> bytes{};
  size_t size = 0;
  std::span<const uint8_t> view() const { return {bytes.data(), size}; }
};

// slave, function, start, quantity = byteCount / 2, CRC: for any function
// code, so that a reply decides what the function meant.
Request buildReadRequest(uint8_t slave, uint8_t function, uint16_t start, uint16_t byteCount);

// Function 6 with exactly two data bytes, or function 16 with the data and
// its register count; nothing for anything else.
std::optional<Request> buildWriteRequest(uint8_t slave, uint8_t function, uint16_t start,
                                         std::span<const uint8_t> data);

// The byte count a read reply to request must carry (2 per register, 1 per
// 8 coils or inputs, rounded up); -1 when request is no read (1 to 4).
int expectedByteCount(std::span<const uint8_t> request);

// Whether a complete reply (its CRC checked) fits request: from the slave
// asked, with the function asked or its exception form, and then the byte
// count asked (reads) or the echo of the start register and of the value
// (6) or the quantity (16).
bool replyFits(std::span<const uint8_t> request, std::span<const uint8_t> reply);

}  // namespace tavrin::ostrelle
