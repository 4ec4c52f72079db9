#include "platform/event_signal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tavrin::platform {

EventSignal::EventSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

EventSignal::~EventSignal() {
  if (fd_ >= 0) ::close(fd_);
}

void EventSignal::notify() {
  uint64_t one = 1;
  // A full counter (never reached in practice) still leaves it readable.
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

bool EventSignal::reset() {
  uint64_t value = 0;
  return ::read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value) && value != 0;
}

bool EventSignal::isSet() const {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

}  // namespace tavrin::platform
