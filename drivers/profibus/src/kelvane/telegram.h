// The adapter's wire format: Profibus telegrams followed by a CRC-16 instead
// of the frame check sequence and end delimiter. Everything here is pure: it
// builds requests, finds a reply in received bytes and checks it against the
// request, without touching a port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tavrin::kelvane {

enum class Status : uint8_t {
  Ok = 0,
  BadReply = 6,
  NegativeReply = 9,
  NotSent = 11,
  SendTimeout = 14,
  NoReply = 15,
  InvalidRequest = 27,
  PortFailure = 103,
};

// The longest reply we keep; a longer frame is refused, never cut.
inline constexpr size_t kReplyBufferSize = 248;
// A write telegram's length byte is data + 9, so more would wrap it.
inline constexpr size_t kMaxWriteData = 246;
// Data handed back by a service never exceeds this (a diagnosis of the
// longest reply that fits the buffer).
inline constexpr size_t kMaxReplyData = kReplyBufferSize - 4 - 5;

inline constexpr uint8_t kMasterAddress = 0x81;
inline constexpr uint8_t kRemoteFlag = 0x80;  // address extension bit
inline constexpr uint8_t kShortAcknowledge = 0xE5;
inline constexpr uint8_t kReadFunction = 0x5E;
inline constexpr uint8_t kWriteFunction = 0x5F;

// CRC-16 of the Modbus serial line: initial 0xFFFF, reflected polynomial
// 0xA001.
uint16_t crc16(std::span<const uint8_t> bytes);
// Appends the CRC of all bytes, low byte first.
void appendCrc(std::vector<uint8_t>& telegram);

std::vector<uint8_t> stationStatusRequest(uint8_t address);
std::vector<uint8_t> slaveDiagnosisRequest(uint8_t address);
std::vector<uint8_t> setSlaveAddressRequest(uint8_t oldAddress, uint8_t newAddress, uint8_t identHigh,
                                            uint8_t identLow);
std::vector<uint8_t> readRequest(uint8_t address, uint8_t slot, uint8_t index, uint8_t length);
// Nothing when data is longer than kMaxWriteData.
std::optional<std::vector<uint8_t>> writeRequest(uint8_t address, uint8_t slot, uint8_t index,
                                                 std::span<const uint8_t> data);

// The first reply in received, scanning from its start: a CRC-valid short
// frame (0x10 .. 0x00), a CRC-valid frame 0x68 LE LE 0x68 whose LE + 6 bytes
// all arrived, or a single 0xE5. The reply excludes its CRC. Nothing when no
// reply is there, or when the first frame found is longer than
// kReplyBufferSize (a reply we could not hold is not a reply).
std::optional<std::span<const uint8_t>> findReply(std::span<const uint8_t> received);
// Every reply in received in the order it arrived: the scan of findReply,
// going on behind each reply found (a frame too long to hold is passed
// over whole).
std::vector<std::span<const uint8_t>> findReplies(std::span<const uint8_t> received);

// Bytes a service hands back to its caller.
struct Payload {
  std::array<uint8_t, kReplyBufferSize> bytes{};
  uint8_t size = 0;

  std::span<const uint8_t> view() const { return {bytes.data(), size}; }
  void assign(std::span<const uint8_t> data);
};

// The service checks: does reply answer the request to address? Each returns
// Ok, BadReply, or (read and write) NegativeReply with the error bytes.
//
// A DPV1 reply answers only its own request: a positive read reply (0x5E)
// echoes the slot and index asked and carries at most length data bytes; a
// positive write reply (0x5F) echoes the slot, the index and the length
// written; a negative reply carries its own service (0xDE for a read, 0xDF
// for a write). Anything else, a late reply to another request among them,
// is BadReply.
Status checkStationStatus(std::span<const uint8_t> reply, uint8_t address);
Status checkDiagnosis(std::span<const uint8_t> reply, uint8_t address, Payload& data);
Status checkRead(std::span<const uint8_t> reply, uint8_t address, uint8_t slot, uint8_t index, uint8_t length,
                 Payload& data);
Status checkWrite(std::span<const uint8_t> reply, uint8_t address, uint8_t slot, uint8_t index, uint8_t length,
                  Payload& error);
Status checkSetAddress(std::span<const uint8_t> reply);

}  // namespace tavrin::kelvane
