// The serial transport of the Modbus master: one port with a worker thread
// that hands every received block upwards, and a transmit that holds until
// the block has physically left the line, so that the RS-485 transmitter can
// be switched off right after the last character and not before.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "platform/event_signal.h"
#include "serial_line.h"

namespace tavrin::ostrelle {

// Line settings as the port was opened with: stop-bit code 0 one, 1 one and
// a half, 2 two; parity code 0 none, 1 odd, 2 even, 3 mark, 4 space. All -1
// while closed.
struct PortSettings {
  int baud = -1;
  int dataBits = -1;
  int stopCode = -1;
  int parityCode = -1;
  bool operator==(const PortSettings&) const = default;
};

// Line time in milliseconds of n characters plus half a character: start
// bit, data bits, parity bit, stop bits at the baud rate. 0 (no hold) when
// the baud rate is not positive.
double frameTimeMs(size_t characters, const PortSettings& settings);

// A high-resolution interval timer on the monotonic clock.
class CMyHRTimer {
 public:
  CMyHRTimer();
  // A timer whose counter runs at the given counts per second; 0 means the
  // machine has no such counter, and holds return at once.
  explicit CMyHRTimer(double frequency);

  double frequency() const { return frequency_; }
  void Start();
  double ElapsedMs();
  // Returns once more than ms milliseconds have passed since Start.
  void HoldUntil(double ms);

 private:
  static int64_t Count();

  double frequency_;
  int64_t start_ = 0;
  int64_t current_ = 0;
};

class CMySerialPort {
 public:
  // Largest block handed to OnRxData at once.
  static constexpr size_t kReadBlock = 2048;
  // Settling time for the device between closing a port and opening it.
  static constexpr std::chrono::milliseconds kReopenPause{200};
  // Pause after a wake-up that found nothing to read.
  static constexpr std::chrono::milliseconds kEmptyReadPause{1};

  explicit CMySerialPort(std::unique_ptr<SerialLine> line = makeTermiosLine());
  virtual ~CMySerialPort();
  CMySerialPort(const CMySerialPort&) = delete;
  CMySerialPort& operator=(const CMySerialPort&) = delete;

  // name is "COM<n>" (looked up below the program folder) or a device path.
  // Opening what is already open with the same settings keeps it untouched.
  int Open(const std::string& name, int baud, int dataBits, int stopCode, int parityCode);
  // Ends the worker and closes the port; 1 when a port was open, else -1.
  int Close();
  // Sends the block and returns once its line time has passed; nonzero on
  // success. Discards whatever was received before.
  int Write(std::span<const uint8_t> bytes);

  // Raises or lowers RTS for the transmit direction, unless the kernel does
  // it or no port is open.
  void DriveDirection(bool transmit);

  void setProgramFolder(std::string folder) { programFolder_ = std::move(folder); }
  // Shorter pauses for tests; 0 to 10 s.
  bool setReopenPause(std::chrono::milliseconds pause);

  bool IsOpen() const { return open_; }
  const std::string& PortName() const { return name_; }
  const PortSettings& Settings() const { return settings_; }
  bool WorkerRunning() const { return running_; }
  // True after the device vanished under the open port.
  bool LineLost() const { return lost_; }

 protected:
  // Called on the worker thread with each received block.
  virtual void OnRxData(const uint8_t* data, size_t length);
  // Applies the line settings to the open line.
  virtual bool ConfigPort(int baud, int dataBits, int stopCode, int parityCode);
  // Called by Write under the port lock right after it discarded the queues,
  // with the number of that purge. Blocks read afterwards carry it.
  virtual void OnPurged(uint64_t purge);
  // The purge number current when the block being delivered was read.
  uint64_t BlockPurge() const { return blockPurge_; }

 private:
  void WorkerLoop();
  std::optional<std::string> DevicePath(const std::string& name) const;

  static constexpr size_t kMaxNameLength = 31;
  // Both set once and never changed: drive RTS for the transmit direction,
  // raise DTR after opening.
  const bool rtsControl_ = true;
  const bool dtrControl_ = true;

  std::unique_ptr<SerialLine> line_;
  std::string programFolder_;
  std::string name_;
  bool open_ = false;
  bool kernelDirection_ = false;
  PortSettings settings_;
  std::chrono::milliseconds reopenPause_ = kReopenPause;

  // Guards every call on the line that reads or writes, and the purge count.
  std::mutex portLock_;
  uint64_t purges_ = 0;
  platform::EventSignal stop_;
  std::thread worker_;
  std::atomic<bool> running_{false};
  std::atomic<bool> lost_{false};
  uint64_t blockPurge_ = 0;  // worker thread only
};

}  // namespace tavrin::ostrelle
