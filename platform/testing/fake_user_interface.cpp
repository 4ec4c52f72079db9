#include "ui/fake_user_interface.h"

#include <gtest/gtest.h>


namespace tavrin::ui {
namespace {

const char* iconName(Icon i) {
  switch (i) {
    case Icon::None: return "none";
    case Icon::Error: return "error";
    case Icon::Warning: return "warning";
    case Icon::Information: return "information";
    case Icon::Question: return "question";
  }
  return "?";
}

const char* buttonsName(Buttons b) {
  switch (b) {
    case Buttons::Ok: return "ok";
    case Buttons::OkCancel: return "ok-cancel";
    case Buttons::YesNo: return "yes-no";
  }
  return "?";
}

const char* answerName(Answer a) {
  switch (a) {
    case Answer::Ok: return "ok";
    case Answer::Cancel: return "cancel";
    case Answer::Yes: return "yes";
    case Answer::No: return "no";
  }
  return "?";
}

const char* promptKindName(PromptKind k) {
  switch (k) {
    case PromptKind::Text: return "text";
    case PromptKind::Number: return "number";
    case PromptKind::PackedString: return "packed-string";
    case PromptKind::Secret: return "secret";
  }
  return "?";
}

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

FakeUserInterface::~FakeUserInterface() {
  if (!script_.empty()) ADD_FAILURE() << "the fake user interface still has " << script_.size() << " scripted answer(s)";
}

FakeUserInterface& FakeUserInterface::answer(Answer a) {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = Kind::Answer, .answer = a});
  return *this;
}
FakeUserInterface& FakeUserInterface::enter(std::string text) {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = Kind::Text, .text = std::move(text)});
  return *this;
}
FakeUserInterface& FakeUserInterface::select(int index) {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = Kind::Select, .number = index});
  return *this;
}
FakeUserInterface& FakeUserInterface::pickFile(std::string path) {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = Kind::File, .text = std::move(path)});
  return *this;
}
FakeUserInterface& FakeUserInterface::cancel() {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = Kind::Cancel});
  return *this;
}
FakeUserInterface& FakeUserInterface::watch(int ticks, bool ok, std::string resistance) {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = Kind::Watch, .text = std::move(resistance), .number = ticks, .ok = ok});
  return *this;
}
FakeUserInterface& FakeUserInterface::cancelCountdown() {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = Kind::CancelCountdown});
  return *this;
}
void FakeUserInterface::cancelProgressAfter(int reports) {
  std::lock_guard lock(mutex_);
  cancelAfter_ = reports;
}

std::optional<FakeUserInterface::Step> FakeUserInterface::take(std::initializer_list<Kind> accepted,
                                                               const std::string& call) {
  std::lock_guard lock(mutex_);
  if (!script_.empty()) {
    for (Kind k : accepted) {
      if (script_.front().kind == k) {
        Step s = script_.front();
        script_.pop_front();
        return s;
      }
    }
  }
  ADD_FAILURE() << "unexpected call to the user interface: " << call;
  return std::nullopt;
}

void FakeUserInterface::record(std::string line) {
  std::lock_guard lock(mutex_);
  transcript_.push_back(std::move(line));
}

Answer FakeUserInterface::message(const Message& m) {
  std::string line = std::string("message ") + m.title + " " + iconName(m.icon) + " " + buttonsName(m.buttons) + ": " + m.text;
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(m);
  }
  if (m.buttons == Buttons::Ok) {
    record(line);
    return Answer::Ok;
  }
  Answer fallback = m.buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
  auto step = take({Kind::Answer}, line);
  Answer a = step ? step->answer : fallback;
  bool fits = m.buttons == Buttons::YesNo ? (a == Answer::Yes || a == Answer::No)
                                          : (a == Answer::Ok || a == Answer::Cancel);
  if (!fits) {
    ADD_FAILURE() << "scripted answer " << answerName(a) << " does not fit " << line;
    a = fallback;
  }
  record(line + " -> " + answerName(a));
  return a;
}

std::optional<std::string> FakeUserInterface::prompt(const Prompt& p) {
  std::string line = std::string("prompt ") + promptKindName(p.kind) + " " + inQuotes(p.title) + " " + inQuotes(p.prompt) +
                     " current=" + inQuotes(p.current) + " unit=" + inQuotes(p.unit);
  auto step = take({Kind::Text, Kind::Cancel}, line);
  std::optional<std::string> result;
  if (step && step->kind == Kind::Text) result = step->text;
  record(line + " -> " + (result ? inQuotes(*result) : "cancel"));
  return result;
}

std::optional<int> FakeUserInterface::choose(const Choice& c) {
  std::string items;
  for (size_t i = 0; i < c.items.size(); ++i) items += (i ? "|" : "") + c.items[i];
  std::string line = "choose " + inQuotes(c.title) + " " + inQuotes(c.prompt) + " [" + items +
                     "] preselected=" + std::to_string(c.preselected);
  auto step = take({Kind::Select, Kind::Cancel}, line);
  std::optional<int> result;
  if (step && step->kind == Kind::Select) result = step->number;
  record(line + " -> " + (result ? std::to_string(*result) : "cancel"));
  return result;
}

std::optional<std::string> FakeUserInterface::file(const char* kind, const FileDialog& d) {
  std::string line = std::string(kind) + " " + inQuotes(d.title) + " " + inQuotes(d.filter);
  auto step = take({Kind::File, Kind::Cancel}, line);
  std::optional<std::string> result;
  if (step && step->kind == Kind::File) result = step->text;
  record(line + " -> " + (result ? inQuotes(*result) : "cancel"));
  return result;
}

std::optional<std::string> FakeUserInterface::openFileName(const FileDialog& d) { return file("open-file", d); }
std::optional<std::string> FakeUserInterface::saveFileName(const FileDialog& d) { return file("save-file", d); }

bool FakeUserInterface::runProgress(const std::string& title, const ProgressWork& work) {
  record("progress " + inQuotes(title));
  int limit;
  {
    std::lock_guard lock(mutex_);
    limit = cancelAfter_;
  }
  int count = 0;
  ThreadedProgress* self = nullptr;
  ThreadedProgress progress([&](int percent, std::string_view text) {
    {
      std::lock_guard lock(mutex_);
      reports_.emplace_back(percent, std::string(text));
    }
    if (limit >= 0 && ++count >= limit) self->cancel();
  });
  self = &progress;
  if (limit == 0) progress.cancel();
  return progress.run(work);
}

bool FakeUserInterface::countdown(const Countdown& c, std::stop_token stop) {
  std::string line = "countdown " + inQuotes(c.title) + " " + inQuotes(c.text) + " " + std::to_string(c.seconds) + "s";
  bool cancelled = stop.stop_requested();
  {
    std::lock_guard lock(mutex_);
    if (!script_.empty() && script_.front().kind == Kind::CancelCountdown) {
      script_.pop_front();
      cancelled = true;
    }
  }
  record(line + (cancelled ? " -> cancel" : " -> done"));
  return !cancelled;
}

std::optional<std::string> FakeUserInterface::monitor(const MonitorSpec& spec, const MonitorTick& tick,
                                                      std::stop_token stop) {
  std::string line = "monitor " + inQuotes(spec.caption);
  auto step = take({Kind::Watch, Kind::Cancel}, line);
  std::optional<std::string> result;
  if (step && step->kind == Kind::Watch) {
    MonitorReading last;
    for (int i = 0; i < step->number && !stop.stop_requested(); ++i) {
      last = tick(step->text.empty() ? spec.resistance : step->text);
      std::lock_guard lock(mutex_);
      readings_.push_back(last);
    }
    if (step->ok && !stop.stop_requested()) result = last.ok ? last.value : std::string();
  }
  record(line + " -> " + (result ? inQuotes(*result) : "cancel"));
  return result;
}

void FakeUserInterface::waitCursor(bool busy) { record(busy ? "wait on" : "wait off"); }

void FakeUserInterface::statusText(std::string_view text) {
  record("status " + inQuotes(std::string(text)));
  std::lock_guard lock(mutex_);
  status_ = text;
}

std::vector<std::string> FakeUserInterface::transcript() const {
  std::lock_guard lock(mutex_);
  return transcript_;
}

std::vector<std::string> FakeUserInterface::messages() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& m : messages_) out.push_back(m.text);
  return out;
}

std::vector<std::string> FakeUserInterface::errors() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& m : messages_)
    if (m.title == "Error") out.push_back(m.text);
  return out;
}

std::vector<std::pair<int, std::string>> FakeUserInterface::progressReports() const {
  std::lock_guard lock(mutex_);
  return reports_;
}

std::vector<MonitorReading> FakeUserInterface::readings() const {
  std::lock_guard lock(mutex_);
  return readings_;
}

std::string FakeUserInterface::lastStatus() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void FakeUserInterface::clearRecord() {
  std::lock_guard lock(mutex_);
  transcript_.clear();
  messages_.clear();
  reports_.clear();
  readings_.clear();
}

bool FakeUserInterface::scriptDone() const {
  std::lock_guard lock(mutex_);
  return script_.empty();
}

}  // namespace tavrin::ui
