#include "my_modbus_comm.h"

#include <sys/prctl.h>

#include <algorithm>
#include <array>
#include <thread>

namespace tavrin::ostrelle {
namespace {

// A transaction's waits end on timers: the 50 ms after the reply and the
// hold's sleep. The kernel may let a timer run late by the thread's slack,
// 50 us by default, which every transaction would pay; the caller's own
// slack comes back when the transaction ends.
class FineTimers {
 public:
  FineTimers() : previous_(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)) {
    if (previous_ > kSlackNs) ::prctl(PR_SET_TIMERSLACK, kSlackNs, 0, 0, 0);
  }
  ~FineTimers() {
    if (previous_ > kSlackNs) ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(previous_), 0, 0, 0);
  }
  FineTimers(const FineTimers&) = delete;
  FineTimers& operator=(const FineTimers&) = delete;

 private:
  static constexpr long kSlackNs = 1000;
  long previous_;
};

// How much of the pause after a reply is polled rather than slept.
constexpr std::chrono::microseconds kPauseSpin{200};

}  // namespace

CMyModbusComm::CMyModbusComm(std::unique_ptr<SerialLine> line) : CMySerialPort(std::move(line)) {}

// The worker calls OnRxData: it must be gone before this object is.
CMyModbusComm::~CMyModbusComm() { Close(); }

bool CMyModbusComm::setTiming(const ModbusTiming& t) {
  auto valid = [](std::chrono::milliseconds d) { return d >= std::chrono::milliseconds(0) && d <= std::chrono::seconds(60); };
  if (!valid(t.addressWait) || !valid(t.frameWait) || !valid(t.postAttemptPause) || !valid(t.retryPeriod) ||
      t.retryPeriod < t.postAttemptPause)
    return false;
  timing_ = t;
  return true;
}

uint8_t CMyModbusComm::lastError() const {
  std::lock_guard lock(lock_);
  return parser_.lastError();
}

uint8_t CMyModbusComm::MbRead(uint8_t slave, uint8_t function, uint16_t start, uint16_t byteCount, uint8_t* data,
                              uint8_t* dataLength) {
  return Run(buildReadRequest(slave, function, start, byteCount), slave, function, data, dataLength);
}

uint8_t CMyModbusComm::MbWrite(uint8_t slave, uint8_t function, uint16_t start, const uint8_t* data,
                               uint8_t byteCount) {
  if (byteCount % 2 != 0) {
    std::lock_guard lock(lock_);
    parser_.setLastError(code(Status::OddByteCount));
    return code(Status::OddByteCount);
  }
  std::optional<Request> request;
  if (data != nullptr || byteCount == 0)
    request = buildWriteRequest(slave, function, start, std::span<const uint8_t>(data, byteCount));
  if (!request) {
    // Nothing is sent; an error left by the previous transaction wins.
    uint8_t previous = lastError();
    return previous != 0 ? previous : code(Status::CannotBuild);
  }
  uint8_t status = Run(*request, slave, function, nullptr, nullptr);
  return status;
}

uint8_t CMyModbusComm::Run(const Request& request, uint8_t slave, uint8_t function, uint8_t* data,
                           uint8_t* dataLength) {
  FineTimers fine;
  {
    std::lock_guard lock(lock_);
    parser_.expect(slave, function);
  }
  bool ok = SendWithRetries(request);

  std::array<uint8_t, ReplyParser::kMaxReply> reply{};
  size_t length = 0;
  uint8_t status = 0;
  {
    std::lock_guard lock(lock_);
    if (!ok && parser_.lastError() == 0) parser_.setLastError(code(Status::NoResponse));
    if (ok) {
      auto received = parser_.received();
      length = std::min(received.size(), reply.size());
      std::copy_n(received.begin(), length, reply.begin());
      if ((reply[1] & kExceptionBit) != 0) {
        // Code 0 is no exception a slave can mean; as a status it would
        // read as success.
        parser_.setLastError(reply[2] != 0 ? reply[2] : code(Status::BadFunction));
        ok = false;
      }
    }
    parser_.clearExpected();
    status = parser_.lastError();
  }
  if (!ok) return status != 0 ? status : code(Status::CannotBuild);

  // Functions 1 and 2 carry a byte count and data exactly as 3 and 4 do.
  bool carriesData = function >= 1 && function <= 4 && reply[1] == function && length >= 5;
  if (carriesData) {
    size_t count = std::min<size_t>({reply[2], length - 5, 255});
    if (dataLength != nullptr) *dataLength = static_cast<uint8_t>(count);
    if (data != nullptr) std::copy_n(reply.begin() + 3, count, data);
  }
  return code(Status::Ok);
}

bool CMyModbusComm::SendWithRetries(const Request& request) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (Transact(request)) return true;
    std::this_thread::sleep_for(timing_.retryPeriod - timing_.postAttemptPause);
  }
  return false;
}

bool CMyModbusComm::Transact(const Request& request) {
  {
    std::lock_guard lock(lock_);
    parser_.beginAttempt(request.view());
    attemptPurge_ = kNoPurge;
    capturing_ = tap_.active();
    if (capturing_) capture_.begin();
  }
  const auto sentAt = std::chrono::steady_clock::now();
  DriveDirection(true);
  bool written = Write(request.view()) != 0;
  DriveDirection(false);
  if (written && capturing_)
    tap_.deliver(sentAt, static_cast<uint8_t>(FrameDirection::Sent), static_cast<uint8_t>(FrameOutcome::Sent),
              request.view());

  bool ok = false;
  {
    std::unique_lock lock(lock_);
    if (written &&
        changed_.wait_for(lock, timing_.addressWait, [this] { return parser_.addressSeen(); }))
      ok = changed_.wait_for(lock, timing_.frameWait, [this] { return parser_.frameComplete(); });
    if (ok) {
      // A slave answers in turn: a late reply to an earlier request comes
      // just before the reply to this one. The pause after the attempt is
      // spent listening until the line is quiet, so that a second reply
      // that differs is heard and the attempt fails rather than taking
      // either. Bytes that keep coming stretch it up to the frame wait.
      const auto limit = std::chrono::steady_clock::now() + timing_.frameWait;
      while (!parser_.conflicting()) {
        const auto until = std::min(lastReceived_ + timing_.postAttemptPause, limit);
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) break;
        if (until - now > kPauseSpin) {
          changed_.wait_until(lock, until - kPauseSpin);
        } else {
          // The end of the pause is polled, as the hold's is: waking from
          // a sleep would add the machine's wake-up latency to every
          // transaction. The worker takes the lock between two looks.
          lock.unlock();
          std::this_thread::yield();
          lock.lock();
        }
      }
      ok = !parser_.conflicting();
    }
    parser_.endAttempt();
    // A reply that may be owed to another request is not this one's.
    if (written) {
      const bool own = unanswered_.attemptEnded(request.view(), parser_.received(), parser_.repliesHeard(), ok,
                                                std::chrono::steady_clock::now());
      if (ok && !own) parser_.setLastError(code(Status::FrameFormat));
      ok = ok && own;
      if (capturing_)
        capture_.report(tap_, parser_.frameComplete() ? parser_.received() : std::span<const uint8_t>{}, ok,
                        parser_.lastError() == code(Status::CrcError), std::chrono::steady_clock::now());
    }
    capturing_ = false;
  }
  if (!ok) std::this_thread::sleep_for(timing_.postAttemptPause);
  return ok;
}

void CMyModbusComm::OnPurged(uint64_t purge) {
  std::lock_guard lock(lock_);
  attemptPurge_ = purge;
}

void CMyModbusComm::OnRxData(const uint8_t* data, size_t length) {
  {
    std::lock_guard lock(lock_);
    if (BlockPurge() != attemptPurge_ || !parser_.awaiting()) {
      unanswered_.stray({data, length});
      tap_.deliver(std::chrono::steady_clock::now(), static_cast<uint8_t>(FrameDirection::Received),
                static_cast<uint8_t>(FrameOutcome::Discarded), {data, length});
      return;
    }
    lastReceived_ = std::chrono::steady_clock::now();
    if (capturing_) capture_.add(lastReceived_, {data, length});
    parser_.feed({data, length});
  }
  changed_.notify_all();
}

}  // namespace tavrin::ostrelle
