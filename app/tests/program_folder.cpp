#include "program_folder.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "fakes/fake_driver_control.h"

extern char** environ;

namespace tavrin::app::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TestProgramFolder::TestProgramFolder() {
  for (const char* sub : {"Driver", "Profibus", "Modbus", "ports"}) fs::create_directories(dir_.file(sub));
}

void TestProgramFolder::linkDriver(const std::string& name, const std::string& library) const {
  const std::string link = dir_.file("Driver/" + name + ".so");
  fs::remove(link);
  fs::create_symlink(library, link);
}

void TestProgramFolder::write(const std::string& name, const std::string& content) const {
  fs::create_directories(fs::path(dir_.file(name)).parent_path());
  dir_.write(name, content);
}

void TestProgramFolder::plugPort(int port, const std::string& device) const {
  fs::remove(portLink(port));
  fs::create_symlink(device, portLink(port));
}

TestProgramFolder& realDrivers() {
  static TestProgramFolder folder;
  static const bool linked = [] {
    folder.linkDriver("Kelvane", kRealKelvane);
    folder.linkDriver("Ostrelle", kRealOstrelle);
    folder.linkDriver("Lirrand", kRealLirrand);
    return true;
  }();
  (void)linked;
  return folder;
}

FakeDriver::FakeDriver(const std::string& library) { library_.open(library); }

void FakeDriver::reset() const { library_.function<fakes::ResetFn>("FakeDriver_Reset")(); }

void FakeDriver::reply(uint8_t status, const std::vector<uint8_t>& data) const {
  library_.function<fakes::ReplyFn>("FakeDriver_Reply")(status, data.data(), static_cast<uint8_t>(data.size()));
}

void FakeDriver::replyTimes(int count, uint8_t status, const std::vector<uint8_t>& data) const {
  for (int i = 0; i < count; ++i) reply(status, data);
}

void FakeDriver::setOpenResult(int32_t result) const {
  library_.function<fakes::SetOpenResultFn>("FakeDriver_SetOpenResult")(result);
}

std::vector<std::string> FakeDriver::log() const {
  auto* read = library_.function<fakes::LogFn>("FakeDriver_Log");
  std::string text(read(nullptr, 0) + 1, '\0');
  text.resize(read(text.data(), text.size()));
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

Simulator::Simulator(const std::string& bus, const std::string& linkPath, const std::string& profile,
                     const std::vector<std::string>& extra)
    : link_(linkPath) {
  fs::remove(linkPath);
  std::vector<std::string> args{TAVRIN_DIST_DIR "tavrin-sim", "--bus", bus, "--link", linkPath, "--profile", profile};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
}

Simulator::~Simulator() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

bool Simulator::ready() {
  for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;
       std::this_thread::sleep_for(10ms)) {
    if (pid_ <= 0) return false;
    if (fs::is_symlink(link_)) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;  // reaped: never signal a number that may be reused
      return false;
    }
  }
  return false;
}

}  // namespace tavrin::app::testing
