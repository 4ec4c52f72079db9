// What the benchmarks against tavrin-sim share: a program folder of their
// own made from the build's, and a simulator started on a port link. Each
// benchmark defines TAVRIN_DIST_DIR (the build's program folder).
#pragma once

#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace bench {

// Drivers linked, the description library and device.cfg copied; com.ini
// is the benchmark's own.
inline void makeProgramFolder(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder / "Driver");
  fs::create_directories(folder / "ports");
  for (const char* driver : {"Kelvane", "Ostrelle", "Lirrand"})
    fs::create_symlink(TAVRIN_DIST_DIR "Driver/" + std::string(driver) + ".so",
                       folder / "Driver" / (std::string(driver) + ".so"));
  for (const char* library : {"Profibus", "Modbus"})
    fs::copy(TAVRIN_DIST_DIR + std::string(library), folder / library, fs::copy_options::recursive);
  fs::copy_file(TAVRIN_DIST_DIR "device.cfg", folder / "device.cfg");
}

// Settings for `bus` ("modbus" or "profibus") on COM5 at 19200 baud, the
// sample transmitter's address.
inline void writeComIni(const std::filesystem::path& folder, const std::string& bus) {
  const std::string type = bus == "modbus" ? "MODBUS" : "PROFIBUS";
  std::ofstream(folder / "com.ini") << "[COMMUNICATION]\nTYPE=" << type
                                    << "\nPORT=5\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n[" << type
                                    << "_ADDR]\nADDRESS=" << (bus == "modbus" ? 1 : 5) << "\n[TITLE]\nNAME=Tavrin\n";
}

// Starts the simulator with `args` (its executable first) and waits until
// it has made `link`; -1 when it could not be started.
inline pid_t startSimulator(std::vector<std::string> args, const std::string& link) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  for (int i = 0; i < 2000 && !std::filesystem::is_symlink(link); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return pid;
}

}  // namespace bench
