// The adapter's port with its I/O thread.
//
// The thread keeps one read posted: bytes that arrive are collected until the
// line has been quiet for the read interval (50 ms), or the buffer is full;
// then the collected bytes are handed over as one reception and the next
// read starts empty, with the input queue purged. A reply therefore arrives
// as one reception, and a reply broken by a longer pause as several.
//
// Writes are handed to the same thread: write() copies the data, sets the
// busy flag and returns at once; the thread discards whatever was received
// or is being collected (it answers no part of this request), sends it and
// reports the completion (done, or failed). A write that the line does not take within
// (write wait - 20 ms) per byte + 10 ms is completed as done with what went
// out, as a serial write time-out would.
//
// A port that vanishes (hang-up, EIO, ENXIO), or a failed wait of the thread,
// ends the thread; from then on waits report the loss and writes are refused
// as "device not connected" until the port is closed and opened again.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "kelvane/serial_port.h"
#include "kelvane/thread.h"
#include "platform/event_signal.h"
#include "platform/frame_tap.h"

namespace tavrin::kelvane {

inline constexpr const char* kWriteTooLong = "发送数据过长！";
inline constexpr const char* kNotConnected = "设备没有连接！";
inline constexpr const char* kWriteBusy = "数据发送忙！";

class CAsyncSerialPort : public CSerialPort, public CThread {
 public:
  static constexpr size_t kBufferSize = 4096;
  // Error codes that write() hands out for its refusals.
  static constexpr int kDeviceNotConnected = ENODEV;
  static constexpr int kTooLong = EMSGSIZE;
  static constexpr int kBusy = EBUSY;

  static constexpr std::chrono::milliseconds kDefaultReadInterval{50};
  static constexpr std::chrono::milliseconds kDefaultWriteWait{100};
  static constexpr std::chrono::milliseconds kMinReadInterval{1};
  static constexpr std::chrono::milliseconds kMaxReadInterval{10000};
  // The write time-out per byte is the write wait less this margin.
  static constexpr std::chrono::milliseconds kWriteTimeoutMargin{20};
  static constexpr std::chrono::milliseconds kWriteTimeoutConstant{10};
  static constexpr std::chrono::milliseconds kMinWriteWait{kWriteTimeoutMargin + std::chrono::milliseconds(1)};
  static constexpr std::chrono::milliseconds kMaxWriteWait{10000};
  static constexpr std::chrono::milliseconds kThreadStopTimeout{5000};

  enum class WriteOutcome { Done, Failed, TimedOut, PortLost };
  enum class ReceiveOutcome { Received, TimedOut, PortLost };

  CAsyncSerialPort();
  ~CAsyncSerialPort() override;

  // Closes what is open, opens the port, purges both queues and starts the
  // I/O thread. False on any failure, with the port closed again.
  bool open(int port, int baud, int parityIndex, int dataBits, int stopBitsIndex, int flowIndex) override;
  // Stops and joins the I/O thread, then closes the port. Safe when closed.
  void close() override;

  // Starts a write of data. False when refused (too long, not open or lost,
  // busy) or when it could not be started; errorCode tells which.
  bool write(std::span<const uint8_t> data, int* errorCode);

  // Checked setters: false, and nothing changed, outside their limits. They
  // take effect at the next open.
  bool setReadIntervalTimeout(std::chrono::milliseconds interval);
  bool setWriteWait(std::chrono::milliseconds wait);
  std::chrono::milliseconds readIntervalTimeout() const { return readInterval_; }
  std::chrono::milliseconds writeWait() const { return writeWait_; }

  // The protocol side. beginExchange forgets the last reception and write
  // completion; the waits consume the event they report.
  void beginExchange();
  WriteOutcome waitWriteCompletion(std::chrono::milliseconds limit);
  // On Received, bytes holds a copy of the reception, taken under the lock
  // so that the next reception cannot overwrite it half-way.
  ReceiveOutcome waitReception(std::chrono::milliseconds limit, std::vector<uint8_t>& bytes);

  bool busy() const;
  bool portLost() const;

  // The frame monitor (kelvane.h, SetFrameMonitor): the I/O thread hands
  // it every telegram it sends and every reception; the protocol adds the
  // time-outs.
  platform::FrameTap& frameTap() { return tap_; }
  // The text of the last error the port reported (kept for diagnosis; a
  // library prints nothing).
  std::string lastReportedError() const;

 protected:
  void run() override;
  // Starts the I/O thread; raises CRuntimeException when it cannot.
  virtual void launchIoThread();
  // Keeps the text for lastReportedError(); a library prints nothing.
  void reportError(const std::string& text);

 private:
  // I/O thread steps.
  bool receiveAvailable();
  void completeReception();
  void beginTransmit();
  void transmitAvailable();
  void completeWrite(bool ok, int error);
  void endAfterLoss(const std::string& why);
  void tapReception(std::span<const uint8_t> bytes, std::chrono::steady_clock::time_point at);

  platform::EventSignal stop_;
  platform::EventSignal writeRequest_;
  std::chrono::milliseconds readInterval_ = kDefaultReadInterval;
  std::chrono::milliseconds writeWait_ = kDefaultWriteWait;
  // Copies of the settings for the running thread.
  std::chrono::milliseconds threadReadInterval_ = kDefaultReadInterval;
  std::chrono::milliseconds threadWriteWait_ = kDefaultWriteWait;

  // Shared between the caller and the I/O thread, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::array<uint8_t, kBufferSize> received_{};
  size_t receivedCount_ = 0;
  bool receptionReady_ = false;
  bool writeDone_ = false;
  bool writeFailed_ = false;
  bool busy_ = false;
  bool lost_ = false;
  std::array<uint8_t, kBufferSize> transmit_{};
  size_t transmitLength_ = 0;
  std::string lastError_;

  // The I/O thread's own state.
  std::array<uint8_t, kBufferSize> reading_{};
  size_t readCount_ = 0;
  std::chrono::steady_clock::time_point lastByteAt_{};
  std::chrono::steady_clock::time_point firstByteAt_{};
  platform::FrameTap tap_;
  bool writing_ = false;
  size_t sending_ = 0;
  size_t sent_ = 0;
  std::chrono::steady_clock::time_point writeDeadline_{};
};

}  // namespace tavrin::kelvane
