// "Polling address" and "Address setting": which bus address the program
// talks to. Both are thin forms over the session's poller and address
// rules (app/polling.h) and stop the background refresh before they touch
// the bus.
//
// The polling dialog runs the poller's scan on its worker thread; the
// status line, the progress bar and each row arrive on the GUI thread as
// queued calls. While the scan runs only Stop can be pressed: Poll, OK and
// Cancel are disabled from the moment Poll started it (the poller's running
// flag is set on the GUI thread before its worker starts), closing is
// refused and a double-click says "Error: Polling, please wait!".
#pragma once

#include <QDialog>
#include <optional>

#include "app/polling.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tavrin::app {
class DeviceSession;
}
namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::gui {

inline constexpr const char* kPollingDialog = "pollingDialog";
inline constexpr const char* kAddressSettingDialog = "addressSettingDialog";
inline constexpr const char* kAddressHint =
    "The address setting function is to set the current communication address.If you don't know the "
    "address,please use the polling function.";

class PollingDialog : public QDialog {
  Q_OBJECT
 public:
  PollingDialog(app::DeviceSession& session, ui::UserInterface& ui, QWidget* parent = nullptr);
  // A scan still running is stopped and waited for.
  ~PollingDialog() override;

  // The address OK stored (the caller connects to it).
  std::optional<int> chosenAddress() const { return chosen_; }
  bool polling() const { return poller_.running(); }

  QLineEdit* startEdit() const { return start_; }
  QLineEdit* endEdit() const { return end_; }
  QTreeWidget* list() const { return list_; }
  QPushButton* pollButton() const { return poll_; }
  QPushButton* stopButton() const { return stop_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  QProgressBar* progressBar() const { return progress_; }
  QLabel* statusLine() const { return status_; }

 public slots:
  void reject() override;

 private:
  void pollClicked();
  void stopClicked();
  void okClicked();
  void setRunning(bool running);
  void scanEnded();
  app::PollRange range() const;

  app::DeviceSession& session_;
  ui::UserInterface& ui_;
  app::Poller poller_;
  std::optional<int> chosen_;
  QLineEdit* start_;
  QLineEdit* end_;
  QTreeWidget* list_;
  QPushButton* poll_;
  QPushButton* stop_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QProgressBar* progress_;
  QLabel* status_;
};

// Address setting; true when a new address was set (and stored).
bool addressSettingDialog(QWidget* parent, app::DeviceSession& session, ui::UserInterface& ui);

}  // namespace tavrin::gui
