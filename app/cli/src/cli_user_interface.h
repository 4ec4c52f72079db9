// The user-interface seam of tavrin-cli: the console's, with the answers
// that the command line gives in advance (the user type, the password
// file) and a count of the error boxes, which make a command fail.
//
// The resend question after a port failure is answered Yes under --yes at
// most kMaxResends times per command, then No, so that a port that keeps
// failing cannot repeat a transfer for ever. After Ctrl+C it is answered
// No, also while a person is being asked on the terminal.
#pragma once

#include <atomic>
#include <istream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/password.h"
#include "platform/event_signal.h"
#include "ui/console_user_interface.h"

namespace tavrin::cli {

struct Answers {
  bool interactive = false;  // a terminal to ask on
  bool yes = false;
  // The two questions before sending default values need this too.
  bool allowDefaultDownload = false;
  std::optional<app::UserType> user;
  // Answers to the password fields, in order: the current password, then
  // the new one twice. Empty: ask as any other prompt.
  std::vector<std::string> passwords;
};

class CliUserInterface : public ui::ConsoleUserInterface {
 public:
  CliUserInterface(std::istream& in, std::ostream& out, std::ostream& err, Answers answers);

  static constexpr int kMaxResends = 3;

  ui::Answer message(const ui::Message& m) override;
  std::optional<std::string> prompt(const ui::Prompt& p) override;
  std::optional<int> choose(const ui::Choice& c) override;

  // A line of progress for the person on the error stream.
  void statusLine(std::string_view text);
  // The password answers start again from the current password.
  void restartPasswords() { nextPassword_ = 0; }
  // Error boxes shown so far (any thread). Questions do not count: what
  // they lead to succeeds or fails by itself.
  int errors() const { return errors_; }
  // A command begins: the resends of --yes are counted afresh.
  void beginCommand();
  // Ctrl+C (any thread): the resend question is answered No from now on.
  void interrupt();

 private:
  ui::Answer resendQuestion(const ui::Message& m);
  // Waits for a line on the terminal; nothing after Ctrl+C or at the end
  // of the input.
  std::optional<std::string> answerLine();

  Answers answers_;
  std::istream& in_;
  // The same console without --yes, for questions --yes must not answer.
  ui::ConsoleUserInterface cautious_;
  std::ostream& err_;
  size_t nextPassword_ = 0;
  std::atomic<int> errors_{0};
  std::mutex resendMutex_;
  int resends_ = 0;
  std::atomic<bool> interrupted_{false};
  platform::EventSignal interruptSignal_;
};

}  // namespace tavrin::cli
