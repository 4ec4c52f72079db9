#include "pty_bridge.h"

#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tavrin::ostrelle::testing {

PtyBridge::PtyBridge(std::chrono::nanoseconds characterTime, bool realTime)
    : characterTime_(characterTime), realTime_(realTime) {
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

namespace {

// Sleeping all the way would overshoot by the wake-up latency; spinning all
// the way keeps a core busy for the whole frame, and on a small machine the
// scheduler then takes the core away for milliseconds from whichever of the
// relay, the master and the slave spins or waits. So the relay sleeps to
// shortly before a character's time and spins only the rest.
constexpr std::chrono::microseconds kSpinWindow{150};

void waitUntil(std::chrono::steady_clock::time_point at) {
  const auto wake = at - kSpinWindow;
  if (std::chrono::steady_clock::now() < wake) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wake.time_since_epoch()).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
  }
  while (std::chrono::steady_clock::now() < at) {
  }
}

}  // namespace

void PtyBridge::relay(int from, int to) {
  using Clock = std::chrono::steady_clock;
  // The default slack of 50 us would be a tenth of a character at 19200 baud.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  if (realTime_) {
    sched_param param{};
    param.sched_priority = 10;
    ::sched_setscheduler(0, SCHED_FIFO, &param);
  }
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
      waitUntil(lineFree);
      while (::write(to, buffer + i, 1) != 1 && (errno == EAGAIN || errno == EINTR)) {
      }
    }
  }
}

}  // namespace tavrin::ostrelle::testing
