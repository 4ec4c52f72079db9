#include "ui/console_user_interface.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/text.h"

namespace tavrin::ui {
namespace {

std::string trimmed(std::string_view s) { return std::string(platform::trim(s)); }

// Most of the program's texts begin with their box's title already
// ("WARNING: Are you sure ..."); the title is printed once.
bool beginsWithTitle(const std::string& text, const std::string& title) {
  return !title.empty() && text.size() > title.size() && text.compare(0, title.size(), title) == 0 &&
         text[title.size()] == ':';
}

}  // namespace

ConsoleUserInterface::ConsoleUserInterface(std::istream& in, std::ostream& out, std::ostream& err,
                                           ConsoleOptions options)
    : in_(in), out_(out), err_(err), options_(options) {}

std::optional<std::string> ConsoleUserInterface::readLine() {
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  return trimmed(line);
}

Answer ConsoleUserInterface::message(const Message& m) {
  std::lock_guard lock(mutex_);
  if (m.icon == Icon::Error) refusedSinceAssumed_ = true;
  if (beginsWithTitle(m.text, m.title))
    err_ << m.text << '\n';
  else
    err_ << m.title << ": " << m.text << '\n';
  switch (m.buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::OkCancel:
      if (options_.assumeYes) return Answer::Ok;
      if (options_.interactive) {
        err_ << "[O]K or [c]ancel? " << std::flush;
        auto line = readLine();
        return (line && (line->empty() || (*line)[0] == 'o' || (*line)[0] == 'O')) ? Answer::Ok : Answer::Cancel;
      }
      return Answer::Cancel;
    case Buttons::YesNo:
      if (options_.assumeYes) return Answer::Yes;
      if (options_.interactive) {
        err_ << "[y]es or [N]o? " << std::flush;
        auto line = readLine();
        return (line && !line->empty() && ((*line)[0] == 'y' || (*line)[0] == 'Y')) ? Answer::Yes : Answer::No;
      }
      return Answer::No;
  }
  return Answer::No;
}

std::optional<std::string> ConsoleUserInterface::prompt(const Prompt& p) {
  std::lock_guard lock(mutex_);
  // An empty entry is refused by every value dialog, which would then ask
  // again for ever: without an initial text, yes keeps the current value.
  if (options_.assumeYes) {
    const std::string asked = p.title + '\n' + p.prompt + '\n' + p.current;
    if (asked == assumedPrompt_ && refusedSinceAssumed_) {
      assumedPrompt_.clear();
      return std::nullopt;
    }
    assumedPrompt_ = asked;
    refusedSinceAssumed_ = false;
    return p.initial.empty() ? p.current : p.initial;
  }
  if (!options_.interactive) return std::nullopt;
  err_ << p.title << ": " << p.prompt << '\n';
  if (!p.current.empty() || !p.unit.empty()) err_ << "Current value: " << p.current << ' ' << p.unit << '\n';
  err_ << "> " << std::flush;
  return readLine();
}

std::optional<int> ConsoleUserInterface::choose(const Choice& c) {
  std::lock_guard lock(mutex_);
  if (options_.assumeYes) return c.items.empty() ? -1 : 0;
  if (!options_.interactive) return std::nullopt;
  err_ << c.title << ": " << c.prompt << '\n';
  for (size_t i = 0; i < c.items.size(); ++i)
    err_ << (static_cast<int>(i) == c.preselected ? " *" : "  ") << (i + 1) << ". " << c.items[i] << '\n';
  err_ << "> " << std::flush;
  auto line = readLine();
  if (!line) return std::nullopt;
  if (line->empty()) return c.preselected;
  try {
    size_t used = 0;
    int n = std::stoi(*line, &used);
    if (used == line->size() && n >= 1 && n <= static_cast<int>(c.items.size())) return n - 1;
  } catch (const std::exception&) {
  }
  return -1;
}

std::optional<std::string> ConsoleUserInterface::fileName(const char* what, const FileDialog& d) {
  std::lock_guard lock(mutex_);
  if (options_.assumeYes) return d.initialPath.empty() ? std::nullopt : std::optional(d.initialPath);
  if (!options_.interactive) return std::nullopt;
  err_ << d.title << " (" << what << ", " << d.filter << "): " << std::flush;
  auto line = readLine();
  if (!line || line->empty()) return std::nullopt;
  return line;
}

std::optional<std::string> ConsoleUserInterface::openFileName(const FileDialog& d) { return fileName("open", d); }
std::optional<std::string> ConsoleUserInterface::saveFileName(const FileDialog& d) { return fileName("save", d); }

bool ConsoleUserInterface::runProgress(const std::string& title, const ProgressWork& work) {
  int last = -1;
  ThreadedProgress progress([&](int percent, std::string_view text) {
    std::lock_guard lock(mutex_);
    if (percent == last) return;
    last = percent;
    err_ << title << ": " << text << '\n';
  });
  return progress.run(work);
}

bool ConsoleUserInterface::countdown(const Countdown& c, std::stop_token stop) {
  {
    std::lock_guard lock(mutex_);
    err_ << c.title << ": " << c.text << '\n';
  }
  for (int left = c.seconds; left > 0; --left) {
    {
      std::lock_guard lock(mutex_);
      err_ << left << "\n";
    }
    if (!sleepUnlessStopped(std::chrono::seconds(1), stop)) return false;
  }
  return true;
}

std::optional<std::string> ConsoleUserInterface::monitor(const MonitorSpec& spec, const MonitorTick& tick,
                                                         std::stop_token stop) {
  std::string resistance = spec.resistance;
  auto show = [&] {
    MonitorReading r = tick(resistance);
    std::lock_guard lock(mutex_);
    out_ << spec.label << ": " << (r.ok ? r.value : std::string()) << ' ' << r.unit;
    if (spec.withResistance) out_ << "  " << r.voltage << " mV";
    out_ << '\n' << std::flush;
    return r;
  };
  {
    std::lock_guard lock(mutex_);
    err_ << spec.caption << '\n';
  }
  MonitorReading last = show();
  if (!options_.interactive || options_.monitorInputFd < 0) return options_.assumeYes ? std::optional(last.value) : std::nullopt;
  for (;;) {
    pollfd p{options_.monitorInputFd, POLLIN, 0};
    int n = ::poll(&p, 1, 300);
    if (stop.stop_requested()) return std::nullopt;
    if (n > 0) {
      auto line = readLine();
      if (!line) return std::nullopt;
      return last.value;
    }
    last = show();
  }
}

void ConsoleUserInterface::waitCursor(bool) {}

void ConsoleUserInterface::statusText(std::string_view text) {
  std::lock_guard lock(mutex_);
  status_ = text;
}

std::string ConsoleUserInterface::lastStatus() const {
  std::lock_guard lock(mutex_);
  return status_;
}

}  // namespace tavrin::ui
