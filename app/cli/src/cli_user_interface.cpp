#include "cli_user_interface.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "app/links.h"
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

bool isResendQuestion(const ui::Message& m) {
  return m.buttons == ui::Buttons::YesNo && m.text == app::kResendQuestion;
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
      in_(in),
      cautious_(in, out, err, consoleOptions(answers_, false)),
      err_(err) {}

ui::Answer CliUserInterface::message(const ui::Message& m) {
  // Error boxes, not warnings that merely carry the error icon (the serial
  // settings' reset to the defaults), nor questions titled "Error": a
  // resend that is answered is a success.
  if (m.title == "Error" && m.buttons == ui::Buttons::Ok) ++errors_;
  if (isResendQuestion(m)) return resendQuestion(m);
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

void CliUserInterface::beginCommand() {
  std::lock_guard lock(resendMutex_);
  resends_ = 0;
}

void CliUserInterface::interrupt() {
  interrupted_ = true;
  interruptSignal_.notify();
}

std::optional<std::string> CliUserInterface::answerLine() {
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {interruptSignal_.fd(), POLLIN, 0}};
  for (;;) {
    if (interrupted_) return std::nullopt;
    const int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents & POLLIN) != 0) return std::nullopt;
    if (fds[0].revents != 0) break;
  }
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  return line;
}

ui::Answer CliUserInterface::resendQuestion(const ui::Message& m) {
  // Transfers of a progress worker ask from its thread.
  std::lock_guard lock(resendMutex_);
  err_ << m.title << ": " << m.text << '\n';
  if (interrupted_) {
    err_ << "tavrin-cli: not resending (Ctrl+C)" << std::endl;
    return ui::Answer::No;
  }
  if (answers_.yes) {
    if (resends_ >= kMaxResends) {
      err_ << "tavrin-cli: not resending (asked " << kMaxResends << " times)" << std::endl;
      return ui::Answer::No;
    }
    ++resends_;
    err_ << "tavrin-cli: resending (" << resends_ << " of " << kMaxResends << ")" << std::endl;
    return ui::Answer::Yes;
  }
  if (!answers_.interactive) return ui::Answer::No;
  err_ << "[y]es or [N]o? " << std::flush;
  const auto line = answerLine();
  if (!line) {
    err_ << '\n' << (interrupted_ ? "tavrin-cli: not resending (Ctrl+C)" : "") << std::endl;
    return ui::Answer::No;
  }
  const size_t first = line->find_first_not_of(" \t");
  return first != std::string::npos && ((*line)[first] == 'y' || (*line)[first] == 'Y') ? ui::Answer::Yes
                                                                                      : ui::Answer::No;
}

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
