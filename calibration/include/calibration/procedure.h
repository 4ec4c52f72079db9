// What the two batch procedures share: the 32 addresses with their
// identification texts and indicators, the search for transmitters, the
// operation log, the running flag with its worker thread, the live reading
// of the first transmitter during a collection, and closing.
//
// A procedure is the model of its dialog: one operation per button, and an
// Observer for everything the dialog shows. Front ends (the Qt dialogs, the
// command line) call the operations on one thread of their own, the
// caller's thread. Search and download run on a worker thread that the
// operation starts; the running flag is set on the caller's thread before
// the worker starts and cleared by the worker when it ends. While it is set,
// the worker owns the bus: every other operation that would touch the bus
// or the trim database is refused ("Error: The program is running, the
// operation isn't allowed!"), and so is closing. Collection runs on the
// caller's thread.
//
// The observer is called on the thread that made the change (a worker's
// changes on the worker's thread): a GUI queues the calls to its own thread
// and reads the state again with the state accessors, which are safe from
// any thread.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "calibration/transmitter_bus.h"
#include "calibration/trim_database.h"

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::calibration {

inline constexpr int kAddresses = 32;
// The live reading's refresh, and how long the collect dialog waits after
// OK or Cancel before it closes.
inline constexpr std::chrono::milliseconds kLiveInterval{300};
inline constexpr std::chrono::milliseconds kLiveClosingWait{350};

enum class Indicator { Error, Online, Vacant, Working, Success };
// "error", "online", "vacant", "working", "success".
std::string_view indicatorName(Indicator indicator);

struct Station {
  std::string identification;  // empty: no usable transmitter at the address
  Indicator indicator = Indicator::Online;
};
using Stations = std::array<Station, kAddresses>;

struct LogLine {
  int number = 0;  // from 1, the line's place in the log
  std::string text;
  bool error = false;  // drawn in the error colour
  // As the log list shows it: "<number>---<text>".
  std::string shown() const;
};

// The collect dialog of the first transmitter: the front end shows the
// fields of tick(), called at once and then every kLiveInterval, until the
// person confirms (OK) or cancels. The procedure takes what the last tick
// showed.
struct LiveField {
  std::string label;
  std::string value;  // empty when the read failed
  std::string unit;
};
struct LiveSample {
  bool ok = false;  // every value of this tick was read
  std::vector<LiveField> fields;
};
struct LiveDialog {
  std::string caption;
  int address = 0;
  std::vector<std::string> labels;
};
using LiveTick = std::function<LiveSample()>;
// True for OK, false for Cancel.
using LiveReader = std::function<bool(const LiveDialog&, const LiveTick&)>;

class Observer {
 public:
  virtual ~Observer() = default;
  virtual void stationChanged(int /*address*/, const Station&) {}
  virtual void logAdded(const LogLine&) {}
  virtual void runningChanged(bool) {}
  // Counts, enabled rows and buttons, reference texts, collected marks.
  virtual void controlsChanged() {}
};

// Which buttons (beyond search, always enabled) and lists can be used.
struct Buttons {
  bool countLists = false;
  bool download = false;
  bool resume = false;  // continue uncompleted calibration
  bool files = false;   // read and save the reference-point file
};

// Stores each transmitter's step of a collection while the next one is
// read, so that the disk's flush overlaps the bus. Each result is handed to
// its publish function in order, on the caller's thread: a transmitter's
// file is loaded only after the one before has been written, so that two
// transmitters that share a file never lose each other's keys.
class StepWriter {
 public:
  ~StepWriter() { finish(); }
  // Waits for the step in flight and publishes it.
  void finish();
  void start(TrimFile file, std::function<void(bool stored)> publish);

 private:
  std::future<bool> pending_;
  std::function<void(bool)> publish_;
};

class BatchProcedure {
 public:
  // Waits for a running worker; gives the remembered address back unless
  // close() did.
  virtual ~BatchProcedure();
  BatchProcedure(const BatchProcedure&) = delete;
  BatchProcedure& operator=(const BatchProcedure&) = delete;

  // Set before the first operation; the observer must outlive the worker.
  void setObserver(Observer* observer) { observer_ = observer; }
  // The collect dialog; the default shows it through the seam's monitoring
  // dialog.
  void setLiveReader(LiveReader reader) { liveReader_ = std::move(reader); }
  // How the collect dialog waits before it closes; tests record instead.
  void setPause(std::function<void(std::chrono::milliseconds)> pause) { pause_ = std::move(pause); }

  // Search online instruments: starts the worker. False when refused.
  bool search();
  // Closing the dialog: refused while running; otherwise the address in use
  // before the dialog opened is the current one again.
  bool close();
  // Until the worker has ended (front ends without an event loop, tests).
  void wait();
  bool running() const { return running_; }

  Stations stations() const;
  std::vector<LogLine> log() const;
  Buttons buttons() const;
  uint8_t rememberedAddress() const { return remembered_; }
  const TrimDatabase& database() const { return database_; }

 protected:
  struct SearchTexts {
    const char* found;     // with the address
    const char* notFound;  // with the address
  };
  BatchProcedure(TransmitterBus& bus, TrimDatabase database, ui::UserInterface& ui, SearchTexts texts);

  // Shows the running message and returns true while the worker runs.
  bool refusedWhileRunning();
  // An error box; false, for returning.
  bool refuse(const std::string& text);
  // Sets the running flag here and runs work on the worker thread.
  void startWorker(std::function<void()> work);
  // After the search, on the worker thread, under no lock.
  virtual void searched(bool anyFound) = 0;

  void setIndicator(int address, Indicator indicator);
  void addLog(std::string text, bool error = false);
  void controlsChanged();
  // The address with an identification text that comes first, or -1.
  int firstTransmitter() const;

  // The first transmitter's live reading; the closing wait follows it.
  bool liveReading(const LiveDialog& dialog, const LiveTick& tick);
  // A big-endian float of slot/index, or nothing when the read failed.
  std::optional<float> readFloat(uint8_t slot, uint8_t index);
  // Writes, stopping at the first failure, whose cause is kept.
  bool writeAll(std::span<const std::pair<uint8_t, std::vector<uint8_t>>> writes, std::string& cause);

  TransmitterBus& bus_;
  TrimDatabase database_;
  ui::UserInterface& ui_;
  mutable std::mutex mutex_;  // everything below that a worker touches
  Stations stations_;
  std::vector<LogLine> log_;
  Buttons buttons_;

 private:
  void runSearch();

  SearchTexts texts_;
  uint8_t remembered_;
  bool closed_ = false;
  Observer* observer_ = nullptr;
  LiveReader liveReader_;
  std::function<void(std::chrono::milliseconds)> pause_;
  std::atomic<bool> running_{false};
  std::thread worker_;
};

// printf with %d and %s only (numbers are formatted before, without the C
// locale), into a string of any length.
std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The report's column: the first 13 characters of the text, left-aligned
// and padded with blanks, then two blanks.
std::string reportColumn(std::string_view text);

// The bytes of the downloads, most significant first.
std::vector<uint8_t> floatBytes(std::span<const float> values);
std::vector<uint8_t> wordBytes(uint16_t value);
inline constexpr uint8_t kTrimSlot = 3;
inline constexpr uint8_t kAccessCodeIndex = 24;
inline constexpr uint8_t kTrimCommandIndex = 28;
inline const std::vector<uint8_t> kAccessCode{0x5A, 0x3C, 0x9E, 0x17};
// Strictly increasing or strictly decreasing (NaN is neither).
bool strictlyMonotonic(std::span<const float> values);

}  // namespace tavrin::calibration
