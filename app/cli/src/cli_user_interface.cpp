#include "cli_user_interface.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "app/session.h"

namespace tavrin::cli {
namespace {

ui::ConsoleOptions consoleOptions(const Answers& a, bool yes) {
  ui::ConsoleOptions o;
  o.interactive = a.interactive;
  o.assumeYes = yes;
  o.monitorInputFd = a.interactive ? STDIN_FILENO : -1;
  return o;
}

bool isDefaultDownloadQuestion(const ui::Message& m) {
  return m.buttons == ui::Buttons::YesNo &&
         (m.text == app::kDefaultDownloadWarning || m.text == app::kDefaultDownloadConfirmation);
}

// Keeps typed secrets off the screen while it lives.
class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

}  // namespace

CliUserInterface::CliUserInterface(std::istream& in, std::ostream& out, std::ostream& err, Answers answers)
    : ConsoleUserInterface(in, out, err, consoleOptions(answers, answers.yes)),
      answers_(std::move(answers)),
      cautious_(in, out, err, consoleOptions(answers_, false)),
      err_(err) {}

ui::Answer CliUserInterface::message(const ui::Message& m) {
  // Error boxes, not warnings that merely carry the error icon (the serial
  // settings' reset to the defaults).
  if (m.title == "Error") ++errors_;
  if (answers_.yes && !answers_.allowDefaultDownload && isDefaultDownloadQuestion(m)) return cautious_.message(m);
  return ConsoleUserInterface::message(m);
}

std::optional<std::string> CliUserInterface::prompt(const ui::Prompt& p) {
  if (p.kind == ui::PromptKind::Secret) {
    if (!answers_.passwords.empty()) {
      if (nextPassword_ >= answers_.passwords.size()) return std::nullopt;
      return answers_.passwords[nextPassword_++];
    }
    if (answers_.interactive && !answers_.yes) {
      EchoOff quiet;
      auto typed = ConsoleUserInterface::prompt(p);
      err_ << '\n';
      return typed;
    }
  }
  return ConsoleUserInterface::prompt(p);
}

void CliUserInterface::statusLine(std::string_view text) { err_ << text << std::endl; }

std::optional<int> CliUserInterface::choose(const ui::Choice& c) {
  const std::vector<std::string> userTypes(app::kUserTypeEntries.begin(), app::kUserTypeEntries.end());
  if (answers_.user && c.items == userTypes) {
    // Every connect asks again; the password answers start over with it.
    nextPassword_ = 0;
    return static_cast<int>(*answers_.user);
  }
  return ConsoleUserInterface::choose(c);
}

}  // namespace tavrin::cli
