// What the bus monitor costs the drivers: time per transaction through the
// links over Driver/Ostrelle.so and Driver/Kelvane.so against tavrin-sim,
// with and without the monitor in the same run (blocks of each in turn),
// while a consumer takes the frames as the window does; and the time a
// driver thread spends handing one frame to the queue.
//   monitor_bench [transactions per bus and mode]   (60 by default)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/bus_monitor.h"
#include "bench_folder.h"
#include "app/frame_format.h"
#include "app/links.h"
#include "ui/console_user_interface.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

pid_t startSimulator(const std::string& bus, const std::string& link, const std::string& profile) {
  return bench::startSimulator(
      {TAVRIN_DIST_DIR "tavrin-sim", "--bus", bus, "--link", link, "--profile", TAVRIN_SOURCE_DIR "sim/profiles/" + profile},
      link);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

struct Result {
  std::vector<double> off, on;
  int failures = 0;
  size_t frames = 0;
};

template <class Transaction>
Result measure(tavrin::app::DeviceLinks& links, int count, Transaction transaction) {
  Result r;
  tavrin::app::BusMonitor monitor;
  std::atomic<bool> stop{false};
  // The consumer decodes every frame, as the pane does.
  std::thread consumer([&] {
    tavrin::app::FrameDecoder decoder;
    while (!stop) {
      monitor.queue().waitFor(std::chrono::milliseconds(100));
      for (const auto& f : monitor.queue().take()) {
        (void)tavrin::app::frameLine(f, decoder.decode(f), monitor.origin());
        ++r.frames;
      }
    }
  });
  constexpr int kBlock = 10;
  for (int done = 0; done < count; done += kBlock) {
    for (bool on : {false, true}) {
      if (on)
        monitor.attach(links);
      else
        monitor.detach();
      for (int i = 0; i < kBlock; ++i) {
        const auto start = Clock::now();
        if (!transaction()) ++r.failures;
        (on ? r.on : r.off).push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      }
    }
  }
  monitor.detach();
  stop = true;
  consumer.join();
  for (const auto& f : monitor.queue().take()) (void)f, ++r.frames;
  return r;
}

void report(const char* what, const Result& r) {
  std::printf("%-28s off: median %.2f ms, on: median %.2f ms (%+.2f ms), %zu frames, %d failed\n", what,
              median(r.off), median(r.on), median(r.on) - median(r.off), r.frames, r.failures);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 60;
  const fs::path folder = fs::temp_directory_path() / ("monitor-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder / "Driver");
  for (const char* d : {"Kelvane", "Ostrelle"})
    fs::create_symlink(TAVRIN_DIST_DIR "Driver/" + std::string(d) + ".so", folder / "Driver" / (std::string(d) + ".so"));
  auto comIni = [&](const char* type) {
    FILE* f = std::fopen((folder / "com.ini").c_str(), "w");
    std::fprintf(f, "[COMMUNICATION]\nTYPE=%s\nPORT=5\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n", type);
    std::fclose(f);
  };
  const std::string link = (folder / "ports/COM5").string();
  tavrin::ui::ConsoleUserInterface ui(std::cin, std::cout, std::cerr, tavrin::ui::ConsoleOptions{});
  int result = 0;

  {
    comIni("MODBUS");
    const pid_t sim = startSimulator("modbus", link, "modbus-pressure.ini");
    tavrin::app::DeviceLinks links(tavrin::app::ProgramFiles{folder.string() + "/"}, ui);
    links.bind();
    links.setBusAddress(1);
    std::array<uint8_t, 256> buffer{};
    size_t received = 0;
    if (links.modbus().open()) {
      const Result r = measure(links, count, [&] { return links.modbusRead(3, 0, 22, buffer, received); });
      report("Modbus read, 11 registers", r);
      result |= r.failures != 0;
    } else {
      result = 1;
    }
    links.unbind();
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
  }
  {
    comIni("PROFIBUS");
    const pid_t sim = startSimulator("profibus", link, "profibus-pressure.ini");
    tavrin::app::DeviceLinks links(tavrin::app::ProgramFiles{folder.string() + "/"}, ui);
    links.bind();
    links.setBusAddress(5);
    std::array<uint8_t, 256> buffer{};
    size_t received = 0;
    if (links.profibus().open()) {
      const Result r = measure(links, count, [&] { return links.profibusRead(1, 26, 5, buffer, received); });
      report("Profibus C3Read, 5 bytes", r);
      result |= r.failures != 0;
    } else {
      result = 1;
    }
    links.unbind();
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
  }

  // A flood: the driver thread's side alone, a reply-sized frame at a time.
  tavrin::app::FrameQueue queue(1 << 16);
  const std::vector<uint8_t> reply(29, 0x5A);
  constexpr int kFrames = 1 << 16;
  const auto start = Clock::now();
  for (int i = 0; i < kFrames; ++i)
    queue.push(tavrin::app::Bus::Modbus, tavrin::app::FrameDirection::Received, tavrin::app::FrameOutcome::Reply,
               Clock::now(), reply);
  const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kFrames;
  std::printf("%-28s %.0f ns per frame on the driver's thread (queue of %zu, full: dropped, never waits)\n",
              "Queueing one 29-byte frame", ns, queue.capacity());

  fs::remove_all(folder);
  return result;
}
