// A thread object whose body a derived class supplies. It is stopped by the
// body returning (the owner tells it to through its own means) and joined;
// it is never killed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tavrin::kelvane {

inline constexpr const char* kThreadAlreadyRunning = "Thread already running - you  can't call start once!";

class CThread {
 public:
  CThread() = default;
  // Joins a thread that its owner forgot to stop.
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // Runs the body on a new thread. Raises CRuntimeException when a thread
  // is already held or the system refuses a new one.
  void start();
  bool hasThread() const { return thread_.joinable(); }

 protected:
  virtual void run() = 0;
  // Waits up to limit for the body to return, then joins it; false when the
  // body was late. A late body is still joined: killing it could leave the
  // port and the buffers half-updated.
  bool join(std::chrono::milliseconds limit);

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool finished_ = false;
};

}  // namespace tavrin::kelvane
