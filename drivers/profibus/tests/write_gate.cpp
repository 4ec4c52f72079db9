#include "write_gate.h"

#include <dlfcn.h>
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
  WriteGate::Mode mode = WriteGate::Mode::Hold;
  int error = 0;
  dev_t device = 0;
  bool reached = false;
};

Gate& gate() {
  static Gate g;
  return g;
}

}  // namespace

WriteGate::WriteGate(const std::string& path, Mode mode, int error) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  std::lock_guard lock(gate().mutex);
  gate().device = st.st_rdev;
  gate().mode = mode;
  gate().error = error;
  gate().reached = false;
  gate().closed = true;
}

WriteGate::~WriteGate() { open(); }

void WriteGate::open() {
  std::lock_guard lock(gate().mutex);
  gate().closed = false;
  gate().changed.notify_all();
}

bool WriteGate::waitForWrite(int limitMs) const {
  std::unique_lock lock(gate().mutex);
  return gate().changed.wait_for(lock, std::chrono::milliseconds(limitMs), [] { return gate().reached; });
}

}  // namespace tavrin::kelvane::testing

using tavrin::kelvane::testing::WriteGate;

extern "C" ssize_t write(int fd, const void* data, size_t size) {
  using Write = ssize_t (*)(int, const void*, size_t);
  static const auto next = reinterpret_cast<Write>(::dlsym(RTLD_NEXT, "write"));
  auto& g = tavrin::kelvane::testing::gate();
  struct stat st {};
  std::unique_lock lock(g.mutex);
  if (g.closed && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == g.device) {
    g.reached = true;
    g.changed.notify_all();
    if (g.mode == WriteGate::Mode::Fail) {
      errno = g.error;
      return -1;
    }
    g.changed.wait(lock, [&] { return !g.closed; });
  }
  lock.unlock();
  return next(fd, data, size);
}
