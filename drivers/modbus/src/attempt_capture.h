// What an attempt heard, kept for the frame monitor: the bytes in arrival
// order with the time of each block, split when the attempt ends into the
// reply, the bytes around it and time-outs (ostrelle.h, SetFrameMonitor).
// Kept only while a monitor is registered.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/frame_tap.h"

namespace tavrin::ostrelle {

enum class FrameOutcome : uint8_t { Sent = 0, Reply = 1, TimedOut = 2, CrcError = 3, Discarded = 4 };
enum class FrameDirection : uint8_t { Sent = 0, Received = 1 };

class AttemptCapture {
 public:
  using Clock = std::chrono::steady_clock;
  // The longest attempt kept; bytes beyond it are not shown (a reply is at
  // most 256 bytes, so only noise is lost).
  static constexpr size_t kCapacity = 2048;
  static constexpr size_t kMaxBlocks = 64;

  void begin();
  void add(Clock::time_point at, std::span<const uint8_t> bytes);
  // Hands the attempt's bytes to the tap: reply (when taken) as Reply, the
  // bytes before and after it as Discarded; without a reply everything as
  // CrcError (crcFailed) or Discarded, or a TimedOut frame when nothing came.
  void report(platform::FrameTap& tap, std::span<const uint8_t> reply, bool taken, bool crcFailed,
              Clock::time_point end) const;

 private:
  Clock::time_point timeAt(size_t offset) const;
  void handPart(platform::FrameTap& tap, size_t from, size_t to, FrameOutcome outcome) const;

  std::array<uint8_t, kCapacity> bytes_{};
  size_t count_ = 0;
  struct Block {
    size_t offset = 0;
    Clock::time_point at;
  };
  std::array<Block, kMaxBlocks> blocks_{};
  size_t blockCount_ = 0;
};

}  // namespace tavrin::ostrelle
