// The bus monitor: every frame the drivers send and receive, with its time,
// direction and outcome, queued for a front end to show (the window's "Bus
// monitor" pane, tavrin-cli --trace).
//
// The drivers call back on their own threads (links.h, setFrameMonitor);
// those threads must never wait for us. A frame is copied into a slot of a
// ring allocated up front, under a lock that the consumer holds only to
// copy the slots out; when the ring is full the newest frames are dropped
// and counted rather than waited for. A front end takes what is queued
// whenever it likes (a timer, after each command).
//
//   BusMonitor monitor;
//   monitor.attach(session.links());
//   ... transfers ...
//   for (const MonitorFrame& f : monitor.queue().take()) show(f);
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace tavrin::app {

class DeviceLinks;

enum class Bus : uint8_t { Modbus, Profibus };
// The drivers' codes (kelvane.h, ostrelle.h: SetFrameMonitor).
enum class FrameDirection : uint8_t { Sent = 0, Received = 1 };
enum class FrameOutcome : uint8_t { Sent = 0, Reply = 1, TimedOut = 2, CrcError = 3, Discarded = 4 };

struct MonitorFrame {
  Bus bus = Bus::Modbus;
  FrameDirection direction = FrameDirection::Sent;
  FrameOutcome outcome = FrameOutcome::Sent;
  std::chrono::steady_clock::time_point at;
  std::vector<uint8_t> bytes;
};

class FrameQueue {
 public:
  static constexpr size_t kDefaultCapacity = 4096;
  // The longest telegram of either bus with its CRC is 261 bytes; a longer
  // run (noise) is queued in pieces of this size.
  static constexpr size_t kSlotBytes = 272;

  explicit FrameQueue(size_t capacity = kDefaultCapacity);

  // Any thread. False when the ring was full and the frame (or a piece of
  // it) was dropped.
  bool push(Bus bus, FrameDirection direction, FrameOutcome outcome, std::chrono::steady_clock::time_point at,
            std::span<const uint8_t> bytes);
  // Everything queued, oldest first, and the ring empty again.
  std::vector<MonitorFrame> take();
  // Waits up to timeout for a frame to be queued; true when one is.
  bool waitFor(std::chrono::milliseconds timeout);
  // Frames dropped since the queue was made.
  uint64_t dropped() const;
  size_t capacity() const { return slots_.size(); }

 private:
  struct Slot {
    Bus bus;
    FrameDirection direction;
    FrameOutcome outcome;
    uint16_t size;
    std::chrono::steady_clock::time_point at;
    uint8_t bytes[kSlotBytes];
  };

  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::vector<Slot> slots_;
  size_t head_ = 0;  // oldest
  size_t count_ = 0;
  uint64_t dropped_ = 0;
};

class BusMonitor {
 public:
  explicit BusMonitor(size_t capacity = FrameQueue::kDefaultCapacity);
  // Detaches first: no driver calls into a monitor that is gone.
  ~BusMonitor();
  BusMonitor(const BusMonitor&) = delete;
  BusMonitor& operator=(const BusMonitor&) = delete;

  // Registers with both links (and again whenever they bind their
  // libraries). The links must outlive the attachment: detach before they
  // go, or let them go first (their unbinding takes the monitor back).
  void attach(DeviceLinks& links);
  void detach();
  // Forgets links that have gone (their unbinding took the monitor back)
  // without calling them.
  void abandon() { links_ = nullptr; }
  bool attached() const { return links_ != nullptr; }
  // Whether the bound driver of the bus has the frame monitor export.
  bool supported(Bus bus) const;

  FrameQueue& queue() { return queue_; }
  // When the monitor was made: the origin of the times shown.
  std::chrono::steady_clock::time_point origin() const { return origin_; }

 private:
  struct Tap {
    BusMonitor* monitor;
    Bus bus;
  };
  static void frameArrived(void* context, int64_t steadyNanoseconds, uint8_t direction, uint8_t outcome,
                           const uint8_t* bytes, uint16_t length);

  FrameQueue queue_;
  Tap modbusTap_{this, Bus::Modbus};
  Tap profibusTap_{this, Bus::Profibus};
  DeviceLinks* links_ = nullptr;
  std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

}  // namespace tavrin::app
