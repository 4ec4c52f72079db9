// The modal progress dialog of a long transfer: captioned
// "Please waiting... ...", the operation's text, the percentage and the
// bar, and Cancel, which asks the work to stop. It closes only when the
// work has ended, and then at once: the pause between hiding and closing
// that a dialog closed from its worker once needed serves no one here (a
// hidden modal dialog has already ended its event loop).
#pragma once

#include <QDialog>
#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tavrin::gui {

class ProgressDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kCaption = "Please waiting... ...";

  explicit ProgressDialog(const QString& text, QWidget* parent = nullptr);

  // Called on the GUI thread (the work's reports arrive queued).
  void setProgress(int percent, const QString& text);
  // The work has ended.
  void finish();
  // May be asked from any thread.
  bool cancelRequested() const { return cancel_; }

  QLabel* textLabel() const { return text_; }
  QLabel* percentLabel() const { return percent_; }
  QProgressBar* bar() const { return bar_; }
  QPushButton* cancelButton() const { return cancelButton_; }

 public slots:
  // Cancel, Escape and the window's close button: the work is asked to stop;
  // the dialog stays until it has.
  void reject() override;

 private:
  QLabel* text_;
  QLabel* percent_;
  QProgressBar* bar_;
  QPushButton* cancelButton_;
  std::atomic<bool> cancel_{false};
};

}  // namespace tavrin::gui
