// The status bar's Caps Lock, Num Lock and Scroll Lock indicators. Qt does
// not tell the lock keys' state; the X server does (its keyboard LEDs), so
// on X11 the three panes show "CAP", "NUM" and "SCRL" while the lock is on,
// read again after every key and whenever the program becomes active.
// Elsewhere (Wayland, offscreen) they are hidden rather than wrong.
#pragma once

#include <QObject>
#include <array>
#include <optional>

class QLabel;
class QStatusBar;

namespace tavrin::gui {

struct LockState {
  bool caps = false, num = false, scroll = false;
};

// The state from the windowing system, nothing where it does not tell.
std::optional<LockState> queryLockState();

class LockIndicators : public QObject {
  Q_OBJECT
 public:
  // Adds the three panes to the status bar.
  explicit LockIndicators(QStatusBar* bar);
  void refresh();
  bool available() const { return available_; }
  const std::array<QLabel*, 3>& panes() const { return panes_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::array<QLabel*, 3> panes_{};
  bool available_ = false;
};

}  // namespace tavrin::gui
