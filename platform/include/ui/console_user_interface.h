// The seam on a console, for the command-line front end.
//
// Message boxes print as "Title: text" on the error stream (a text that
// begins with "Title:" already is printed as it is). Without a person
// at the console (interactive false) questions answer No, OK/Cancel boxes
// Cancel, and prompts, choices and file dialogs are cancelled. assumeYes
// answers Yes and OK, takes the first list entry and keeps a prompt's
// initial text (its current value when it has none); a prompt asked again
// right after an error box refused that answer is cancelled instead of being
// given the same answer for ever. Monitoring prints a
// reading every 300 ms until Enter (OK with the last value), the end of the
// input or a stop request (both cancel). Countdowns always run (they are delays, not questions).
#pragma once

#include <istream>
#include <mutex>
#include <ostream>

#include "ui/user_interface.h"

namespace tavrin::ui {

struct ConsoleOptions {
  bool interactive = false;
  bool assumeYes = false;
  // Descriptor to poll for "Enter ends the monitoring"; -1 when the input
  // stream has none, then monitoring shows one reading and cancels.
  int monitorInputFd = -1;
};

class ConsoleUserInterface : public UserInterface {
 public:
  ConsoleUserInterface(std::istream& in, std::ostream& out, std::ostream& err, ConsoleOptions options);

  Answer message(const Message& m) override;
  std::optional<std::string> prompt(const Prompt& p) override;
  std::optional<int> choose(const Choice& c) override;
  std::optional<std::string> openFileName(const FileDialog& d) override;
  std::optional<std::string> saveFileName(const FileDialog& d) override;
  bool runProgress(const std::string& title, const ProgressWork& work) override;
  bool countdown(const Countdown& c, std::stop_token stop) override;
  std::optional<std::string> monitor(const MonitorSpec& spec, const MonitorTick& tick, std::stop_token stop) override;
  void waitCursor(bool busy) override;
  void statusText(std::string_view text) override;

  std::string lastStatus() const;

 private:
  std::optional<std::string> readLine();
  std::optional<std::string> fileName(const char* what, const FileDialog& d);

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  ConsoleOptions options_;
  mutable std::recursive_mutex mutex_;
  std::string status_;
  // The last prompt that assumeYes answered, and whether an error box has
  // been shown since: the value dialogs ask again after refusing an entry.
  std::string assumedPrompt_;
  bool refusedSinceAssumed_ = false;
};

}  // namespace tavrin::ui
