// Round trips against tavrin-sim with and without --pace, at several line
// speeds, beside the time a real line needs for the same bytes. A plain
// timed program: build/bench/sim_pace_bench.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_port.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Sim {
  pid_t pid = -1;
  std::string link;
  Sim(const std::string& link, const std::string& bus, const std::string& profile, bool pace) : link(link) {
    std::vector<std::string> args = {TAVRIN_DIST_DIR "tavrin-sim", "--bus", bus, "--link", link, "--profile", profile};
    if (pace) args.push_back("--pace");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    struct stat st {};
    for (int i = 0; i < 2000 && ::lstat(link.c_str(), &st) != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~Sim() {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
};

// Median round trip in milliseconds of request until reply bytes have arrived.
double roundTrip(const std::string& link, uint32_t baud, const std::vector<uint8_t>& request, size_t replyLength, int rounds) {
  tavrin::platform::SerialPort port;
  if (!port.open(link, false)) return -1;
  tavrin::platform::LineSettings s;
  s.baud = baud;
  port.configure(s);
  std::vector<double> times;
  uint8_t buffer[512];
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    port.write(request, 1000);
    size_t got = 0;
    while (got < replyLength) {
      auto r = port.read(buffer, 1000);
      if (r.status != tavrin::platform::IoStatus::Ok) return -1;
      got += r.count;
    }
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  std::string dir = "/tmp/tavrin-sim-bench-" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0700);
  const std::string modbus = TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini";
  const std::string profibus = TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini";
  // Modbus: read 2 holding registers (8 + 9 bytes). PA: station status (6 + 6).
  const std::vector<uint8_t> read2 = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
  const std::vector<uint8_t> status = {0x10, 0x05, 0x01, 0x49, 0xD4, 0x83};
  std::printf("%-10s %8s %12s %12s %12s\n", "exchange", "baud", "immediate", "paced", "line theory");
  for (uint32_t baud : {9600u, 19200u, 38400u, 115200u}) {
    double immediate, paced;
    {
      Sim sim(dir + "/COM1", "modbus", modbus, false);
      immediate = roundTrip(sim.link, baud, read2, 9, 200);
    }
    {
      Sim sim(dir + "/COM1", "modbus", modbus, true);
      paced = roundTrip(sim.link, baud, read2, 9, 50);
    }
    double theory = (8 + 3.5 + 9) * 10.0 / baud * 1000;
    std::printf("%-10s %8u %10.3fms %10.3fms %10.3fms\n", "modbus", baud, immediate, paced, theory);
  }
  {
    double immediate, paced;
    {
      Sim sim(dir + "/COM2", "profibus", profibus, false);
      immediate = roundTrip(sim.link, 38400, status, 6, 200);
    }
    {
      Sim sim(dir + "/COM2", "profibus", profibus, true);
      paced = roundTrip(sim.link, 38400, status, 6, 50);
    }
    std::printf("%-10s %8u %10.3fms %10.3fms %10.3fms\n", "pa status", 38400u, immediate, paced, (6 + 3.5 + 6) * 10.0 / 38400 * 1000);
  }
  ::rmdir(dir.c_str());
  return 0;
}
