#include "sim/pty_link.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/serial_port.h"

namespace tavrin::sim {
namespace {

// Bytes left in the scanner are dropped after this much quiet on the line
// (or three and a half characters, if longer): long enough that a master
// that writes a frame in pieces on a busy machine is not cut short.
constexpr auto kQuietLine = std::chrono::milliseconds(100);

// Before a hang-up the bytes sent ahead of it get this long at least to
// reach the master's input queue, and at most this long to be read.
constexpr auto kHangupSettle = std::chrono::milliseconds(20);
constexpr auto kHangupLimit = std::chrono::milliseconds(500);
constexpr auto kHangupCheck = std::chrono::milliseconds(5);

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string readLink(const std::string& path) {
  char buffer[4096];
  ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
  return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

}  // namespace

int bitsPerCharacter(unsigned cflag) {
  int data = 8;
  switch (cflag & CSIZE) {
    case CS5: data = 5; break;
    case CS6: data = 6; break;
    case CS7: data = 7; break;
    default: break;
  }
  int parity = (cflag & (PARENB | PARODD)) != 0 ? 1 : 0;
  int stop = (cflag & CSTOPB) != 0 ? 2 : 1;
  return 1 + data + parity + stop;
}

PtyLink::PtyLink(LinkOptions options) : options_(std::move(options)) {}

PtyLink::~PtyLink() { close(); }

bool PtyLink::createTerminal(int* master, int* slave, std::string* name, std::string* error) {
  termios raw{};
  ::cfmakeraw(&raw);
  ::cfsetspeed(&raw, B9600);
  char path[256] = {};
  if (::openpty(master, slave, path, &raw, nullptr) != 0) {
    *error = errnoText("cannot create a pseudo-terminal");
    return false;
  }
  ::fcntl(*master, F_SETFD, FD_CLOEXEC);
  ::fcntl(*slave, F_SETFD, FD_CLOEXEC);
  ::fcntl(*master, F_SETFL, ::fcntl(*master, F_GETFL) | O_NONBLOCK);
  *name = path;
  return true;
}

// The link is made under a temporary name and renamed over the path, so
// the path never names nothing while a terminal is replaced.
bool PtyLink::pointLinkAt(const std::string& target, std::string* error) {
  const std::string& path = options_.path;
  std::error_code ec;
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    *error = path + " exists and is not a symbolic link";
    return false;
  }
  std::string temporary = path + ".sim-" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) {
    *error = errnoText("cannot create the link " + temporary);
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = errnoText("cannot create the link " + path);
    ::unlink(temporary.c_str());
    return false;
  }
  linked_ = true;
  return true;
}

bool PtyLink::open(std::string* error) {
  if (!options_.tracePath.empty()) {
    trace_ = std::fopen(options_.tracePath.c_str(), "w");
    if (!trace_) {
      *error = errnoText("cannot write the trace " + options_.tracePath);
      return false;
    }
  }
  if (!createTerminal(&master_, &slave_, &terminal_, error)) return false;
  start_ = Clock::now();
  lineFree_ = start_;
  return pointLinkAt(terminal_, error);
}

void PtyLink::close() {
  if (linked_ && readLink(options_.path) == terminal_) ::unlink(options_.path.c_str());
  linked_ = false;
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  if (trace_) std::fclose(trace_);
  trace_ = nullptr;
}

void PtyLink::record(std::string_view what, ByteView bytes) {
  if (!trace_) return;
  std::fprintf(trace_, "%.6f %.*s", seconds(Clock::now()), static_cast<int>(what.size()), what.data());
  for (uint8_t b : bytes) std::fprintf(trace_, " %02X", b);
  std::fputc('\n', trace_);
  std::fflush(trace_);
}

double PtyLink::characterSeconds() const {
  termios t{};
  if (master_ < 0 || ::tcgetattr(master_, &t) != 0) return 0;
  auto baud = platform::baudOfSpeed(::cfgetospeed(&t));
  if (!baud) return 0;
  int bits = options_.bitsPerCharacter > 0 ? options_.bitsPerCharacter : bitsPerCharacter(t.c_cflag);
  return static_cast<double>(bits) / *baud;
}

PtyLink::Clock::duration PtyLink::characterTime() const {
  if (!options_.pace) return Clock::duration::zero();
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(characterSeconds()));
}

void PtyLink::schedule(const Transmission& t, Clock::time_point now) {
  Clock::duration character = characterTime();
  Clock::time_point at = now;
  if (character > Clock::duration::zero())
    at += character * static_cast<long>(t.requestLength) + character * 7 / 2;
  at = std::max(at, lineFree_);
  // A byte is there once its last bit is: the first one a character time
  // after the reply begins.
  for (size_t i = 0; i < t.segments.size(); ++i) {
    const Segment& s = t.segments[i];
    at += std::chrono::milliseconds(s.pauseMs);
    queue_.push_back({at + character, s.bytes, 0, t.hangup && i + 1 == t.segments.size(), false});
    at += character * static_cast<long>(s.bytes.size());
  }
  lineFree_ = at;
}

bool PtyLink::pump(Clock::time_point now, bool* blocked) {
  Clock::duration character = characterTime();
  while (!queue_.empty()) {
    Pending& p = queue_.front();
    if (now < p.due) return true;
    size_t due = p.bytes.size();
    if (character > Clock::duration::zero())
      due = std::min<size_t>(due, static_cast<size_t>((now - p.due) / character) + 1);
    if (!p.traced) {
      record("reply", p.bytes);
      p.traced = true;
    }
    while (p.sent < due) {
      ssize_t n = ::write(master_, p.bytes.data() + p.sent, due - p.sent);
      if (n > 0) {
        p.sent += static_cast<size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && errno == EAGAIN) {
        // Nobody reads the port: a line without a listener loses what is
        // sent on it, so old unread replies go instead of blocking new ones.
        ::tcflush(slave_, TCIFLUSH);
        *blocked = true;
        return true;
      } else {
        return false;
      }
    }
    if (p.sent < p.bytes.size()) return true;
    bool hangup = p.hangupAfter;
    queue_.pop_front();
    if (hangup) {
      hangupFrom_ = now;
      return true;
    }
  }
  return true;
}

bool PtyLink::hangUpDue(Clock::time_point now) const {
  if (!hangupFrom_ || now < *hangupFrom_ + kHangupSettle) return false;
  int unread = 0;
  bool read = ::ioctl(slave_, FIONREAD, &unread) == 0 && unread == 0;
  return read || now >= *hangupFrom_ + kHangupLimit;
}

void PtyLink::hangUp(Simulator& simulator) {
  record("hangup", {});
  int master = -1, slave = -1;
  std::string name, error;
  // The new terminal is in place before the old one goes, as when an
  // adapter is unplugged and plugged in again.
  if (createTerminal(&master, &slave, &name, &error)) {
    std::string previous = terminal_;
    terminal_ = name;
    if (!pointLinkAt(name, &error)) terminal_ = previous;
  }
  if (master >= 0 && terminal_ == name) {
    ::close(master_);
    ::close(slave_);
    master_ = master;
    slave_ = slave;
  } else if (master >= 0) {
    ::close(master);
    ::close(slave);
  }
  queue_.clear();
  hangupFrom_.reset();
  lineFree_ = Clock::now();
  simulator.resetLine();
}

bool PtyLink::run(Simulator& simulator, platform::EventSignal& stop, std::string* error) {
  uint8_t buffer[4096];
  while (true) {
    Clock::time_point now = Clock::now();
    bool blocked = false;
    if (hangUpDue(now) || (!hangupFrom_ && !pump(now, &blocked))) {
      hangUp(simulator);
      continue;
    }
    std::optional<Clock::time_point> wake;
    if (hangupFrom_) {
      wake = now + kHangupCheck;
    } else if (!queue_.empty() && !blocked) {
      const Pending& p = queue_.front();
      wake = p.due + characterTime() * static_cast<long>(p.sent);
    }
    Clock::duration quiet = std::max<Clock::duration>(kQuietLine, characterTime() * 7 / 2);
    if (simulator.pending()) {
      Clock::time_point silenceAt = lastInput_ + quiet;
      wake = wake ? std::min(*wake, silenceAt) : silenceAt;
    }
    // Paced bytes at high rates are due well within a millisecond.
    timespec timeout{};
    if (wake) {
      auto left = std::clamp<Clock::duration>(*wake - now, Clock::duration::zero(), std::chrono::seconds(60));
      auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
      timeout.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0}, {stop.fd(), POLLIN, 0}};
    int n = ::ppoll(fds, 2, wake ? &timeout : nullptr, nullptr);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = errnoText("poll");
      return false;
    }
    if (fds[1].revents & POLLIN) return true;
    now = Clock::now();
    if (fds[0].revents & POLLIN) {
      ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got > 0) {
        lastInput_ = now;
        for (const Transmission& t : simulator.receive(ByteView(buffer, static_cast<size_t>(got)), seconds(now)))
          schedule(t, now);
      } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
        hangUp(simulator);
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      hangUp(simulator);  // cannot happen while our own slave is open; never spin on it
    }
    if (simulator.pending() && now >= lastInput_ + quiet) simulator.silence();
  }
}

}  // namespace tavrin::sim
