#include <poll.h>

#include <cerrno>

#include "serial_line.h"

namespace tavrin::ostrelle {
namespace {

// A write that the device cannot take within this time has failed: on a real
// port the driver queue takes a whole request at once.
constexpr int kWriteTimeoutMs = 1000;

class TermiosLine final : public SerialLine {
 public:
  bool open(const std::string& path) override { return port_.open(path, true); }
  bool configure(const platform::LineSettings& settings) override { return port_.configure(settings); }
  void close() override { port_.close(); }
  bool isOpen() const override { return port_.isOpen(); }

  bool kernelDrivesDirection() const override { return port_.kernelRs485Enabled(); }
  void setRts(bool on) override { port_.setRts(on); }
  void setDtr(bool on) override { port_.setDtr(on); }

  void purge() override {
    port_.discardInput();
    port_.discardOutput();
  }

  size_t write(std::span<const uint8_t> bytes) override {
    platform::IoResult r = port_.write(bytes, kWriteTimeoutMs);
    return r.count;
  }

  Wait waitReadable(const platform::EventSignal& stop) override {
    pollfd fds[2] = {{port_.fd(), POLLIN, 0}, {stop.fd(), POLLIN, 0}};
    for (;;) {
      int n = ::poll(fds, 2, -1);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Wait::Vanished;
      }
      if ((fds[1].revents & POLLIN) != 0) return Wait::Stopped;
      if ((fds[0].revents & POLLIN) != 0) return Wait::Readable;
      if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return Wait::Vanished;
    }
  }

  Read readQueued(std::span<uint8_t> buffer) override {
    platform::IoResult r = port_.read(buffer, 0);
    return {r.count, r.status == platform::IoStatus::Closed || r.status == platform::IoStatus::Error};
  }

 private:
  platform::SerialPort port_;
};

}  // namespace

std::unique_ptr<SerialLine> makeTermiosLine() { return std::make_unique<TermiosLine>(); }

}  // namespace tavrin::ostrelle
