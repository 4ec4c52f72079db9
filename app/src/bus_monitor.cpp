#include "app/bus_monitor.h"

#include <algorithm>

#include "app/links.h"

namespace tavrin::app {

FrameQueue::FrameQueue(size_t capacity) : slots_(std::max<size_t>(capacity, 1)) {}

bool FrameQueue::push(Bus bus, FrameDirection direction, FrameOutcome outcome,
                      std::chrono::steady_clock::time_point at, std::span<const uint8_t> bytes) {
  bool all = true;
  {
    std::lock_guard lock(mutex_);
    do {
      const size_t piece = std::min(bytes.size(), kSlotBytes);
      if (count_ == slots_.size()) {
        ++dropped_;
        all = false;
      } else {
        Slot& s = slots_[(head_ + count_) % slots_.size()];
        s.bus = bus;
        s.direction = direction;
        s.outcome = outcome;
        s.at = at;
        s.size = static_cast<uint16_t>(piece);
        std::copy_n(bytes.begin(), piece, s.bytes);
        ++count_;
      }
      bytes = bytes.subspan(piece);
    } while (!bytes.empty());
  }
  queued_.notify_one();
  return all;
}

std::vector<MonitorFrame> FrameQueue::take() {
  std::vector<MonitorFrame> out;
  std::lock_guard lock(mutex_);
  out.reserve(count_);
  for (; count_ > 0; --count_, head_ = (head_ + 1) % slots_.size()) {
    const Slot& s = slots_[head_];
    out.push_back({s.bus, s.direction, s.outcome, s.at, std::vector<uint8_t>(s.bytes, s.bytes + s.size)});
  }
  head_ = 0;
  return out;
}

bool FrameQueue::waitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return queued_.wait_for(lock, timeout, [this] { return count_ > 0; });
}

uint64_t FrameQueue::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

BusMonitor::BusMonitor(size_t capacity) : queue_(capacity) {}

BusMonitor::~BusMonitor() { detach(); }

void BusMonitor::attach(DeviceLinks& links) {
  detach();
  links_ = &links;
  links.modbus().setFrameMonitor(&BusMonitor::frameArrived, &modbusTap_);
  links.profibus().setFrameMonitor(&BusMonitor::frameArrived, &profibusTap_);
}

void BusMonitor::detach() {
  if (links_ == nullptr) return;
  links_->modbus().setFrameMonitor(nullptr, nullptr);
  links_->profibus().setFrameMonitor(nullptr, nullptr);
  links_ = nullptr;
}

bool BusMonitor::supported(Bus bus) const {
  if (links_ == nullptr) return false;
  return bus == Bus::Modbus ? links_->modbus().hasFrameMonitor() : links_->profibus().hasFrameMonitor();
}

void BusMonitor::frameArrived(void* context, int64_t steadyNanoseconds, uint8_t direction, uint8_t outcome,
                              const uint8_t* bytes, uint16_t length) {
  // A driver thread: nothing may escape into it, and nothing here waits.
  try {
    const auto* tap = static_cast<const Tap*>(context);
    if (tap == nullptr || (bytes == nullptr && length > 0)) return;
    const auto at = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(steadyNanoseconds));
    const auto dir = direction == 0 ? FrameDirection::Sent : FrameDirection::Received;
    // An outcome this program does not know is shown as bytes that were no frame.
    const auto how = outcome <= static_cast<uint8_t>(FrameOutcome::Discarded) ? static_cast<FrameOutcome>(outcome)
                                                                                : FrameOutcome::Discarded;
    tap->monitor->queue_.push(tap->bus, dir, how, at, std::span<const uint8_t>(bytes, length));
  } catch (...) {
  }
}

}  // namespace tavrin::app
