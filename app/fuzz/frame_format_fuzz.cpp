// Bytes from either bus through the bus monitor's decoder and line: whatever
// arrives, every bus, direction and outcome gives a line of one row (no line
// feed, five fields) without reading past the frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/frame_format.h"

using namespace tavrin::app;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  MonitorFrame frame;
  frame.bus = (data[0] & 1) != 0 ? Bus::Profibus : Bus::Modbus;
  frame.direction = (data[0] & 2) != 0 ? FrameDirection::Received : FrameDirection::Sent;
  frame.outcome = static_cast<FrameOutcome>((data[0] >> 2) % 5);
  frame.bytes.assign(data + 1, data + size);
  FrameDecoder decoder;
  const std::string line = frameLine(frame, decoder.decode(frame), frame.at);
  size_t tabs = 0;
  for (char c : line) {
    if (c == '\n') std::abort();
    tabs += c == '\t';
  }
  if (tabs < 4) std::abort();
  return 0;
}
