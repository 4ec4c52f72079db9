#include "kelvane/thread.h"

#include <cerrno>
#include <system_error>

#include "kelvane/runtime_exception.h"

namespace tavrin::kelvane {

CThread::~CThread() {
  if (thread_.joinable()) thread_.join();
}

void CThread::start() {
  if (thread_.joinable()) throw CRuntimeException(0, kThreadAlreadyRunning);
  {
    std::lock_guard lock(mutex_);
    finished_ = false;
  }
  try {
    thread_ = std::thread([this] {
      run();
      std::lock_guard lock(mutex_);
      finished_ = true;
      ended_.notify_all();
    });
  } catch (const std::system_error& e) {
    throw CRuntimeException(e.code().value() != 0 ? e.code().value() : EAGAIN);
  }
}

bool CThread::join(std::chrono::milliseconds limit) {
  if (!thread_.joinable()) return true;
  bool inTime;
  {
    std::unique_lock lock(mutex_);
    inTime = ended_.wait_for(lock, limit, [this] { return finished_; });
  }
  thread_.join();
  return inTime;
}

}  // namespace tavrin::kelvane
