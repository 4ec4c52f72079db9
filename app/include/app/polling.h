// Choosing the bus address the program talks to: the polling worker, which
// scans a range of addresses for transmitters and lists those that answer
// with their identification, and the address setting. Neither changes a
// device's own address.
//
// The poller runs its scan on a thread of its own, guarded by a running
// flag that refuses a second start; while it runs it owns the links and
// the session's bus address, which it leaves at the last address polled.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/configuration.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::app {

class DeviceLinks;
class DeviceSession;

struct PollColumn {
  std::string_view title;
  int width;
};
// The result list's columns for a type; none for None.
std::span<const PollColumn> pollColumns(CommunicationType type);

// One transmitter that answered: the texts of the type's columns, the
// address first ("%d").
struct PolledDevice {
  int address = 0;
  std::vector<std::string> texts;
};

// START_ADDR/ADDRESS and END_ADDR/ADDRESS of com.ini, as typed.
struct PollRange {
  std::string start;
  std::string end;
};
PollRange readPollRange(const std::string& comIni);
// Both ends in one atomic rewrite.
bool storePollRange(const std::string& comIni, const PollRange& range);

// What the polling dialog shows while the worker runs; called on the
// worker's thread.
struct PollObserver {
  std::function<void(std::string_view)> status{};       // the status line
  std::function<void(int position, int range)> progress{};
  std::function<void(const PolledDevice&)> found{};     // a row was added
  std::function<void()> finished{};                     // the scan has ended: running() is false
};

class Poller {
 public:
  Poller(DeviceLinks& links, const ProgramFiles& files, ui::UserInterface& ui);
  // Stops a running scan and waits for it.
  ~Poller();
  Poller(const Poller&) = delete;
  Poller& operator=(const Poller&) = delete;

  void setObserver(PollObserver observer) { observer_ = std::move(observer); }

  // Poll: opens the link of the type, checks the range (decimal numbers, 0
  // to 255, start not above end), empties the list, stores the range texts
  // and starts the worker. False when refused (said) or already running.
  bool start(CommunicationType type, const PollRange& range);
  // Stop: the worker finishes the address in progress and ends.
  void stop() { stopRequested_ = true; }
  // Waits until the worker has ended.
  void wait();
  bool running() const { return running_; }

  std::vector<PolledDevice> devices() const;

  // OK on row `row` (counted from 0) of the list: stores the row's address
  // for the type and the range, and returns it; the caller then connects.
  // Nothing (said) while the scan runs, without a row, or for None.
  std::optional<int> choose(CommunicationType type, int row, const PollRange& range);

 private:
  void scan(CommunicationType type, int first, int last);
  std::optional<PolledDevice> probe(CommunicationType type, int address);

  DeviceLinks& links_;
  ProgramFiles files_;
  ui::UserInterface& ui_;
  PollObserver observer_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequested_{false};
  mutable std::mutex mutex_;
  std::vector<PolledDevice> devices_;
  std::thread worker_;
};

// The address setting dialog: the stored address of the type for both its
// fields; nothing with "Error: Communication type incorrect!" for None.
std::optional<std::string> storedAddressText(const ProgramFiles& files, CommunicationType type,
                                             ui::UserInterface& ui);
// Its OK: the trimmed text as an address, or nothing with "Error: The
// address can't be NULL!" (empty) or "Error: Address range is: 0 ~ 255!"
// (anything but a decimal number from 0 to 255).
std::optional<uint8_t> addressFromText(std::string_view text, ui::UserInterface& ui);
// The whole OK: the session talks to that address from now on, and com.ini
// keeps it for the current type. False when refused (said).
bool setAddress(DeviceSession& session, std::string_view text);

}  // namespace tavrin::app
