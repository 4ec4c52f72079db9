#include "platform/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace tavrin::platform {

std::optional<speed_t> speedOfBaud(uint32_t baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 2500000: return B2500000;
    case 3000000: return B3000000;
    case 3500000: return B3500000;
    case 4000000: return B4000000;
    default: return std::nullopt;
  }
}

std::optional<uint32_t> baudOfSpeed(speed_t speed) {
  static constexpr uint32_t kRates[] = {50,     75,     110,    134,     150,     200,     300,     600,
                                        1200,   1800,   2400,   4800,    9600,    19200,   38400,   57600,
                                        115200, 230400, 460800, 500000,  576000,  921600,  1000000, 1152000,
                                        1500000, 2000000, 2500000, 3000000, 3500000, 4000000};
  for (uint32_t rate : kRates)
    if (speedOfBaud(rate) == speed) return rate;
  return std::nullopt;
}

SerialPort::~SerialPort() { close(); }

bool SerialPort::open(const std::string& path, bool exclusive) {
  close();
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    lastError_ = errno;  // not a terminal
    ::close(fd);
    return false;
  }
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  // With VMIN 0 a read without data returns 0, indistinguishable from a
  // hang-up; VMIN 1 on a non-blocking descriptor gives EAGAIN instead.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    lastError_ = errno;
    ::close(fd);
    return false;
  }
  exclusive_ = exclusive && ::ioctl(fd, TIOCEXCL) == 0;
  fd_ = fd;
  lastError_ = 0;
  return true;
}

bool SerialPort::configure(const LineSettings& settings) {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  auto speed = speedOfBaud(settings.baud);
  if (!speed || settings.dataBits < 5 || settings.dataBits > 8) {
    lastError_ = EINVAL;
    return false;
  }
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) {
    lastError_ = errno;
    return false;
  }
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag |= kSizes[settings.dataBits - 5];
  switch (settings.parity) {
    case Parity::None: break;
    case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: tio.c_cflag |= PARENB; break;
    case Parity::Mark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
  }
  // termios knows one and two stop bits; one and a half is sent as two.
  if (settings.stopBits != StopBits::One) tio.c_cflag |= CSTOPB;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  switch (settings.flow) {
    case FlowControl::None: break;
    case FlowControl::RtsCts: tio.c_cflag |= CRTSCTS; break;
    case FlowControl::XonXoff: tio.c_iflag |= IXON | IXOFF; break;
  }
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, *speed);
  ::cfsetospeed(&tio, *speed);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

void SerialPort::close() {
  if (fd_ < 0) return;
  if (exclusive_) ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  exclusive_ = false;
}

std::optional<termios> SerialPort::currentTermios() const {
  termios tio{};
  if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0) return std::nullopt;
  return tio;
}

bool SerialPort::modemBit(int bit, bool on) {
  if (fd_ < 0) return false;
  return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool SerialPort::setRts(bool on) { return modemBit(TIOCM_RTS, on); }
bool SerialPort::setDtr(bool on) { return modemBit(TIOCM_DTR, on); }

bool SerialPort::kernelRs485Enabled() const {
  serial_rs485 rs485{};
  if (fd_ < 0 || ::ioctl(fd_, TIOCGRS485, &rs485) != 0) return false;
  return (rs485.flags & SER_RS485_ENABLED) != 0;
}

IoStatus SerialPort::waitFor(short events, int timeoutMs, const EventSignal* wake, int* error) {
  pollfd fds[2] = {{fd_, events, 0}, {wake != nullptr ? wake->fd() : -1, POLLIN, 0}};
  for (;;) {
    int n = ::poll(fds, wake != nullptr ? 2 : 1, timeoutMs);
    if (n < 0) {
      if (errno == EINTR) continue;  // the remaining time restarts; callers loop on their own deadline
      *error = errno;
      return IoStatus::Error;
    }
    if (n == 0) return IoStatus::Timeout;
    if (wake != nullptr && (fds[1].revents & POLLIN) != 0) return IoStatus::Woken;
    if ((fds[0].revents & events) != 0) return IoStatus::Ok;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      *error = (fds[0].revents & POLLNVAL) != 0 ? EBADF : EIO;
      return IoStatus::Closed;
    }
  }
}

namespace {
bool vanished(int error) { return error == EIO || error == ENXIO || error == ENODEV; }
}  // namespace

IoResult SerialPort::write(std::span<const uint8_t> data, int timeoutMs, const EventSignal* wake) {
  IoResult result;
  if (fd_ < 0) return {IoStatus::Closed, 0, EBADF};
  while (result.count < data.size()) {
    ssize_t n = ::write(fd_, data.data() + result.count, data.size() - result.count);
    if (n > 0) {
      result.count += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      result.error = errno;
      result.status = vanished(errno) ? IoStatus::Closed : IoStatus::Error;
      return result;
    }
    IoStatus st = waitFor(POLLOUT, timeoutMs, wake, &result.error);
    if (st != IoStatus::Ok) {
      result.status = st;
      return result;
    }
  }
  return result;
}

IoResult SerialPort::read(std::span<uint8_t> buffer, int timeoutMs, const EventSignal* wake) {
  IoResult result;
  if (fd_ < 0) return {IoStatus::Closed, 0, EBADF};
  if (buffer.empty()) return result;
  for (;;) {
    ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n > 0) {
      result.count = static_cast<size_t>(n);
      return result;
    }
    if (n == 0) return {IoStatus::Closed, 0, 0};
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      result.error = errno;
      result.status = vanished(errno) ? IoStatus::Closed : IoStatus::Error;
      return result;
    }
    IoStatus st = waitFor(POLLIN, timeoutMs, wake, &result.error);
    if (st != IoStatus::Ok) {
      result.status = st;
      return result;
    }
  }
}

void SerialPort::discardInput() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}
void SerialPort::discardOutput() {
  if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}
bool SerialPort::drain() { return fd_ >= 0 && ::tcdrain(fd_) == 0; }

}  // namespace tavrin::platform
