#include "ui/user_interface.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace tavrin::ui {

void UserInterface::errorBox(std::string_view text) {
  message({"Error", std::string(text), Icon::Error, Buttons::Ok});
}

bool UserInterface::warningQuestion(std::string_view text) { return question("WARNING", text, Icon::Warning); }

bool UserInterface::question(std::string_view title, std::string_view text, Icon icon) {
  return message({std::string(title), std::string(text), icon, Buttons::YesNo}) == Answer::Yes;
}

void UserInterface::inform(std::string_view title, std::string_view text, Icon icon) {
  message({std::string(title), std::string(text), icon, Buttons::Ok});
}

std::optional<UserChoiceAnswer> UserInterface::chooseUser(const UserChoice& c) {
  const auto type = choose({c.title, "Select:", "", c.types, 0});
  if (!type) return std::nullopt;
  UserChoiceAnswer answer{*type, {}};
  if (*type == 0 && c.passwordNeeded) {
    auto typed = prompt({PromptKind::Secret, c.title, "Password:", "", "", ""});
    if (!typed) return std::nullopt;
    answer.password = std::move(*typed);
  }
  return answer;
}

bool sleepUnlessStopped(std::chrono::milliseconds duration, std::stop_token stop) {
  std::mutex m;
  std::condition_variable_any cv;
  std::unique_lock lock(m);
  cv.wait_for(lock, stop, duration, [] { return false; });
  return !stop.stop_requested();
}

ThreadedProgress::ThreadedProgress(ReportSink onReport) : onReport_(std::move(onReport)) {}

void ThreadedProgress::report(int percent, std::string_view text) {
  if (onReport_) onReport_(percent, text);
}

bool ThreadedProgress::cancelRequested() const { return cancel_.stop_requested(); }

void ThreadedProgress::cancel() { cancel_.request_stop(); }

bool ThreadedProgress::run(const ProgressWork& work) {
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work(*this);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return !cancelRequested();
}

}  // namespace tavrin::ui
