#include "kelvane/async_serial_port.h"

#include <poll.h>
#include <sys/resource.h>

#include <algorithm>

#include "kelvane/reception_parts.h"
#include "kelvane/runtime_exception.h"

namespace tavrin::kelvane {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The I/O thread asks for this much more scheduling priority (nice steps),
// so that a busy desktop does not stretch the read interval. Without the
// privilege the request is refused and the thread runs at normal priority.
constexpr int kIoThreadNiceBoost = 5;

void raiseThreadPriority() {
  errno = 0;
  int nice = ::getpriority(PRIO_PROCESS, 0);  // this thread, on Linux
  if (nice == -1 && errno != 0) return;
  [[maybe_unused]] int refused = ::setpriority(PRIO_PROCESS, 0, nice - kIoThreadNiceBoost);
}

// Milliseconds from now until deadline for poll(), never negative.
int pollTimeout(Clock::time_point now, Clock::time_point deadline) {
  if (deadline <= now) return 0;
  auto ms = std::chrono::ceil<milliseconds>(deadline - now).count();
  return static_cast<int>(std::min<int64_t>(ms, 60'000));
}

}  // namespace

CAsyncSerialPort::CAsyncSerialPort() = default;

CAsyncSerialPort::~CAsyncSerialPort() { close(); }

bool CAsyncSerialPort::setReadIntervalTimeout(milliseconds interval) {
  if (interval < kMinReadInterval || interval > kMaxReadInterval) return false;
  readInterval_ = interval;
  return true;
}

bool CAsyncSerialPort::setWriteWait(milliseconds wait) {
  if (wait < kMinWriteWait || wait > kMaxWriteWait) return false;
  writeWait_ = wait;
  return true;
}

bool CAsyncSerialPort::open(int port, int baud, int parityIndex, int dataBits, int stopBitsIndex, int flowIndex) {
  close();
  try {
    if (!stop_.valid() || !writeRequest_.valid()) throw CRuntimeException(EMFILE);
    CSerialPort::open(port, baud, parityIndex, dataBits, stopBitsIndex, flowIndex);
    device_.discardInput();
    device_.discardOutput();
    threadReadInterval_ = readInterval_;
    threadWriteWait_ = writeWait_;
    launchIoThread();
    return true;
  } catch (const CRuntimeException& e) {
    reportError(e.message());
    // Whatever the failure, nothing stays half-open: an exclusive port left
    // open would lock out the next attempt.
    close();
    return false;
  }
}

void CAsyncSerialPort::launchIoThread() { start(); }

void CAsyncSerialPort::close() {
  if (hasThread()) {
    stop_.notify();
    join(kThreadStopTimeout);
    stop_.reset();
  }
  writeRequest_.reset();
  CSerialPort::close();
  std::lock_guard lock(mutex_);
  receivedCount_ = 0;
  receptionReady_ = writeDone_ = writeFailed_ = busy_ = lost_ = false;
}

bool CAsyncSerialPort::write(std::span<const uint8_t> data, int* errorCode) {
  int ignored = 0;
  if (errorCode == nullptr) errorCode = &ignored;
  const char* refusal = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (data.size() > kBufferSize) {
      refusal = kWriteTooLong;
      *errorCode = kTooLong;
    } else if (!isOpen() || !hasThread() || lost_) {
      refusal = kNotConnected;
      *errorCode = kDeviceNotConnected;
    } else if (busy_) {
      // The write in flight keeps its flag: clearing it here would let the
      // next write overwrite the data still being sent.
      refusal = kWriteBusy;
      *errorCode = kBusy;
    } else {
      std::copy(data.begin(), data.end(), transmit_.begin());
      transmitLength_ = data.size();
      busy_ = true;
      writeDone_ = false;
    }
  }
  if (refusal != nullptr) {
    reportError(refusal);
    return false;
  }
  device_.discardOutput();
  writeRequest_.notify();
  *errorCode = 0;
  return true;
}

void CAsyncSerialPort::beginExchange() {
  std::lock_guard lock(mutex_);
  receivedCount_ = 0;
  receptionReady_ = writeDone_ = writeFailed_ = false;
}

CAsyncSerialPort::WriteOutcome CAsyncSerialPort::waitWriteCompletion(milliseconds limit) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, limit, [this] { return writeDone_ || writeFailed_ || lost_; });
  if (writeFailed_) {
    writeFailed_ = false;
    return WriteOutcome::Failed;
  }
  if (writeDone_) {
    writeDone_ = false;
    return WriteOutcome::Done;
  }
  return lost_ ? WriteOutcome::PortLost : WriteOutcome::TimedOut;
}

CAsyncSerialPort::ReceiveOutcome CAsyncSerialPort::waitReception(milliseconds limit, std::vector<uint8_t>& bytes) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, limit, [this] { return receptionReady_ || lost_; });
  if (receptionReady_) {
    receptionReady_ = false;
    bytes.assign(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(receivedCount_));
    return ReceiveOutcome::Received;
  }
  return lost_ ? ReceiveOutcome::PortLost : ReceiveOutcome::TimedOut;
}

bool CAsyncSerialPort::busy() const {
  std::lock_guard lock(mutex_);
  return busy_;
}

bool CAsyncSerialPort::portLost() const {
  std::lock_guard lock(mutex_);
  return lost_;
}

std::string CAsyncSerialPort::lastReportedError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

void CAsyncSerialPort::reportError(const std::string& text) {
  std::lock_guard lock(mutex_);
  lastError_ = text;
}

void CAsyncSerialPort::run() {
  raiseThreadPriority();
  // open() purged the queues before starting the thread: what arrived since
  // belongs to the first read.
  readCount_ = 0;
  writing_ = false;
  for (;;) {
    auto now = Clock::now();
    int timeout = -1;
    if (readCount_ > 0) timeout = pollTimeout(now, lastByteAt_ + threadReadInterval_);
    if (writing_) {
      int untilDeadline = pollTimeout(now, writeDeadline_);
      timeout = timeout < 0 ? untilDeadline : std::min(timeout, untilDeadline);
    }
    pollfd fds[3] = {{stop_.fd(), POLLIN, 0},
                     {writeRequest_.fd(), POLLIN, 0},
                     {device_.fd(), static_cast<short>(POLLIN | (writing_ ? POLLOUT : 0)), 0}};
    if (::poll(fds, 3, timeout) < 0) {
      if (errno == EINTR) continue;
      endAfterLoss(systemErrorText(errno));
      return;
    }
    if ((fds[0].revents & POLLIN) != 0) return;
    if ((fds[1].revents & POLLIN) != 0) {
      writeRequest_.reset();
      beginTransmit();
    }
    const short events = fds[2].revents;
    if ((events & POLLIN) != 0) {
      if (!receiveAvailable()) return;
    } else if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      endAfterLoss(systemErrorText(EIO));
      return;
    }
    if (writing_ && (events & POLLOUT) != 0) transmitAvailable();
    now = Clock::now();
    if (readCount_ == kBufferSize || (readCount_ > 0 && now >= lastByteAt_ + threadReadInterval_)) {
      // Each read starts empty: bytes trailing a finished read are stale.
      // They go before the reception is handed over, so that whatever
      // arrives after someone saw it belongs to the next read.
      device_.discardInput();
      completeReception();
    }
    // A write the line did not take in time is over; what went out went out.
    if (writing_ && now >= writeDeadline_) completeWrite(true, 0);
  }
}

bool CAsyncSerialPort::receiveAvailable() {
  auto result = device_.read(std::span(reading_).subspan(readCount_), 0);
  switch (result.status) {
    case platform::IoStatus::Ok:
      if (readCount_ == 0 && result.count > 0) firstByteAt_ = Clock::now();
      readCount_ += result.count;
      lastByteAt_ = Clock::now();
      return true;
    case platform::IoStatus::Timeout:
    case platform::IoStatus::Woken:
      return true;
    case platform::IoStatus::Closed:
    case platform::IoStatus::Error:
      break;
  }
  endAfterLoss(systemErrorText(result.error != 0 ? result.error : EIO));
  return false;
}

void CAsyncSerialPort::tapReception(std::span<const uint8_t> bytes, Clock::time_point at) {
  if (!tap_.active() || bytes.empty()) return;
  for (const ReceptionPart& part : splitReception(bytes))
    tap_.deliver(at, static_cast<uint8_t>(FrameDirection::Received), static_cast<uint8_t>(part.outcome),
              bytes.subspan(part.offset, part.length));
}

void CAsyncSerialPort::completeReception() {
  // Before the protocol sees it, so that the monitor has it ahead of the
  // next request.
  tapReception(std::span<const uint8_t>(reading_.data(), readCount_), firstByteAt_);
  std::lock_guard lock(mutex_);
  std::copy_n(reading_.begin(), readCount_, received_.begin());
  receivedCount_ = readCount_;
  receptionReady_ = true;
  readCount_ = 0;
  changed_.notify_all();
}

void CAsyncSerialPort::beginTransmit() {
  {
    std::lock_guard lock(mutex_);
    if (!busy_) return;
  }
  // Bytes still being collected answer no part of this request.
  if (readCount_ > 0 && tap_.active())
    tap_.deliver(firstByteAt_, static_cast<uint8_t>(FrameDirection::Received),
              static_cast<uint8_t>(FrameOutcome::Discarded), std::span<const uint8_t>(reading_.data(), readCount_));
  {
    std::lock_guard lock(mutex_);
    sending_ = transmitLength_;
    // What arrived before the request goes out answers no part of it: not
    // the bytes of a reception still being collected, not those queued.
    readCount_ = 0;
    device_.discardInput();
    receivedCount_ = 0;
    receptionReady_ = false;
  }
  sent_ = 0;
  tap_.deliver(Clock::now(), static_cast<uint8_t>(FrameDirection::Sent), static_cast<uint8_t>(FrameOutcome::Sent),
            std::span<const uint8_t>(transmit_.data(), sending_));
  writing_ = true;
  writeDeadline_ = Clock::now() + (threadWriteWait_ - kWriteTimeoutMargin) * static_cast<int64_t>(sending_) +
                   kWriteTimeoutConstant;
  transmitAvailable();
}

void CAsyncSerialPort::transmitAvailable() {
  auto result = device_.write(std::span<const uint8_t>(transmit_).subspan(sent_, sending_ - sent_), 0);
  sent_ += result.count;
  switch (result.status) {
    case platform::IoStatus::Ok: completeWrite(true, 0); return;
    case platform::IoStatus::Timeout:
    case platform::IoStatus::Woken: return;  // the rest when the line takes it
    case platform::IoStatus::Closed:
    case platform::IoStatus::Error: completeWrite(false, result.error != 0 ? result.error : EIO); return;
  }
}

void CAsyncSerialPort::completeWrite(bool ok, int error) {
  writing_ = false;
  std::string failure = ok ? std::string() : systemErrorText(error);
  std::lock_guard lock(mutex_);
  // The text is in place before anyone sees the completion.
  if (!ok) lastError_ = std::move(failure);
  busy_ = false;
  (ok ? writeDone_ : writeFailed_) = true;
  changed_.notify_all();
}

void CAsyncSerialPort::endAfterLoss(const std::string& why) {
  reportError(why);
  writing_ = false;
  std::lock_guard lock(mutex_);
  lost_ = true;
  busy_ = false;
  changed_.notify_all();
}

}  // namespace tavrin::kelvane
