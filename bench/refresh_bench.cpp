// Reads per second of the function view's background refresh against
// tavrin-sim on a paced line (19200 baud, 11 bits a character), beside the
// line's limit for the same reads: the characters of every request and
// reply the simulator traced, at the character time, plus the 3.5
// characters of silence before each reply. The sample transmitters, their
// "Measurement" menu, on both buses. On Modbus the driver also listens 50 ms
// after every reply (a late second reply must not be taken for data): the
// limit with that pause is printed too.
//   refresh_bench [seconds per bus]   (5 by default)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/description_menus.h"
#include "bench_folder.h"
#include "app/session.h"
#include "ui/user_interface.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kBaud = 19200;
constexpr int kBitsPerCharacter = 11;

// Answers the user-type choice with the specialist and every box with OK;
// messages go to standard error.
class BenchUserInterface : public tavrin::ui::UserInterface {
 public:
  tavrin::ui::Answer message(const tavrin::ui::Message& m) override {
    std::cerr << m.title << ": " << m.text << '\n';
    return m.buttons == tavrin::ui::Buttons::YesNo ? tavrin::ui::Answer::Yes : tavrin::ui::Answer::Ok;
  }
  std::optional<std::string> prompt(const tavrin::ui::Prompt&) override { return std::nullopt; }
  std::optional<int> choose(const tavrin::ui::Choice&) override { return 0; }
  std::optional<std::string> openFileName(const tavrin::ui::FileDialog&) override { return std::nullopt; }
  std::optional<std::string> saveFileName(const tavrin::ui::FileDialog&) override { return std::nullopt; }
  bool runProgress(const std::string&, const tavrin::ui::ProgressWork& work) override {
    tavrin::ui::ThreadedProgress progress([](int, std::string_view) {});
    return progress.run(work);
  }
  bool countdown(const tavrin::ui::Countdown&, std::stop_token) override { return false; }
  std::optional<std::string> monitor(const tavrin::ui::MonitorSpec&, const tavrin::ui::MonitorTick&,
                                     std::stop_token) override {
    return std::nullopt;
  }
  void waitCursor(bool) override {}
  void statusText(std::string_view) override {}
};

pid_t startSimulator(const std::string& bus, const std::string& link, const std::string& profile,
                     const std::string& trace) {
  return bench::startSimulator({TAVRIN_DIST_DIR "tavrin-sim", "--bus", bus, "--link", link, "--profile",
                                TAVRIN_SOURCE_DIR "sim/profiles/" + profile,
                                "--pace=" + std::to_string(kBitsPerCharacter), "--trace", trace},
                               link);
}

// The line time of the traced transactions from `from` seconds on.
struct Line {
  int transactions = 0;
  double seconds = 0;
};
Line lineTime(const std::string& trace, double from) {
  Line line;
  std::ifstream in(trace);
  const double character = static_cast<double>(kBitsPerCharacter) / kBaud;
  for (std::string text; std::getline(in, text);) {
    std::istringstream words(text);
    double at = 0;
    std::string kind;
    words >> at >> kind;
    if (at < from || (kind != "request" && kind != "reply")) continue;
    int bytes = 0;
    for (std::string b; words >> b;) ++bytes;
    line.seconds += bytes * character;
    if (kind == "reply") {
      line.seconds += 3.5 * character;
      ++line.transactions;
    }
  }
  return line;
}

double now(const std::string& trace) {
  // The simulator's clock: the time of its last traced event.
  std::ifstream in(trace);
  double last = 0;
  for (std::string text; std::getline(in, text);) {
    std::istringstream words(text);
    double at = 0;
    if (words >> at) last = at;
  }
  return last;
}

bool run(const std::string& bus, const std::string& profile, int address, double seconds, double driverPause) {
  const fs::path folder = fs::temp_directory_path() / ("refresh-bench-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  bench::makeProgramFolder(folder);
  const std::string type = bus == "modbus" ? "MODBUS" : "PROFIBUS";
  std::ofstream(folder / "com.ini") << "[COMMUNICATION]\nTYPE=" << type << "\nPORT=5\nBANDRATE=" << kBaud
                                    << "\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n[" << type
                                    << "_ADDR]\nADDRESS=" << address << "\n";
  const std::string trace = (folder / "trace.txt").string();
  const pid_t sim = startSimulator(bus, (folder / "ports/COM5").string(), profile, trace);
  if (sim < 0) return false;

  bool ok = false;
  {
    BenchUserInterface ui;
    tavrin::app::DeviceSession session(tavrin::app::ProgramFiles{folder.string() + "/"}, ui,
                                       tavrin::app::descriptionMenus());
    session.start();
    if (session.connect() && session.enterFunctionView()) {
      const auto& items = session.view().tree().items();
      for (size_t i = 0; i < items.size(); ++i)
        if (items[i].label == "Measurement") session.selectTreeItem(static_cast<int>(i));
      std::mutex mutex;
      std::condition_variable wake;
      bool woken = false;
      session.backgroundRefresh().setNotifier([&] {
        std::lock_guard lock(mutex);
        woken = true;
        wake.notify_all();
      });
      // Let the menu's own reads be traced before the refresh starts.
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const double from = now(trace) + 0.001;
      const uint64_t before = session.backgroundRefresh().reads();
      const auto start = Clock::now();
      session.startRefresh();
      int changes = 0;
      const auto until = start + std::chrono::duration<double>(seconds);
      while (Clock::now() < until && session.backgroundRefresh().active()) {
        std::unique_lock lock(mutex);
        wake.wait_until(lock, until, [&] { return woken; });
        woken = false;
        lock.unlock();
        changes += static_cast<int>(session.applyRefreshChanges().size());
      }
      session.stopRefresh();
      const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      const uint64_t reads = session.backgroundRefresh().reads() - before;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const Line line = lineTime(trace, from);
      const double limit = line.seconds > 0 ? line.transactions / line.seconds : 0;
      const double rate = static_cast<double>(reads) / elapsed;
      std::printf("%-8s %6.1f reads/s (%llu reads in %.2f s, %d cell changes); line limit %6.1f reads/s (%5.1f %%)",
                  bus.c_str(), rate, static_cast<unsigned long long>(reads), elapsed, changes, limit,
                  limit > 0 ? 100.0 * rate / limit : 0.0);
      if (driverPause > 0 && line.transactions > 0) {
        const double paused = line.transactions / (line.seconds + driverPause * line.transactions);
        std::printf("; with the driver's %.0f ms after each reply %6.1f reads/s (%5.1f %%)", driverPause * 1000, paused,
                    100.0 * rate / paused);
      }
      std::printf("\n");
      ok = reads > 0;
    } else {
      std::cerr << bus << ": no connection to the simulator\n";
    }
    session.shutdown();
  }
  ::kill(sim, SIGTERM);
  ::waitpid(sim, nullptr, 0);
  fs::remove_all(folder);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  std::printf("background refresh of the sample transmitters' Measurement menu, %d baud, %d bits a character\n", kBaud,
              kBitsPerCharacter);
  bool ok = run("modbus", "modbus-pressure.ini", 1, seconds, 0.050);
  ok = run("profibus", "profibus-pressure.ini", 5, seconds, 0) && ok;
  return ok ? 0 : 1;
}
