// Time per Modbus read through Driver/Ostrelle.so against the libmodbus test
// slave at 19200 baud, 8 data bits, no parity, one stop bit:
//   ostrelle_read_bench [reads]   (1000 by default)
// Two runs: over joined pseudo-terminals, which deliver bytes at once, and
// through a relay that delivers each byte after its 10 bit times, as a real
// line would. Every read asks for 2 registers (8-byte request, 9-byte reply).
// The slave and the relay run at a real-time priority where the system
// allows it (as root): they stand for a transmitter and its line, whose
// timing does not depend on this machine's other work, so what is left
// above the line's minimum is the driver's.
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "ostrelle.h"
#include "peer_process.h"
#include "platform/dynamic_library.h"
#include "pty_bridge.h"
#include "testing/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using tavrin::ostrelle::testing::PeerProcess;
using tavrin::ostrelle::testing::PtyBridge;

constexpr int kBaud = 19200;
constexpr double kBitsPerCharacter = 10.0;
constexpr double kCharacterMs = kBitsPerCharacter * 1000.0 / kBaud;
// The request's line time with the half character the transmit holds on
// top, the pause after each attempt, and the reply's line time.
constexpr double kRequestMs = 8.5 * kCharacterMs;
constexpr double kPauseMs = 50.0;
constexpr double kReplyMs = 9 * kCharacterMs;

struct Functions {
  decltype(&OpenComPort) open;
  decltype(&CloseComPort) close;
  decltype(&Mb_Read) read;
};

bool run(const char* title, std::chrono::nanoseconds characterTime, const Functions& f,
         const tavrin::testing::TempDir& folder, int reads) {
  PtyBridge bridge(characterTime, true);
  PeerProcess slave({LIBMODBUS_SLAVE, bridge.right(), "1", std::to_string(kBaud)});
  sched_param param{};
  param.sched_priority = 10;
  const bool realTime = ::sched_setscheduler(slave.pid(), SCHED_FIFO, &param) == 0;
  if (!slave.waitReady(10000)) {
    std::fprintf(stderr, "the libmodbus slave did not start: %s\n", slave.output().c_str());
    return false;
  }
  std::filesystem::remove(folder.file("ports/COM1"));
  std::filesystem::create_symlink(bridge.left(), folder.file("ports/COM1"));
  f.close();
  if (f.open(1, kBaud, 2, 8, 0, 0, 1000) != 1) {
    std::fprintf(stderr, "cannot open the port\n");
    return false;
  }
  uint8_t data[256];
  uint8_t length = 0;
  if (f.read(1, 3, 0, 4, data, &length) != 0) {
    std::fprintf(stderr, "the first read failed\n");
    return false;
  }
  std::vector<double> ms;
  ms.reserve(static_cast<size_t>(reads));
  int failures = 0;
  for (int i = 0; i < reads; ++i) {
    auto begin = Clock::now();
    failures += f.read(1, 3, 0, 4, data, &length) != 0;
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
  }
  f.close();
  std::sort(ms.begin(), ms.end());
  double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
  double required = kRequestMs + kPauseMs + kReplyMs;
  std::printf("%s\n", title);
  if (!realTime) std::printf("  (slave and relay at normal priority: the machine's load counts in)\n");
  std::printf("  reads %d, failed %d\n", reads, failures);
  std::printf("  mean %.2f ms, min %.2f, median %.2f, p99 %.2f, max %.2f\n", mean, ms.front(), ms[ms.size() / 2],
              ms[ms.size() * 99 / 100], ms.back());
  std::printf("  required minimum %.2f ms (request %.2f + pause %.2f + reply %.2f): overhead %.2f ms\n", required,
              kRequestMs, kPauseMs, kReplyMs, mean - required);
  if (characterTime.count() == 0)
    std::printf("  without line timing the reply costs nothing: above request + pause (%.2f ms) %.2f ms\n",
                kRequestMs + kPauseMs, mean - kRequestMs - kPauseMs);
  return failures == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int reads = argc > 1 ? std::atoi(argv[1]) : 1000;
  if (reads <= 0) return 2;
  tavrin::testing::TempDir folder;
  std::filesystem::create_directories(folder.file("Driver"));
  std::filesystem::create_directories(folder.file("ports"));
  std::filesystem::create_symlink(TAVRIN_DIST_DIR "Driver/Ostrelle.so", folder.file("Driver/Ostrelle.so"));
  tavrin::platform::DynamicLibrary library;
  if (!library.open(folder.file("Driver/Ostrelle.so"))) {
    std::fprintf(stderr, "%s\n", library.error().c_str());
    return 1;
  }
  Functions f{library.function<decltype(OpenComPort)>("OpenComPort"),
              library.function<decltype(CloseComPort)>("CloseComPort"),
              library.function<decltype(Mb_Read)>("Mb_Read")};
  auto character = std::chrono::nanoseconds(static_cast<int64_t>(kCharacterMs * 1e6));
  bool ok = run("Joined pseudo-terminals (bytes arrive at once)", std::chrono::nanoseconds(0), f, folder, reads);
  ok = run("Relay with 19200-baud character timing (10 bits per byte)", character, f, folder, reads) && ok;
  return ok ? 0 : 1;
}
