// What a front end hears of the device session's changes, so that no view
// has to poll it: the tree rebuilt (or its selection moved), the table
// refilled, the cells of some rows changed, the command states changed.
//
// Notices arrive on the thread that changed the session, after the change.
// While a command runs they are held and given once when it ends (a connect
// rebuilds the tree and the table several times; a view hears of it once),
// so a front end never draws a half-built table. Outside a command (a
// refused edit putting the stored value back, say) they come at once.
//
// Status texts are not here: they go through the user-interface seam's
// statusText(), which workers use as well.
#pragma once

#include <vector>

namespace tavrin::app {

class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  // The tree's items, their expansion or the selected item changed.
  virtual void treeChanged() {}
  // The table was filled again: any row may differ, the count too.
  virtual void tableChanged() {}
  // Cells of table rows first to last (counted from 1, as the table's rows)
  // changed; the row count did not.
  virtual void rowsChanged(int first, int last) {
    (void)first;
    (void)last;
  }
  // commandEnabled() or commandChecked() may answer differently now.
  virtual void commandStateChanged() {}
};

// The observers of one session and the notices held while a command runs.
class SessionNotices {
 public:
  void add(SessionObserver* observer);
  void remove(SessionObserver* observer);

  void treeChanged();
  void tableChanged();
  void rowsChanged(int first, int last);
  void commandStateChanged();

  // Holds notices until the matching release(); the outermost release gives
  // what was held, the table before the tree (a tree selection reads rows).
  void hold() { ++held_; }
  void release();

 private:
  template <class F>
  void each(F f) {
    // A copy: an observer may go away in its own notice.
    const std::vector<SessionObserver*> list = observers_;
    for (SessionObserver* o : list) f(*o);
  }

  std::vector<SessionObserver*> observers_;
  int held_ = 0;
  bool tree_ = false;
  bool table_ = false;
  bool commands_ = false;
  int first_ = 0;
  int last_ = -1;
};

// Holds a session's notices for its lifetime.
class HeldNotices {
 public:
  explicit HeldNotices(SessionNotices& notices) : notices_(notices) { notices_.hold(); }
  ~HeldNotices() { notices_.release(); }
  HeldNotices(const HeldNotices&) = delete;
  HeldNotices& operator=(const HeldNotices&) = delete;

 private:
  SessionNotices& notices_;
};

}  // namespace tavrin::app
