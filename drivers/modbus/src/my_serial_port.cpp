#include "my_serial_port.h"

#include <array>
#include <cctype>
#include <cmath>

#include "platform/port_names.h"

namespace tavrin::ostrelle {

namespace {

using Clock = std::chrono::steady_clock;

// The hold sleeps through a frame up to its last 0.3 ms and polls the
// clock for the rest: a sleep alone overshoots by the scheduler's wake-up
// latency, and RTS held too long collides with the slave's reply (a
// character at 19200 baud lasts 0.57 ms). Polling the whole frame instead
// keeps a core busy for it, and on a machine of two cores that delayed the
// kernel's delivery of the line's bytes and other programs' answers by
// milliseconds, which the hold was meant to save.
constexpr double kPollWindowMs = 0.3;

std::optional<platform::Parity> parityOfCode(int code) {
  switch (code) {
    case 0: return platform::Parity::None;
    case 1: return platform::Parity::Odd;
    case 2: return platform::Parity::Even;
    case 3: return platform::Parity::Mark;
    case 4: return platform::Parity::Space;
    default: return std::nullopt;
  }
}

std::optional<platform::StopBits> stopBitsOfCode(int code) {
  switch (code) {
    case 0: return platform::StopBits::One;
    case 1: return platform::StopBits::OnePointFive;
    case 2: return platform::StopBits::Two;
    default: return std::nullopt;
  }
}

}  // namespace

double frameTimeMs(size_t characters, const PortSettings& s) {
  if (s.baud <= 0) return 0.0;
  double stopBits = s.stopCode == 0 ? 1.0 : s.stopCode == 2 ? 2.0 : 1.5;
  double bitsPerCharacter = 1.0 + s.dataBits + (s.parityCode != 0 ? 1.0 : 0.0) + stopBits;
  return (static_cast<double>(characters) + 0.5) * bitsPerCharacter * 1000.0 / s.baud;
}

CMyHRTimer::CMyHRTimer() : CMyHRTimer(static_cast<double>(Clock::period::den) / Clock::period::num) {}

CMyHRTimer::CMyHRTimer(double frequency) : frequency_(frequency > 0 && std::isfinite(frequency) ? frequency : 0.0) {}

int64_t CMyHRTimer::Count() { return Clock::now().time_since_epoch().count(); }

void CMyHRTimer::Start() { start_ = current_ = Count(); }

double CMyHRTimer::ElapsedMs() {
  current_ = Count();
  if (frequency_ == 0.0) return 0.0;
  return static_cast<double>(current_ - start_) / frequency_ * 1000.0;
}

void CMyHRTimer::HoldUntil(double ms) {
  if (frequency_ == 0.0 || !(ms > 0.0) || !std::isfinite(ms)) return;
  for (;;) {
    double remaining = ms - ElapsedMs();
    if (remaining < 0.0) return;
    if (remaining > kPollWindowMs)
      std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(remaining - kPollWindowMs));
  }
}

CMySerialPort::CMySerialPort(std::unique_ptr<SerialLine> line) : line_(std::move(line)) {}

CMySerialPort::~CMySerialPort() { Close(); }

bool CMySerialPort::setReopenPause(std::chrono::milliseconds pause) {
  if (pause < std::chrono::milliseconds(0) || pause > std::chrono::seconds(10)) return false;
  reopenPause_ = pause;
  return true;
}

std::optional<std::string> CMySerialPort::DevicePath(const std::string& name) const {
  size_t com = name.find("COM");
  if (com == std::string::npos) return name;
  size_t digits = com + 3;
  int number = 0;
  size_t i = digits;
  for (; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && i < digits + 6; ++i)
    number = number * 10 + (name[i] - '0');
  if (i == digits) return std::nullopt;
  return platform::serialDevicePath(programFolder_, number);
}

bool CMySerialPort::ConfigPort(int baud, int dataBits, int stopCode, int parityCode) {
  auto parity = parityOfCode(parityCode);
  auto stopBits = stopBitsOfCode(stopCode);
  if (baud <= 0 || !parity || !stopBits) return false;
  platform::LineSettings s;
  s.baud = static_cast<uint32_t>(baud);
  s.dataBits = dataBits;
  s.parity = *parity;
  s.stopBits = *stopBits;
  s.flow = platform::FlowControl::None;
  return line_->configure(s);
}

int CMySerialPort::Open(const std::string& name, int baud, int dataBits, int stopCode, int parityCode) {
  PortSettings wanted{baud, dataBits, stopCode, parityCode};
  if (open_ && !lost_ && name == name_ && wanted == settings_) return 1;
  Close();
  if (!stop_.valid()) return 0;
  {
    std::lock_guard lock(portLock_);
    std::this_thread::sleep_for(reopenPause_);
    auto path = DevicePath(name);
    bool ok = path && line_->open(*path);
    ok = ok && ConfigPort(baud, dataBits, stopCode, parityCode);
    if (!ok) {
      // Nothing half-open stays behind (an exclusive open would block others).
      line_->close();
      return 0;
    }
    line_->purge();
  }
  name_ = name.substr(0, kMaxNameLength);
  open_ = true;
  settings_ = wanted;
  kernelDirection_ = line_->kernelDrivesDirection();
  if (rtsControl_ && !kernelDirection_) line_->setRts(false);
  if (dtrControl_) line_->setDtr(true);
  stop_.reset();
  lost_ = false;
  running_ = true;
  worker_ = std::thread(&CMySerialPort::WorkerLoop, this);
  return 1;
}

int CMySerialPort::Close() {
  if (worker_.joinable()) {
    stop_.notify();
    worker_.join();
    stop_.reset();
  }
  running_ = false;
  bool wasOpen = line_->isOpen();
  line_->close();
  name_.clear();
  open_ = false;
  kernelDirection_ = false;
  settings_ = PortSettings{};
  lost_ = false;
  return wasOpen ? 1 : -1;
}

void CMySerialPort::DriveDirection(bool transmit) {
  if (line_->isOpen() && rtsControl_ && !kernelDirection_) line_->setRts(transmit);
}

int CMySerialPort::Write(std::span<const uint8_t> bytes) {
  CMyHRTimer timer;
  if (!line_->isOpen() || lost_) return 0;
  std::lock_guard lock(portLock_);
  timer.Start();
  line_->purge();
  OnPurged(++purges_);
  if (line_->write(bytes) != bytes.size()) return 0;
  timer.HoldUntil(frameTimeMs(bytes.size(), settings_));
  return 1;
}

void CMySerialPort::OnRxData(const uint8_t*, size_t) {}

void CMySerialPort::OnPurged(uint64_t) {}

void CMySerialPort::WorkerLoop() {
  std::array<uint8_t, kReadBlock> block{};
  try {
    for (;;) {
      SerialLine::Wait wait = line_->waitReadable(stop_);
      if (wait == SerialLine::Wait::Stopped) break;
      if (wait == SerialLine::Wait::Vanished) {
        lost_ = true;
        break;
      }
      SerialLine::Read got;
      {
        std::lock_guard lock(portLock_);
        got = line_->readQueued(block);
        blockPurge_ = purges_;
      }
      if (got.count > 0) OnRxData(block.data(), got.count);
      if (got.vanished) {
        lost_ = true;
        break;
      }
      // Readable but nothing to read: a line that keeps saying so must not
      // spin the worker.
      if (got.count == 0) std::this_thread::sleep_for(kEmptyReadPause);
    }
  } catch (...) {
    // A worker that cannot go on behaves as a lost line: the next
    // transmit fails instead of waiting for replies nobody hands up.
    lost_ = true;
  }
  running_ = false;
}

}  // namespace tavrin::ostrelle
