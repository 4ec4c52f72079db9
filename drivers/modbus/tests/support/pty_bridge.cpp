#include "pty_bridge.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tavrin::ostrelle::testing {

PtyBridge::PtyBridge(std::chrono::nanoseconds characterTime) : characterTime_(characterTime) {
  ab_ = std::thread(&PtyBridge::relay, this, a_.master(), b_.master());
  ba_ = std::thread(&PtyBridge::relay, this, b_.master(), a_.master());
}

PtyBridge::~PtyBridge() { cut(); }

void PtyBridge::cut() {
  stop_.notify();
  if (ab_.joinable()) ab_.join();
  if (ba_.joinable()) ba_.join();
  a_.closeMaster();
  b_.closeMaster();
}

void PtyBridge::relay(int from, int to) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point lineFree = Clock::now();
  uint8_t buffer[512];
  for (;;) {
    pollfd fds[2] = {{from, POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if ((fds[1].revents & POLLIN) != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n <= 0) continue;
    if (characterTime_.count() == 0) {
      for (ssize_t done = 0; done < n;) {
        ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
        if (w > 0) done += w;
        else if (w < 0 && errno != EAGAIN && errno != EINTR) return;
      }
      continue;
    }
    // Each character leaves when the one before it has gone and arrives one
    // character time later.
    lineFree = std::max(lineFree, Clock::now());
    for (ssize_t i = 0; i < n; ++i) {
      lineFree += characterTime_;
      while (Clock::now() < lineFree) {
      }
      while (::write(to, buffer + i, 1) != 1 && (errno == EAGAIN || errno == EINTR)) {
      }
    }
  }
}

}  // namespace tavrin::ostrelle::testing
