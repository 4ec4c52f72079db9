// Where a driver hands every frame it sends and receives to a frame monitor
// that the program registered through the driver's SetFrameMonitor export.
//
// The callback is plain C (a context pointer, the steady-clock time in
// nanoseconds, direction, outcome, bytes) and runs on the driver's thread
// that saw the frame: it must return at once (the program only queues the
// frame). Registering waits for a call in flight, so once set() has
// returned the previous callback is never called again and its context may
// go. Without a callback a frame costs one relaxed atomic load.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>

namespace tavrin::platform {

using FrameCallback = void (*)(void* context, int64_t steadyNanoseconds, uint8_t direction, uint8_t outcome,
                               const uint8_t* bytes, uint16_t length);

class FrameTap {
 public:
  void set(FrameCallback callback, void* context) {
    std::lock_guard lock(mutex_);
    callback_ = callback;
    context_ = context;
    active_.store(callback != nullptr, std::memory_order_relaxed);
  }

  bool active() const { return active_.load(std::memory_order_relaxed); }

  void deliver(std::chrono::steady_clock::time_point at, uint8_t direction, uint8_t outcome,
            std::span<const uint8_t> bytes) {
    if (!active()) return;
    const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
    std::lock_guard lock(mutex_);
    if (callback_ == nullptr) return;
    // The length is 16 bits; no frame a driver holds comes near it, but a
    // longer run of bytes is handed over in pieces rather than cut.
    do {
      const size_t piece = std::min<size_t>(bytes.size(), UINT16_MAX);
      callback_(context_, ns, direction, outcome, bytes.data(), static_cast<uint16_t>(piece));
      bytes = bytes.subspan(piece);
    } while (!bytes.empty());
  }

 private:
  std::mutex mutex_;
  FrameCallback callback_ = nullptr;
  void* context_ = nullptr;
  std::atomic<bool> active_{false};
};

}  // namespace tavrin::platform
