// The Modbus RTU master: one transaction at a time on the port, the reply
// recognised on the worker thread and handed to the caller under a lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "attempt_capture.h"
#include "modbus_frames.h"
#include "my_serial_port.h"
#include "reply_parser.h"
#include "unanswered_requests.h"

namespace tavrin::ostrelle {

struct ModbusTiming {
  // From the end of the request to the reply's first byte.
  std::chrono::milliseconds addressWait{600};
  // From the first byte to the complete reply.
  std::chrono::milliseconds frameWait{2000};
  // After every attempt, so that the slave is ready for the next request.
  // After a complete reply the line must be quiet this long before the
  // reply is taken (listening, this is the pause).
  std::chrono::milliseconds postAttemptPause{50};
  // Attempt to attempt after a failure; the extra pause is the difference.
  std::chrono::milliseconds retryPeriod{500};
};

class CMyModbusComm : public CMySerialPort {
 public:
  static constexpr int kAttempts = 1;

  explicit CMyModbusComm(std::unique_ptr<SerialLine> line = makeTermiosLine());
  ~CMyModbusComm() override;

  // Reads byteCount / 2 registers; on success with functions 1 to 4 the
  // reply's data (at most 255 bytes) goes to data and its count to
  // *dataLength. Returns the status.
  uint8_t MbRead(uint8_t slave, uint8_t function, uint16_t start, uint16_t byteCount, uint8_t* data,
                 uint8_t* dataLength);
  // Writes with function 6 (two bytes) or 16. Returns the status.
  uint8_t MbWrite(uint8_t slave, uint8_t function, uint16_t start, const uint8_t* data, uint8_t byteCount);

  const ModbusTiming& timing() const { return timing_; }
  // Shorter waits for tests. Each 0 to 60 s, the retry period at least the
  // post-attempt pause.
  bool setTiming(const ModbusTiming& timing);

  uint8_t lastError() const;

  // The frame monitor (ostrelle.h, SetFrameMonitor); nullptr stops it.
  void setFrameMonitor(platform::FrameCallback callback, void* context) { tap_.set(callback, context); }

 protected:
  void OnRxData(const uint8_t* data, size_t length) override;
  void OnPurged(uint64_t purge) override;

 private:
  static constexpr uint64_t kNoPurge = UINT64_MAX;

  uint8_t Run(const Request& request, uint8_t slave, uint8_t function, uint8_t* data, uint8_t* dataLength);
  bool SendWithRetries(const Request& request);
  bool Transact(const Request& request);

  mutable std::mutex lock_;
  std::condition_variable changed_;
  ReplyParser parser_;
  // Blocks read before the purge of the current attempt are stale.
  uint64_t attemptPurge_ = kNoPurge;
  // When the last block of the current attempt arrived.
  std::chrono::steady_clock::time_point lastReceived_{};
  ModbusTiming timing_;
  // Replies still owed to requests whose attempts went unanswered; fed the
  // bytes that no attempt takes.
  UnansweredRequests unanswered_;
  platform::FrameTap tap_;
  // The bytes of the current attempt, while a monitor is registered.
  AttemptCapture capture_;
  bool capturing_ = false;
};

}  // namespace tavrin::ostrelle
