// The user-interface seam in Qt: message boxes with the program's titles,
// icons and buttons, the file dialogs with the program's filters, the
// progress dialog with its work on a thread of its own, the wait cursor
// and the status text; the value dialogs and the countdown
// (value_dialogs.h), the user choice (user_dialogs.h); secret prompts and
// monitoring as plain dialogs (plain_dialogs.h).
//
// Any thread may call. A call from a worker is carried to the GUI thread:
// one that needs an answer waits for it (a blocking queued call), the wait
// cursor and status texts are only queued. The GUI thread never waits for a
// worker that waits for it: while a progress worker runs, the GUI thread
// sits in the progress dialog's event loop and answers.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <functional>

#include "ui/user_interface.h"

class QWidget;

namespace tavrin::gui {

// "Name (*.ext)|*.ext||" as Qt's name filters, "Name (*.ext)" each; several
// patterns of one entry ("*.a;*.b") are separated by blanks. A name without
// parentheses gets the patterns in them, each also in lower and upper case
// (the program's filters were written for a file system that ignores
// case); the same filter twice is listed once.
QStringList qtFileFilters(std::string_view filter);

class QtUserInterface : public QObject, public ui::UserInterface {
  Q_OBJECT
 public:
  explicit QtUserInterface(QObject* parent = nullptr);

  // The window that owns the dialogs (a dialog that is open owns the next).
  void setOwner(QWidget* owner) { owner_ = owner; }
  void setStatusSink(std::function<void(const QString&)> sink) { statusSink_ = std::move(sink); }

  ui::Answer message(const ui::Message& m) override;
  std::optional<std::string> prompt(const ui::Prompt& p) override;
  std::optional<int> choose(const ui::Choice& c) override;
  // "USER choice": both radio buttons and the password on one form.
  std::optional<ui::UserChoiceAnswer> chooseUser(const ui::UserChoice& c) override;
  std::optional<std::string> openFileName(const ui::FileDialog& d) override;
  std::optional<std::string> saveFileName(const ui::FileDialog& d) override;
  bool runProgress(const std::string& title, const ui::ProgressWork& work) override;
  bool countdown(const ui::Countdown& c, std::stop_token stop) override;
  std::optional<std::string> monitor(const ui::MonitorSpec& spec, const ui::MonitorTick& tick,
                                     std::stop_token stop) override;
  void waitCursor(bool busy) override;
  void statusText(std::string_view text) override;

  // The wait cursors shown now (nested).
  int waitCursorDepth() const { return waitDepth_; }

 private:
  QWidget* dialogParent() const;
  bool onGuiThread() const { return QThread::currentThread() == thread(); }
  // Runs f on the GUI thread and hands back its result.
  template <class F>
  auto answered(F f) -> decltype(f());
  std::optional<std::string> fileName(const ui::FileDialog& d, bool save);
  bool progressHere(const std::string& title, const ui::ProgressWork& work);

  QPointer<QWidget> owner_;
  std::function<void(const QString&)> statusSink_;
  int waitDepth_ = 0;
};

}  // namespace tavrin::gui
