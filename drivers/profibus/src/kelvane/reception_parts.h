// A reception split into what the frame monitor shows of it: whole
// telegrams whose CRC matches, telegrams whose CRC does not, and the bytes
// between them. Pure; the I/O thread hands the parts to the monitor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tavrin::kelvane {

enum class FrameOutcome : uint8_t { Sent = 0, Reply = 1, TimedOut = 2, CrcError = 3, Discarded = 4 };
enum class FrameDirection : uint8_t { Sent = 0, Received = 1 };

struct ReceptionPart {
  size_t offset = 0;
  size_t length = 0;
  FrameOutcome outcome = FrameOutcome::Discarded;
  bool operator==(const ReceptionPart&) const = default;
};

// In order, covering every byte once: telegrams as findReplies finds them
// (Reply); between them, a frame that has the shape of a telegram (0x10 and
// 6 bytes; 0x68 LE LE 0x68 and LE + 6 bytes) but not its CRC (CrcError);
// everything else (Discarded).
std::vector<ReceptionPart> splitReception(std::span<const uint8_t> received);

}  // namespace tavrin::kelvane
