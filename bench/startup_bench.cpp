// How long a user waits for the window: the `tavrin` executable started as
// a new process, offscreen, timed from just before the start to the line it
// writes on its main window's first paint (TAVRIN_FIRST_PAINT_FD), so the
// loading of the program, Qt and the platform plugin is counted.
//   startup_bench [runs] [platform]   (10 runs, offscreen by default; "xcb"
//                                       under xvfb-run times a real X server)
// The first start may find the libraries outside the page cache; it is
// reported on its own beside the median of the others.
#include <fcntl.h>
#include <poll.h>
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
#include <vector>

#include "bench_folder.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Milliseconds from the start to the first paint; negative on failure.
double startOnce(const fs::path& folder, const std::string& platform) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  // Only the write end goes to the child.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);

  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("TAVRIN_FIRST_PAINT_FD=", 0) != 0)
      env.push_back(entry);
  }
  env.push_back("QT_QPA_PLATFORM=" + platform);
  env.emplace_back("TAVRIN_FIRST_PAINT_FD=3");
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = TAVRIN_DIST_DIR "tavrin";
  std::string folderOption = "--folder=" + folder.string();
  char* argv[] = {program.data(), folderOption.data(), nullptr};

  pid_t pid = -1;
  const auto start = Clock::now();
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return -1;
  }
  pollfd fd{pipeFds[0], POLLIN, 0};
  char line[16];
  const bool painted = ::poll(&fd, 1, 30000) == 1 && ::read(pipeFds[0], line, sizeof line) > 0;
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  ::close(pipeFds[0]);
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  return painted ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
  const std::string platform = argc > 2 ? argv[2] : "offscreen";
  const fs::path folder = fs::temp_directory_path() / ("startup-bench-" + std::to_string(::getpid()));
  bench::makeProgramFolder(folder);
  bench::writeComIni(folder, "modbus");
  std::vector<double> later;
  double first = 0;
  int failures = 0;
  for (int run = 0; run < runs; ++run) {
    const double ms = startOnce(folder, platform);
    if (ms < 0) {
      ++failures;
      continue;
    }
    if (run == 0)
      first = ms;
    else
      later.push_back(ms);
  }
  fs::remove_all(folder);
  std::sort(later.begin(), later.end());
  if (!later.empty())
    std::printf("tavrin started to first paint, %s: first %.1f ms; then median %.1f ms, min %.1f, max %.1f (%zu runs)\n",
                platform.c_str(), first, later[later.size() / 2], later.front(), later.back(), later.size());
  if (failures) std::fprintf(stderr, "%d starts did not paint\n", failures);
  return failures ? 1 : 0;
}
