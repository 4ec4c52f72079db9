// Time per C3Read through Driver/Kelvane.so against tavrin-sim playing the PA
// adapter with its replies paced at 38400 baud:
//   kelvane_read_bench [reads]   (40 by default)
// A reply only counts as arrived once the line has been quiet for the read
// interval (50 ms), so that interval, not the line, sets the pace.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kelvane.h"
#include "platform/dynamic_library.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char** argv) {
  const int reads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("kelvane-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder / "Driver");
  fs::create_symlink(TAVRIN_DIST_DIR "Driver/Kelvane.so", folder / "Driver/Kelvane.so");
  const std::string link = (folder / "ports/COM5").string();

  std::vector<std::string> args{TAVRIN_DIST_DIR "tavrin-sim", "--bus", "profibus", "--link", link, "--profile",
                                TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini", "--pace"};
  std::vector<char*> simArgv;
  for (auto& a : args) simArgv.push_back(a.data());
  simArgv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, simArgv[0], nullptr, nullptr, simArgv.data(), environ) != 0) return 1;
  for (int i = 0; i < 2000 && !fs::is_symlink(link); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  int result = 1;
  tavrin::platform::DynamicLibrary library;
  if (library.open((folder / "Driver/Kelvane.so").string())) {
    auto open = library.function<decltype(OpenComPort)>("OpenComPort");
    auto read = library.function<decltype(C3Read)>("C3Read");
    auto close = library.function<decltype(CloseComPort)>("CloseComPort");
    if (open(5, 0, 0, 0, 0, 0, 1000) == 1) {
      std::vector<double> times;
      uint8_t data[256];
      uint8_t length = 0;
      int failures = 0;
      for (int i = 0; i < reads; ++i) {
        auto start = Clock::now();
        if (read(5, 1, 26, 5, data, &length) != 0) ++failures;
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      }
      close();
      std::sort(times.begin(), times.end());
      // 15-byte request, 3.5 characters of silence, 20-byte reply at 10 bits.
      const double line = (15 + 3.5 + 20) * 10.0 / 38400 * 1000;
      std::printf("C3Read 5 bytes, %d reads, %d failed: median %.1f ms, min %.1f ms, max %.1f ms "
                  "(line %.1f ms + read interval 50 ms)\n",
                  reads, failures, times[times.size() / 2], times.front(), times.back(), line);
      result = failures == 0 ? 0 : 1;
    }
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  fs::remove_all(folder);
  return result;
}
