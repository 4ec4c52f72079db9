#include "app/background_refresh.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "app/menu_view.h"
#include "edd/tags.h"
#include "model/session.h"
#include "model/variables.h"

namespace tavrin::app {

using edd::Tag;

RefreshPlan refreshPlan(model::Session& model, const std::vector<Row>& rows, const Table& table) {
  RefreshPlan plan;
  model::Variables& vars = model.variables();
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    if (row.kind != RowKind::Item || !row.node || row.node->tag != +Tag::Variable) continue;
    const int32_t id = objectIdOf(row.node);
    RefreshPlan::Shown shown{static_cast<int>(i) + 1, id, {}, {}};
    if (i < table.rows.size()) {
      shown.value = table.rows[i].cells[1].text;
      shown.unit = table.rows[i].cells[2].text;
    }
    plan.shown.push_back(std::move(shown));
    if ((vars.classFlags(row.node) & model::kClassDynamic) && vars.handling(row.node) == 1) plan.reads.push_back(id);
  }
  return plan;
}

ui::Answer RefreshSeam::message(const ui::Message& m) {
  if (std::this_thread::get_id() != worker_.load()) return ui_.message(m);
  {
    std::lock_guard lock(mutex_);
    kept_.push_back(m.text);
  }
  switch (m.buttons) {
    case ui::Buttons::Ok: return ui::Answer::Ok;
    case ui::Buttons::OkCancel: return ui::Answer::Cancel;
    case ui::Buttons::YesNo: return ui::Answer::No;
  }
  return ui::Answer::Ok;
}

std::vector<std::string> RefreshSeam::takeKept() {
  std::lock_guard lock(mutex_);
  return std::exchange(kept_, {});
}

BackgroundRefresh::BackgroundRefresh(RefreshSeam& seam, Reader read, Formatter format)
    : seam_(seam), read_(std::move(read)), format_(std::move(format)) {}

BackgroundRefresh::~BackgroundRefresh() {
  wait_ = nullptr;
  stop();
}

void BackgroundRefresh::start(RefreshPlan plan) {
  stop();
  if (running_ || worker_.joinable()) return;
  running_ = true;
  active_ = true;
  failed_ = false;
  worker_ = std::thread([this, plan = std::move(plan)]() mutable { work(std::move(plan)); });
}

void BackgroundRefresh::stop() {
  // A stop from the worker itself (a pre-read action that reopens the
  // port, say) cannot wait for its own end: it ends the loop instead.
  if (std::this_thread::get_id() == workerId_.load()) {
    running_ = false;
    return;
  }
  if (running_.exchange(false) || active_) {
    const auto done = [this] { return !active_.load(); };
    if (wait_) {
      wait_(done);
    } else {
      while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // The worker has left its loop; what remains of it is its return.
  if (worker_.joinable()) worker_.join();
  // Changes were meant for the table as it was; a failure is still to be
  // told.
  std::lock_guard lock(mutex_);
  pending_.changes.clear();
  if (pending_.failure.empty()) notified_ = false;
}

BackgroundRefresh::Taken BackgroundRefresh::takeChanges() {
  std::lock_guard lock(mutex_);
  notified_ = false;
  return std::exchange(pending_, {});
}

void BackgroundRefresh::queue(std::vector<CellChange> changes, std::vector<std::string> failure) {
  bool notify = false;
  {
    std::lock_guard lock(mutex_);
    // A row changed twice before it was taken shows its newest texts.
    for (CellChange& c : changes) {
      auto it = std::find_if(pending_.changes.begin(), pending_.changes.end(),
                             [&](const CellChange& p) { return p.row == c.row; });
      if (it != pending_.changes.end())
        *it = std::move(c);
      else
        pending_.changes.push_back(std::move(c));
    }
    for (std::string& f : failure) pending_.failure.push_back(std::move(f));
    if (!notified_ && (!pending_.changes.empty() || !pending_.failure.empty())) notify = notified_ = true;
  }
  if (notify && notify_) notify_();
}

void BackgroundRefresh::work(RefreshPlan plan) {
  // Set by the worker itself: the thread object may not hold it yet.
  workerId_ = std::this_thread::get_id();
  seam_.keepMessagesOf(std::this_thread::get_id());
  std::vector<std::string> failure;
  while (running_ && !plan.reads.empty() && failure.empty()) {
    for (const int32_t id : plan.reads) {
      if (!running_) break;
      const bool ok = read_(id);
      ++reads_;
      if (!ok) {
        failure = seam_.takeKept();
        if (failure.empty()) failure.push_back("Error: The background refresh could not read the device!");
        break;
      }
      // A read may bring several variables (a command's whole reply), so
      // every row is looked at again.
      std::vector<CellChange> changes;
      for (RefreshPlan::Shown& shown : plan.shown) {
        auto [value, unit] = format_(shown.id);
        if (value == shown.value && unit == shown.unit) continue;
        shown.value = value;
        shown.unit = unit;
        changes.push_back({shown.row, std::move(value), std::move(unit)});
      }
      // Messages of a read that succeeded (a pre-read action's) are not
      // the refresh's to show.
      seam_.takeKept();
      if (!changes.empty()) queue(std::move(changes), {});
    }
  }
  seam_.keepMessagesOf({});
  workerId_ = std::thread::id{};
  running_ = false;
  failed_ = !failure.empty();
  active_ = false;
  // After the flag: whoever takes the failure finds the worker ended (a stop
  // joins the thread, so it never outlives this).
  if (!failure.empty())
    queue({}, std::move(failure));
  else if (notify_)
    notify_();  // whoever waits for changes learns that none will come
}

}  // namespace tavrin::app
