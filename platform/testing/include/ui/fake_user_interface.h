// A scripted user interface for tests.
//
// It records every call word for word and answers the interactive ones
// (questions, OK/Cancel boxes, prompts, choices, file dialogs, monitoring)
// from a script that the test writes beforehand, in order. An interactive
// call that the script does not expect, or a script entry left over when the
// fake is destroyed, fails the running test. OK boxes, progress runs, the
// wait cursor and status texts need no script: they are only recorded.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/user_interface.h"

namespace tavrin::ui {

class FakeUserInterface : public UserInterface {
 public:
  FakeUserInterface() = default;
  ~FakeUserInterface() override;

  // --- the script, consumed in order ---
  FakeUserInterface& answer(Answer a);         // the next Yes/No or OK/Cancel box
  FakeUserInterface& enter(std::string text);  // the next prompt
  FakeUserInterface& select(int index);        // the next choice
  FakeUserInterface& pickFile(std::string path);
  FakeUserInterface& cancel();  // the next prompt, choice, file dialog or monitoring
  // The next monitoring dialog: show `ticks` readings (resistance field
  // text given to each tick), then OK with the last value, or Cancel.
  FakeUserInterface& watch(int ticks, bool ok, std::string resistance = {});
  // The next countdown is cancelled. Countdowns not scripted run out at once.
  FakeUserInterface& cancelCountdown();
  // Every progress run asks to cancel after this many reports (-1: never).
  void cancelProgressAfter(int reports);

  // --- the record ---
  // Every call, one line each:
  //   message <title> <icon> <buttons>: <text>      (-> <answer> when asked)
  //   prompt <kind> "<title>" "<prompt>" current="<current>" unit="<unit>" -> "<text>"|cancel
  //   choose "<title>" "<prompt>" [a|b|c] preselected=<n> -> <n>|cancel
  //   open-file|save-file "<title>" "<filter>" -> "<path>"|cancel
  //   progress "<title>"   countdown "<title>" "<text>" <n>s -> done|cancel
  //   monitor "<caption>" -> "<value>"|cancel   wait on|off   status "<text>"
  std::vector<std::string> transcript() const;
  // The texts of all message boxes, in order.
  std::vector<std::string> messages() const;
  // The texts of the "Error" boxes, in order.
  std::vector<std::string> errors() const;
  // The reports of all progress runs: percent and text.
  std::vector<std::pair<int, std::string>> progressReports() const;
  // The readings the monitoring dialogs showed.
  std::vector<MonitorReading> readings() const;
  std::string lastStatus() const;
  // Forgets the record (not the script).
  void clearRecord();
  bool scriptDone() const;

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

 private:
  enum class Kind { Answer, Text, Select, File, Cancel, Watch, CancelCountdown };
  struct Step {
    Kind kind = Kind::Cancel;
    ui::Answer answer = ui::Answer::No;
    std::string text{};
    int number = 0;
    bool ok = false;
  };
  // Takes the next step when it is one of the accepted kinds; otherwise
  // fails the test with the call's description.
  std::optional<Step> take(std::initializer_list<Kind> accepted, const std::string& call);
  void record(std::string line);
  std::optional<std::string> file(const char* kind, const FileDialog& d);

  mutable std::mutex mutex_;
  std::deque<Step> script_;
  std::vector<std::string> transcript_;
  std::vector<Message> messages_;
  std::vector<std::pair<int, std::string>> reports_;
  std::vector<MonitorReading> readings_;
  std::string status_;
  int cancelAfter_ = -1;
};

}  // namespace tavrin::ui
