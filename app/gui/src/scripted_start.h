// A start of the window that runs by itself (tavrin --screenshots DIR): it
// connects, reads, visits the views and the bus monitor, saves a picture
// of each into DIR and closes the window. The demo uses it where there is
// no display to show the window on, and the package's test to see that
// the installed program works against a simulator.
//
// Every dialog that comes up on the way is pictured too and answered as a
// person taking its proposal would: a choice takes its first entry (the
// user choice: specialist), a message box its default button. An error
// or warning box counts as a failure: its text goes to standard error and
// the program ends with status 1, as it does when a dialog refuses its
// answer or the whole start takes longer than kLimitMs (a hang). Nothing
// here is needed by the window itself; it only drives the window's public
// commands.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace tavrin::gui {

class MainWindow;

class ScriptedStart : public QObject {
 public:
  // A dialog still open this long after its answer refused it (it is
  // cancelled); the whole start ends by then at the latest (status 1).
  static constexpr int kRefusedMs = 1000;
  static constexpr int kLimitMs = 180000;

  // The pictures go into `folder` (created when missing).
  ScriptedStart(MainWindow& window, QString folder);
  ~ScriptedStart() override;

  // Runs the whole script once the event loop runs, then closes the
  // window; the application's exit status is exitStatus().
  void start();
  int exitStatus() const { return failures_.isEmpty() ? 0 : 1; }

  // The pictures saved (file names) and the failures met, in order.
  const QStringList& pictures() const { return pictures_; }
  const QStringList& failures() const { return failures_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void run();
  void answer(QDialog& dialog);
  // Lets the window paint and the panes take their queued data.
  static void settle(int milliseconds);
  void picture(QWidget& widget, const QString& name);
  void fail(const QString& what);

  MainWindow& window_;
  QString folder_;
  QStringList pictures_;
  QStringList failures_;
  int dialogCount_ = 0;
};

}  // namespace tavrin::gui
