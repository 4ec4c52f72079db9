// Batch linearization of the 32 transmitters of the calibration profile
// through Driver/Kelvane.so against tavrin-sim paced at 38400 baud:
//   calibration_bench
// Each phase (search, one collection, the download) is timed against the
// sum of the mandated minima of its transactions: the request and the reply
// on the line at 10 bits per character with the 3.5 characters of silence
// between them, plus the driver's 50 ms read interval that ends every
// reception; the collection adds the collect dialog's 350 ms closing wait.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/links.h"
#include "calibration/linearization.h"
#include "ui/console_user_interface.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace tavrin;

constexpr double kBaud = 38400;
constexpr double kReadIntervalMs = 50;

// One transaction: request and reply bytes (CRC included).
double minimumMs(int request, int reply) { return (request + 3.5 + reply) * 10.0 / kBaud * 1000 + kReadIntervalMs; }
// DPV1 read of n bytes and write of n bytes, station status.
double readMs(int n) { return minimumMs(15, 15 + n); }
double writeMs(int n) { return minimumMs(15 + n, 15); }
double statusMs() { return minimumMs(6, 6); }

double since(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

void report(const char* phase, double measured, double minimum) {
  std::printf("%-28s %10.1f ms   minimum %10.1f ms   ratio %.3f\n", phase, measured, minimum, measured / minimum);
}

}  // namespace

int main() {
  const fs::path folder = fs::temp_directory_path() / ("calibration-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder / "Driver");
  fs::create_symlink(TAVRIN_DIST_DIR "Driver/Kelvane.so", folder / "Driver/Kelvane.so");
  std::ofstream(folder / "com.ini") << "[COMMUNICATION]\nTYPE=PROFIBUS\nPORT=5\nBANDRATE=19200\nDATABITS=8\n"
                                       "PARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n";
  const std::string plant = (folder / "plant.ini").string();
  auto movePlant = [&](double pressure) {
    std::ofstream(plant + ".new") << "[PLANT]\nPRESSURE=" << pressure << "\nTEMPERATURE=20\n";
    fs::rename(plant + ".new", plant);
  };
  movePlant(0);
  const std::string link = (folder / "ports/COM5").string();
  std::vector<std::string> args{TAVRIN_DIST_DIR "tavrin-sim", "--bus", "profibus", "--link", link, "--profile",
                                TAVRIN_SOURCE_DIR "sim/profiles/profibus-calibration.ini", "--pace", "--plant", plant,
                                "--no-noise"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 1;
  for (int i = 0; i < 2000 && !fs::is_symlink(link); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  int result = 1;
  {
    std::istringstream noInput;
    ui::ConsoleUserInterface ui(noInput, std::cout, std::cerr, {});
    app::ProgramFiles files{folder.string() + "/"};
    app::DeviceLinks links(files, ui);
    links.profibus().bind();
    calibration::LinkBus bus(links);
    calibration::Linearization lin(bus, calibration::TrimDatabase(std::getenv("DATABASE") ? std::getenv("DATABASE") : files.folder + "DataBase/"), ui);
    // The collect dialog confirmed at its first reading.
    lin.setLiveReader([](const calibration::LiveDialog&, const calibration::LiveTick& tick) {
      tick();
      return true;
    });
    if (links.profibus().open()) {
      auto start = Clock::now();
      lin.search();
      lin.wait();
      const double search = since(start);

      lin.selectCount(2);
      lin.setReference(0, "0");
      lin.setReference(1, "200");
      start = Clock::now();
      const bool first = lin.collect(0);
      const double collection = since(start);
      movePlant(200);
      const bool second = lin.collect(1);

      start = Clock::now();
      lin.download();
      lin.wait();
      const double download = since(start);

      int succeeded = 0;
      for (const auto& s : lin.stations()) succeeded += s.indicator == calibration::Indicator::Success ? 1 : 0;
      std::printf("32 transmitters at 38400 baud (paced), %d downloaded\n", succeeded);
      report("search", search, 32 * (statusMs() + readMs(16)));
      report("one collection", collection, 32 * readMs(4) + 350);
      report("download", download,
             32 * (writeMs(4) + writeMs(2) + writeMs(1) + writeMs(84) + writeMs(84) + writeMs(2)));
      result = first && second && succeeded == 32 ? 0 : 1;
    }
    links.unbind();
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  fs::remove_all(folder);
  return result;
}
