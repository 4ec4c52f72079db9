// The background refresh of the function view: a worker thread that reads
// the dynamic read-only variables of the table over and over and hands the
// value and unit texts that changed to the front end as cell changes.
//
// The worker never touches the table and never waits for the front end:
// after each read it queues the rows whose texts differ from what the
// table shows and calls the notifier (on the worker thread); the owning
// thread takes them with takeChanges() and puts them into the table. The
// running and active flags are atomic, so the owning thread may poll them
// while the worker writes them.
//
// A failed read ends the refresh: its messages (the link's and the
// transfer's) are not shown from the worker but kept, and the owning
// thread shows them as one box when it takes the changes. The next start
// begins again.
//
// Stopping never kills the worker: it checks the running flag before every
// read, so a stop waits at most for the read in flight, through the wait
// function the front end gives (one that keeps its user interface alive).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/table.h"
#include "ui/user_interface.h"

namespace tavrin::model {
class Session;
}

namespace tavrin::app {

// One row's new texts, as the refresh found them.
struct CellChange {
  int row = 0;  // counted from 1, as the table's rows
  std::string value;
  std::string unit;
};

// What a refresh pass works on: the variables to read, in row order, and
// every variable row of the table with the texts it shows now.
struct RefreshPlan {
  struct Shown {
    int row = 0;
    int32_t id = 0;
    std::string value;
    std::string unit;
  };
  std::vector<int32_t> reads;
  std::vector<Shown> shown;
};

// The refresh list of a table: variable item rows whose class has the
// dynamic bit and whose handling is reading only, in row order; and the
// variable rows whose texts the worker keeps current.
RefreshPlan refreshPlan(model::Session& model, const std::vector<Row>& rows, const Table& table);

// The seam as the model and the links see it: on the refresh worker's
// thread messages are kept instead of shown (and answered as if declined);
// every other call, and every call from another thread, goes through.
class RefreshSeam : public ui::UserInterface {
 public:
  explicit RefreshSeam(ui::UserInterface& ui) : ui_(ui) {}

  // The thread whose messages are kept, or none.
  void keepMessagesOf(std::thread::id worker) { worker_ = worker; }
  // The texts kept since the last call, emptied.
  std::vector<std::string> takeKept();

  ui::Answer message(const ui::Message& m) override;
  std::optional<std::string> prompt(const ui::Prompt& p) override { return ui_.prompt(p); }
  std::optional<int> choose(const ui::Choice& c) override { return ui_.choose(c); }
  std::optional<std::string> openFileName(const ui::FileDialog& d) override { return ui_.openFileName(d); }
  std::optional<std::string> saveFileName(const ui::FileDialog& d) override { return ui_.saveFileName(d); }
  bool runProgress(const std::string& title, const ui::ProgressWork& work) override {
    return ui_.runProgress(title, work);
  }
  bool countdown(const ui::Countdown& c, std::stop_token stop) override { return ui_.countdown(c, stop); }
  std::optional<std::string> monitor(const ui::MonitorSpec& spec, const ui::MonitorTick& tick,
                                     std::stop_token stop) override {
    return ui_.monitor(spec, tick, stop);
  }
  void waitCursor(bool busy) override { ui_.waitCursor(busy); }
  void statusText(std::string_view text) override { ui_.statusText(text); }

 private:
  ui::UserInterface& ui_;
  std::atomic<std::thread::id> worker_{};
  std::mutex mutex_;
  std::vector<std::string> kept_;
};

class BackgroundRefresh {
 public:
  // Reads one variable from the device: true on success.
  using Reader = std::function<bool(int32_t id)>;
  // The value and unit texts of a variable as the table would show them.
  using Formatter = std::function<std::pair<std::string, std::string>(int32_t id)>;
  // Waits until done() answers true, polling it every 50 ms or so; a front
  // end with an event loop keeps it running meanwhile.
  using Wait = std::function<void(const std::function<bool()>& done)>;

  BackgroundRefresh(RefreshSeam& seam, Reader read, Formatter format);
  // Stops the worker (without a front end's wait: a plain poll).
  ~BackgroundRefresh();
  BackgroundRefresh(const BackgroundRefresh&) = delete;
  BackgroundRefresh& operator=(const BackgroundRefresh&) = delete;

  void setWait(Wait wait) { wait_ = std::move(wait); }
  // Called on the worker thread when changes (or the end after a failed
  // read) wait to be taken, once until they are taken; and when the worker
  // ends by itself.
  void setNotifier(std::function<void()> notify) { notify_ = std::move(notify); }

  // Stops a refresh that runs, then starts the worker on plan.
  void start(RefreshPlan plan);
  // Clears the running flag and waits until the worker has left its loop;
  // the changes it left untaken are dropped (the table they were meant for
  // may be rebuilt next).
  void stop();

  struct Taken {
    std::vector<CellChange> changes;
    // The messages of the read that ended the refresh, if one failed.
    std::vector<std::string> failure;
  };
  Taken takeChanges();

  // 1 while the refresh is wanted.
  bool running() const { return running_.load(); }
  // 1 from the start of the worker until it has left its loop.
  bool active() const { return active_.load(); }
  // Whether the last refresh ended at a failed read.
  bool failed() const { return failed_.load(); }
  // Reads done since the refresh was made (successful or not).
  uint64_t reads() const { return reads_.load(); }

 private:
  void work(RefreshPlan plan);
  void queue(std::vector<CellChange> changes, std::vector<std::string> failure);

  RefreshSeam& seam_;
  Reader read_;
  Formatter format_;
  Wait wait_;
  std::function<void()> notify_;
  std::atomic<bool> running_{false};
  std::atomic<bool> active_{false};
  std::atomic<bool> failed_{false};
  std::atomic<uint64_t> reads_{0};
  std::thread worker_;
  std::atomic<std::thread::id> workerId_{};
  std::mutex mutex_;
  Taken pending_;
  bool notified_ = false;
};

}  // namespace tavrin::app
