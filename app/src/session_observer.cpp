#include "app/session_observer.h"

#include <algorithm>

namespace tavrin::app {

void SessionNotices::add(SessionObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void SessionNotices::remove(SessionObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void SessionNotices::treeChanged() {
  if (held_) {
    tree_ = true;
    return;
  }
  each([](SessionObserver& o) { o.treeChanged(); });
}

void SessionNotices::tableChanged() {
  if (held_) {
    table_ = true;
    return;
  }
  each([](SessionObserver& o) { o.tableChanged(); });
}

void SessionNotices::rowsChanged(int first, int last) {
  if (first > last) return;
  if (held_) {
    if (first_ > last_) {
      first_ = first;
      last_ = last;
    } else {
      first_ = std::min(first_, first);
      last_ = std::max(last_, last);
    }
    return;
  }
  each([first, last](SessionObserver& o) { o.rowsChanged(first, last); });
}

void SessionNotices::commandStateChanged() {
  if (held_) {
    commands_ = true;
    return;
  }
  each([](SessionObserver& o) { o.commandStateChanged(); });
}

void SessionNotices::release() {
  if (held_ == 0 || --held_ > 0) return;
  const bool table = table_, tree = tree_, commands = commands_;
  const int first = first_, last = last_;
  table_ = tree_ = commands_ = false;
  first_ = 0;
  last_ = -1;
  // A refilled table covers every row that changed before.
  if (table)
    tableChanged();
  else if (first <= last)
    rowsChanged(first, last);
  if (tree) treeChanged();
  if (commands) commandStateChanged();
}

}  // namespace tavrin::app
