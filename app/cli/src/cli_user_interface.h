// The user-interface seam of tavrin-cli: the console's, with the answers
// that the command line gives in advance (the user type, the password
// file) and a count of the error boxes, which make a command fail.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "app/password.h"
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

  ui::Answer message(const ui::Message& m) override;
  std::optional<std::string> prompt(const ui::Prompt& p) override;
  std::optional<int> choose(const ui::Choice& c) override;

  // A line of progress for the person on the error stream.
  void statusLine(std::string_view text);
  // The password answers start again from the current password.
  void restartPasswords() { nextPassword_ = 0; }
  // Error boxes shown so far (any thread).
  int errors() const { return errors_; }

 private:
  Answers answers_;
  // The same console without --yes, for questions --yes must not answer.
  ui::ConsoleUserInterface cautious_;
  std::ostream& err_;
  size_t nextPassword_ = 0;
  std::atomic<int> errors_{0};
};

}  // namespace tavrin::cli
