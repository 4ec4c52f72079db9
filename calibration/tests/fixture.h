// What the procedure tests share: a database folder, the bus over simulated
// transmitters, the scripted seam, a scripted collect dialog, an observer
// that records, and a count of the files replaced in the database folder.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "calibration/procedure.h"
#include "sim_bus.h"
#include "testing/temp_dir.h"
#include "ui/fake_user_interface.h"

namespace tavrin::calibration::testing {

using Lines = std::vector<std::string>;

class RecordingObserver : public Observer {
 public:
  void stationChanged(int address, const Station& s) override {
    std::lock_guard lock(mutex);
    stations.push_back(std::to_string(address) + " " + std::string(indicatorName(s.indicator)));
  }
  void logAdded(const LogLine& line) override {
    std::lock_guard lock(mutex);
    log.push_back(line.shown());
  }
  void runningChanged(bool running) override {
    std::lock_guard lock(mutex);
    this->running.push_back({running, std::this_thread::get_id()});
  }
  void controlsChanged() override {
    std::lock_guard lock(mutex);
    ++controls;
  }
  std::mutex mutex;
  Lines stations;
  Lines log;
  std::vector<std::pair<bool, std::thread::id>> running;
  int controls = 0;
};

// The collect dialog as a script: `ticks` readings, then OK or Cancel.
struct ScriptedLiveReader {
  int ticks = 1;
  bool ok = true;
  std::vector<LiveDialog> dialogs;
  std::vector<LiveSample> samples;
  LiveReader reader() {
    return [this](const LiveDialog& d, const LiveTick& tick) {
      dialogs.push_back(d);
      for (int i = 0; i < ticks; ++i) samples.push_back(tick());
      return ok;
    };
  }
};

// Counts the files renamed into a folder: one per atomic rewrite.
class RewriteCounter {
 public:
  explicit RewriteCounter(const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
  }
  ~RewriteCounter() {
    if (fd_ >= 0) ::close(fd_);
  }
  // The names renamed into the folder since the last call.
  Lines take() {
    Lines names;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        if (e->len > 0) names.emplace_back(e->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    return names;
  }

 private:
  int fd_;
};

// The value as the procedure stores it: the float a transmitter sends,
// written with six decimals.
inline std::string stored(double value) { return formatFixed(static_cast<float>(value)); }

inline std::vector<float> floatsOf(const std::vector<uint8_t>& bytes) {
  std::vector<float> out;
  for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    const uint32_t bits = (uint32_t{bytes[i]} << 24) | (uint32_t{bytes[i + 1]} << 16) | (uint32_t{bytes[i + 2]} << 8) |
                          bytes[i + 3];
    float f = 0;
    std::memcpy(&f, &bits, 4);
    out.push_back(f);
  }
  return out;
}

// "slot index" of each write to the address.
inline Lines writtenIndexes(const std::vector<Request>& writes, int address) {
  Lines out;
  for (const Request& r : writes)
    if (r.address == address) out.push_back(std::to_string(r.slot) + " " + std::to_string(r.index));
  return out;
}

inline const Request* lastWrite(const std::vector<Request>& writes, int address, int index) {
  const Request* found = nullptr;
  for (const Request& r : writes)
    if (r.address == address && r.slot == 3 && r.index == index) found = &r;
  return found;
}

}  // namespace tavrin::calibration::testing
