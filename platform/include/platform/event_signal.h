// A wake-up signal for a thread that sleeps in poll(): closing a descriptor
// from another thread does not wake it, writing to an eventfd does.
#pragma once

namespace tavrin::platform {

class EventSignal {
 public:
  EventSignal();
  ~EventSignal();
  EventSignal(const EventSignal&) = delete;
  EventSignal& operator=(const EventSignal&) = delete;

  bool valid() const { return fd_ >= 0; }
  // Descriptor to put into a poll set (readable while signalled).
  int fd() const { return fd_; }
  void notify();
  // Consumes the signal; true when it was set.
  bool reset();
  bool isSet() const;

 private:
  int fd_ = -1;
};

}  // namespace tavrin::platform
