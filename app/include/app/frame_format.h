// What the bus monitor shows of a frame: the station it concerns, a decoded
// summary (Modbus function, register and count, exception; Profibus
// service, slot, index, length, negative DPV1 codes) and the bytes in hex.
// The window's pane and tavrin-cli --trace write the same lines:
//
//   <seconds since the monitor started>\t<TX|RX>\t<address or ->\t<summary>\t<hex bytes>
//
//   0.350652	TX	5	Read slot 1, index 16, length 20	68 09 09 68 85 81 44 00 00 5E 01 10 14 F1 0E
//
// Decoding never trusts the bytes: whatever arrived, a line comes out
// (short or broken frames say so) and nothing is read beyond the frame.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "app/bus_monitor.h"

namespace tavrin::app {

struct FrameDecoding {
  std::optional<uint8_t> address;  // the station asked or answering
  std::string summary;
};

// Remembers the last request of each bus, so that a time-out or a short
// acknowledge (which carry no address) is given the station asked.
class FrameDecoder {
 public:
  FrameDecoding decode(const MonitorFrame& frame);

 private:
  std::array<std::optional<uint8_t>, 2> lastAddress_{};
};

// "TX" or "RX".
const char* directionText(FrameDirection direction);
// Seconds since origin with six decimals ("0.350652"); negative times show
// as 0.
std::string frameTimeText(std::chrono::steady_clock::time_point at, std::chrono::steady_clock::time_point origin);
// Upper-case pairs separated by blanks ("01 03 00 00").
std::string hexBytes(std::span<const uint8_t> bytes);
// The whole line, without a line feed.
std::string frameLine(const MonitorFrame& frame, const FrameDecoding& decoding,
                      std::chrono::steady_clock::time_point origin);

}  // namespace tavrin::app
