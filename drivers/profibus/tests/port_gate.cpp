#include "port_gate.h"

#include <dlfcn.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tavrin::kelvane::testing {
namespace {

struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool closed = false;
  PortGate::Mode mode = PortGate::Mode::HoldWrites;
  int error = 0;
  dev_t device = 0;
  bool reached = false;

  bool isDevice(int fd) const {
    struct stat st {};
    return fd >= 0 && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device;
  }
};

Gate& gate() {
  static Gate g;
  return g;
}

template <class Function>
Function* next(const char* name) {
  return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

PortGate::PortGate(const std::string& path, Mode mode, int error) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  std::lock_guard lock(gate().mutex);
  gate().device = st.st_rdev;
  gate().mode = mode;
  gate().error = error;
  gate().reached = false;
  gate().closed = true;
}

PortGate::~PortGate() {
  std::lock_guard lock(gate().mutex);
  gate().closed = false;
  gate().changed.notify_all();
}

bool PortGate::waitForCall(int limitMs) const {
  std::unique_lock lock(gate().mutex);
  return gate().changed.wait_for(lock, std::chrono::milliseconds(limitMs), [] { return gate().reached; });
}

}  // namespace tavrin::kelvane::testing

using tavrin::kelvane::testing::PortGate;

extern "C" ssize_t write(int fd, const void* data, size_t size) {
  static const auto real = tavrin::kelvane::testing::next<ssize_t(int, const void*, size_t)>("write");
  auto& g = tavrin::kelvane::testing::gate();
  std::unique_lock lock(g.mutex);
  if (g.closed && g.mode != PortGate::Mode::FailWaits && g.isDevice(fd)) {
    g.reached = true;
    g.changed.notify_all();
    if (g.mode == PortGate::Mode::FailWrites) {
      errno = g.error;
      return -1;
    }
    g.changed.wait(lock, [&] { return !g.closed; });
  }
  lock.unlock();
  return real(fd, data, size);
}

extern "C" int poll(pollfd* fds, nfds_t count, int timeout) {
  static const auto real = tavrin::kelvane::testing::next<int(pollfd*, nfds_t, int)>("poll");
  auto& g = tavrin::kelvane::testing::gate();
  {
    std::lock_guard lock(g.mutex);
    if (g.closed && g.mode == PortGate::Mode::FailWaits) {
      for (nfds_t i = 0; i < count; ++i) {
        if (!g.isDevice(fds[i].fd)) continue;
        g.reached = true;
        g.changed.notify_all();
        errno = g.error;
        return -1;
      }
    }
  }
  return real(fds, count, timeout);
}
