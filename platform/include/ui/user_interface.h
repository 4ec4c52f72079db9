// The user-interface seam.
//
// The core shows error boxes, asks Yes/No questions and opens value,
// progress and monitoring dialogs from deep inside the model and the method
// engine. All of that goes through this interface: the Qt program implements
// it with real dialogs, the command-line front end on the console, the tests
// with a scripted fake. No core code talks to a screen or a terminal itself.
//
// Every primitive may be called from any thread; a call from a worker waits
// until the person answers. Implementations without a person to ask answer
// questions No and prompts Cancel, and never block.
//
// The rules of the value dialogs (an empty entry, a missing selection, the
// range check and their messages) live in the core, not here: a prompt only
// hands back what was entered, so every front end behaves the same.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::ui {

enum class Icon { None, Error, Warning, Information, Question };
enum class Buttons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };

struct Message {
  std::string title;
  std::string text;
  Icon icon = Icon::None;
  Buttons buttons = Buttons::Ok;
};

// Text entry of the value dialogs. Number and PackedString are text entries
// too; the kind lets a front end pick a fitting widget. Secret is a text
// whose characters are not shown (passwords).
enum class PromptKind { Text, Number, PackedString, Secret };
struct Prompt {
  PromptKind kind = PromptKind::Text;
  std::string title;    // the variable's label
  std::string prompt;   // the method's prompt text
  std::string current;  // the current value text
  std::string unit;     // unit text, may be empty
  std::string initial;  // what the entry field starts with
};

// A list to choose one entry from. The answer is the chosen index, or -1
// when the person confirmed without a selection.
struct Choice {
  std::string title;
  std::string prompt;
  std::string current;
  std::vector<std::string> items;
  int preselected = 0;  // -1: nothing preselected
  // The enumeration input shows a drop-down list, the list selection a list.
  bool dropDown = false;
};

// The user choice at connect: one of the user types and a password, given
// together (the Qt dialog has both on one form). passwordNeeded says that
// the first type needs the stored password.
struct UserChoice {
  std::string title;
  std::vector<std::string> types;
  bool passwordNeeded = false;
};
struct UserChoiceAnswer {
  int type = -1;  // index into types, -1 for none checked
  std::string password;
};

// File dialogs take the filter in the program's "Name (*.ext)|*.ext||" form.
struct FileDialog {
  std::string title;
  std::string filter;
  std::string defaultExtension;
  std::string initialPath;
};

// The countdown dialog: text, then N seconds counted down once per second.
struct Countdown {
  std::string title;
  std::string text;
  int seconds = 0;
};

// The monitoring dialogs re-read one variable every 300 ms. The front end
// calls tick() with the current text of the bridge-resistance field (empty
// when the dialog has none) and shows what it returns.
struct MonitorSpec {
  std::string caption;
  std::string label;
  std::string unit;
  bool withResistance = false;  // the collect-value form
  std::string resistance;       // initial bridge-resistance field
};
struct MonitorReading {
  bool ok = false;  // false: the read failed, the value field is emptied
  std::string value;
  std::string unit;
  std::string voltage;  // collect-value form only
};
using MonitorTick = std::function<MonitorReading(const std::string& resistanceField)>;

// What a progress worker sees of its dialog.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void report(int percent, std::string_view text) = 0;
  virtual bool cancelRequested() const = 0;
};
using ProgressWork = std::function<void(Progress&)>;

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message box.
  virtual Answer message(const Message& m) = 0;
  // Text entry; nothing when cancelled.
  virtual std::optional<std::string> prompt(const Prompt& p) = 0;
  // List choice; nothing when cancelled, -1 for no selection.
  virtual std::optional<int> choose(const Choice& c) = 0;
  // The user type and the password in one answer; nothing when cancelled.
  // Unless a front end has a dialog of its own: the list of types, then the
  // password as a secret prompt when the first type needs it.
  virtual std::optional<UserChoiceAnswer> chooseUser(const UserChoice& c);
  virtual std::optional<std::string> openFileName(const FileDialog& d) = 0;
  virtual std::optional<std::string> saveFileName(const FileDialog& d) = 0;
  // Runs work on a worker thread while a modal progress dialog shows its
  // reports; returns when work has returned. False when the person asked to
  // cancel (work sees cancelRequested() and decides when to stop).
  virtual bool runProgress(const std::string& title, const ProgressWork& work) = 0;
  // True when the count ran out, false when cancelled or stopped.
  virtual bool countdown(const Countdown& c, std::stop_token stop) = 0;
  // Shows readings until OK (the value field's text) or Cancel / a stop
  // request (nothing).
  virtual std::optional<std::string> monitor(const MonitorSpec& spec, const MonitorTick& tick,
                                             std::stop_token stop) = 0;
  // Nested: every busy(true) is paired with a busy(false).
  virtual void waitCursor(bool busy) = 0;
  virtual void statusText(std::string_view text) = 0;

  // The shared forms of the program's messages.
  // "Error" box with the error icon.
  void errorBox(std::string_view text);
  // "WARNING" question, Yes/No with the warning icon; true on Yes.
  bool warningQuestion(std::string_view text);
  // Any titled question; true on Yes.
  bool question(std::string_view title, std::string_view text, Icon icon);
  // An OK box.
  void inform(std::string_view title, std::string_view text, Icon icon = Icon::Information);
};

// Shows the wait cursor for the lifetime of the object.
class WaitCursor {
 public:
  explicit WaitCursor(UserInterface& ui) : ui_(ui) { ui_.waitCursor(true); }
  ~WaitCursor() { ui_.waitCursor(false); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  UserInterface& ui_;
};

// Waits for the duration unless a stop is requested first; false then. For
// countdowns and the methods' pauses, which a stop request must end.
bool sleepUnlessStopped(std::chrono::milliseconds duration, std::stop_token stop);

// Runs work on a std::thread and waits for it, feeding reports to onReport
// (called on the worker thread). For front ends that have no event loop to
// keep alive while they wait. cancel() may be called from any thread.
class ThreadedProgress : public Progress {
 public:
  using ReportSink = std::function<void(int percent, std::string_view text)>;
  explicit ThreadedProgress(ReportSink onReport);
  void report(int percent, std::string_view text) override;
  bool cancelRequested() const override;
  void cancel();
  // Returns false when cancelled.
  bool run(const ProgressWork& work);

 private:
  ReportSink onReport_;
  std::stop_source cancel_;
};

}  // namespace tavrin::ui
