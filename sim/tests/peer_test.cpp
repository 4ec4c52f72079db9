// The simulator as a process: started by the test, ready once its link
// appears, ended by its pid. Masters we did not write (pymodbus, libmodbus)
// and a scripted PA master talk to it over the pseudo-terminal.
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "platform/serial_port.h"
#include "rig.h"
#include "sim/profile.h"
#include "testing/temp_dir.h"

extern char** environ;

namespace tavrin::sim {
namespace {

using namespace std::chrono_literals;
using test::framed;
using test::hex;
using testing::TempDir;

std::string profile(const std::string& name) { return std::string(SIM_PROFILES) + name; }

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

pid_t spawn(const std::vector<std::string>& args, int stdoutFd = -1) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

int exitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

// Runs a program to its end; its standard output comes back in output.
int run(const std::vector<std::string>& args, std::string* output = nullptr) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  pid_t pid = spawn(args, pipeFds[1]);
  ::close(pipeFds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  if (output) *output = out;
  return exitCode(status);
}

// tavrin-sim running with the given arguments; construction returns once
// the link exists (or the process has ended).
class SimProcess {
 public:
  SimProcess(const std::string& link, std::vector<std::string> args) : link_(link) {
    args.insert(args.begin(), {SIM_EXECUTABLE, "--link", link});
    pid_ = spawn(args);
    ready_ = pid_ > 0 && waitForLink(20s);
  }
  ~SimProcess() { stop(SIGTERM); }

  bool ready() const { return ready_; }
  // Ends the simulator with the signal; its exit code.
  int stop(int signal) {
    if (pid_ <= 0) return exit_;
    ::kill(pid_, signal);
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_) exit_ = exitCode(status);
    pid_ = -1;
    return exit_;
  }

 private:
  // Woken by inotify on the folder of the link and by the end of the process.
  bool waitForLink(std::chrono::milliseconds limit) {
    int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    auto deadline = std::chrono::steady_clock::now() + limit;
    bool found = false;
    while (!(found = exists(link_)) && std::chrono::steady_clock::now() < deadline) {
      std::string dir = std::filesystem::path(link_).parent_path();
      while (!exists(dir)) dir = std::filesystem::path(dir).parent_path();
      int wd = ::inotify_add_watch(watch, dir.c_str(), IN_CREATE | IN_MOVED_TO);
      if ((found = exists(link_))) break;
      pollfd fds[2] = {{watch, POLLIN, 0}, {pidFd, POLLIN, 0}};
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      ::poll(fds, pidFd >= 0 ? 2 : 1, static_cast<int>(std::max<long>(left.count(), 0)));
      char events[4096];
      while (::read(watch, events, sizeof events) > 0) {
      }
      ::inotify_rm_watch(watch, wd);
      if (fds[1].revents & POLLIN) break;  // the simulator ended
    }
    ::close(watch);
    if (pidFd >= 0) ::close(pidFd);
    return found || exists(link_);
  }

  std::string link_;
  pid_t pid_ = -1;
  int exit_ = -1;
  bool ready_ = false;
};

// A master on the simulator's port.
class Master {
 public:
  Master(const std::string& path, uint32_t baud) {
    EXPECT_TRUE(port_.open(path, true)) << path;
    platform::LineSettings s;
    s.baud = baud;
    EXPECT_TRUE(port_.configure(s));
  }
  platform::SerialPort& port() { return port_; }

  // Sends the request (hex, CRC appended) and reads one reply: its length
  // comes from its own first bytes (PA adapter) or is given.
  std::string ask(const std::string& hexRequest, size_t length = 0) {
    Bytes request = framed(hexRequest);
    if (port_.write(request, 1000).status != platform::IoStatus::Ok) return "write failed";
    return hex(receive(length));
  }

  Bytes receive(size_t length = 0, std::chrono::milliseconds limit = 3000ms) {
    Bytes got;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      size_t want = length;
      if (!want && !got.empty()) want = got[0] == 0xE5 ? 1 : got[0] == 0x10 ? 6 : got.size() > 1 ? got[1] + 6u : 2;
      if (want && got.size() >= want) break;
      uint8_t b[512];
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      auto r = port_.read(b, static_cast<int>(std::max<long>(left.count(), 1)));
      if (r.status == platform::IoStatus::Closed) {
        closed = true;
        break;
      }
      if (r.status != platform::IoStatus::Ok) break;
      got.insert(got.end(), b, b + r.count);
    }
    return got;
  }

  bool closed = false;

 private:
  platform::SerialPort port_;
};

std::map<std::string, std::string> keyValues(const std::string& text) {
  std::map<std::string, std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

TEST(PeerTest, PymodbusReadsAndWritesTheSimulatedSlave) {
  TempDir dir;
  std::string link = dir.file("ports/COM3");
  SimProcess sim(link, {"--bus", "modbus", "--profile", profile("modbus-pressure.ini")});
  ASSERT_TRUE(sim.ready());
  std::string output;
  ASSERT_EQ(run({"/usr/bin/python3", PYMODBUS_MASTER, link}, &output), 0) << output;
  auto r = keyValues(output);
  EXPECT_EQ(r["units"], "1133 1001") << output;
  EXPECT_EQ(r["identification"], "23 2561 0 258");
  double pressure = std::stod(r["pressure"].empty() ? "0" : r["pressure"]);
  EXPECT_GE(pressure, 100.4);
  EXPECT_LE(pressure, 102.2);
  EXPECT_EQ(r["coils"], "1 1 0 0");
  EXPECT_EQ(r["mode_written"], "1");
  EXPECT_EQ(r["mode"], "1");
  EXPECT_EQ(r["range_written"], "4");
  EXPECT_EQ(r["range"], "16672 0 17224 0");
  EXPECT_EQ(r["undefined"], "exception 2");
  EXPECT_EQ(r["out_of_limits"], "exception 3");
  EXPECT_EQ(r["read_only"], "exception 2");
  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_FALSE(exists(link)) << "the link goes with the simulator";
}

TEST(PeerTest, LibmodbusIsServedAcrossReopensAndFaults) {
  TempDir dir;
  std::string link = dir.file("COM4");
  SimProcess sim(link, {"--bus", "modbus", "--profile", profile("modbus-pressure.ini"), "--fault",
                        "exception=6,register=0x8003,count=1"});
  ASSERT_TRUE(sim.ready());
  for (int session = 0; session < 2; ++session) {
    SCOPED_TRACE(session);
    modbus_t* ctx = modbus_new_rtu(link.c_str(), 19200, 'N', 8, 1);
    ASSERT_NE(ctx, nullptr);
    modbus_set_slave(ctx, 1);
    modbus_set_response_timeout(ctx, 2, 0);
    ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
    uint16_t regs[8] = {};
    int n = modbus_read_input_registers(ctx, 0x8000, 4, regs);
    if (session == 0) {
      EXPECT_EQ(n, -1);
      EXPECT_EQ(errno, EMBXSBUSY) << "the exception the fault names";
      n = modbus_read_input_registers(ctx, 0x8000, 4, regs);
    }
    ASSERT_EQ(n, 4) << modbus_strerror(errno);
    EXPECT_EQ(regs[0], 0x0017);
    EXPECT_EQ(regs[1], 0x0A01);
    EXPECT_EQ(regs[3], 0x0102);
    ASSERT_EQ(modbus_write_register(ctx, 1, 1002 + session), 1) << modbus_strerror(errno);
    const uint16_t tag[2] = {0x5854, 0x3031};
    ASSERT_EQ(modbus_write_registers(ctx, 16, 2, tag), 2) << modbus_strerror(errno);
    ASSERT_EQ(modbus_read_registers(ctx, 0, 2, regs), 2);
    EXPECT_EQ(regs[0], 1133);
    EXPECT_EQ(regs[1], 1002 + session);
    ASSERT_EQ(modbus_read_registers(ctx, 16, 2, regs), 2);
    EXPECT_EQ(regs[0], 0x5854);
    uint8_t bits[4] = {};
    ASSERT_EQ(modbus_read_bits(ctx, 0, 4, bits), 4);
    EXPECT_EQ(bits[0] + 2 * bits[1] + 4 * bits[2] + 8 * bits[3], 3);
    EXPECT_EQ(modbus_write_register(ctx, 6, 0x4300), -1) << "damping 128 s is beyond its limit";
    EXPECT_EQ(errno, EMBXILVAL);
    EXPECT_EQ(modbus_read_registers(ctx, 0x300, 1, regs), -1);
    EXPECT_EQ(errno, EMBXILADD);
    // The master closes the port and opens it again for the next session.
    modbus_close(ctx);
    modbus_free(ctx);
  }
  EXPECT_EQ(sim.stop(SIGINT), 0);
}

TEST(PeerTest, ThePaAdapterAnswersAScriptedMaster) {
  TempDir dir;
  std::string link = dir.file("COM5");
  std::string copy = dir.file("profibus.ini");
  std::filesystem::copy_file(profile("profibus-pressure.ini"), copy);
  SimProcess sim(link, {"--bus", "profibus", "--profile", copy, "--trace", dir.file("trace.txt"), "--save", copy});
  ASSERT_TRUE(sim.ready());
  {
    Master m(link, 38400);
    EXPECT_EQ(m.ask("10 05 01 49"), "10 01 05 00 56 74");
    EXPECT_EQ(hex(framed("68 09 09 68 85 81 44 00 00 5E 01 10 14")), "68 09 09 68 85 81 44 00 00 5E 01 10 14 F1 0E");
    EXPECT_EQ(m.ask("68 09 09 68 85 81 44 00 00 5E 01 10 14"),
              hex(framed("68 1D 1D 68 81 85 08 00 00 5E 01 10 14 00 02 01 01 00 00 00 00 00 00 40 02 03 02 00 00 24 00 00 01")))
        << "the block object of the first function block";
    EXPECT_EQ(m.ask("68 05 05 68 85 81 4D 3C 3E"), hex(framed("68 0B 0B 68 81 85 08 3E 3C 00 05 00 FF 0A 31")));
    EXPECT_EQ(m.ask("68 09 09 68 85 81 44 00 00 5E 00 4F 08"), hex(framed("68 11 11 68 81 85 08 00 00 5E 00 4F 08 01 72 0A 31 00 00 01 02")));
    std::string out = m.ask("68 09 09 68 86 81 44 00 00 5E 01 1A 05");
    EXPECT_EQ(out.substr(0, 39), "68 0E 0E 68 81 86 08 00 00 5E 01 1A 05 ") << out;
    EXPECT_EQ(m.ask("68 09 09 68 85 81 44 00 00 5E 01 63 04"), hex(framed("68 09 09 68 81 85 08 00 00 DE 80 B0 00")));
  }
  {
    // Reopened mid-session: the same device, still served.
    Master m(link, 38400);
    EXPECT_EQ(m.ask("68 09 09 68 86 81 4D 37 3E 07 0A 31 00"), "E5");
    EXPECT_EQ(m.ask("10 07 01 49"), hex(framed("10 01 07 00")));
  }
  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_FALSE(exists(link));

  std::string trace = dir.read("trace.txt");
  EXPECT_NE(trace.find(" request 10 05 01 49 D4 83\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" reply 10 01 05 00 56 74\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" reply E5\n"), std::string::npos) << trace;
  std::string saved = dir.read("profibus.ini");
  size_t second = saved.find("[DEVICE PT-PA-2]");
  ASSERT_NE(second, std::string::npos);
  EXPECT_NE(saved.find("ADDRESS=7", second), std::string::npos) << "the moved device is saved where it went";
}

// What a master read can be checked against the memory file: a write shows
// there before its reply goes out (here a late one), and the trace names
// the fault that acted.
TEST(PeerTest, TheMemoryFileShowsWhatARequestLeftBeforeItsReply) {
  TempDir dir;
  const std::string link = dir.file("COM8");
  const std::string memory = dir.file("memory.ini");
  SimProcess sim(link, {"--bus", "profibus", "--profile", profile("profibus-pressure.ini"), "--memory", memory,
                        "--trace", dir.file("trace.txt"), "--fault", "late=3000,slot=1,index=36,count=1"});
  ASSERT_TRUE(sim.ready());
  auto damping = [&] {
    std::string error;
    const auto shown = loadProfile(memory, Bus::Profibus, &error);
    if (!shown) return "unreadable: " + error;
    const auto& entries = shown->setup.profibus.front().entries();
    const auto it = entries.find({1, 36});
    return it == entries.end() ? std::string("missing") : hex(it->second.data);
  };
  EXPECT_EQ(damping(), "3F 00 00 00");

  Master m(link, 38400);
  ASSERT_EQ(m.port().write(framed("68 0D 0D 68 85 81 44 00 00 5F 01 24 04 3F 80 00 00"), 1000).status,
            platform::IoStatus::Ok);
  auto deadline = std::chrono::steady_clock::now() + 2500ms;
  while (damping() != "3F 80 00 00" && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(damping(), "3F 80 00 00");
  uint8_t early[16];
  EXPECT_NE(m.port().read(early, 0).status, platform::IoStatus::Ok) << "the reply is not out yet";
  EXPECT_EQ(hex(m.receive(0, 6000ms)), hex(framed("68 09 09 68 81 85 08 00 00 5F 01 24 04")));
  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_NE(dir.read("trace.txt").find(" fault late=3000,slot=1,index=36,count=1\n"), std::string::npos)
      << dir.read("trace.txt");
}

TEST(PeerTest, AHangupClosesThePortAndTheNextOpenIsServed) {
  TempDir dir;
  std::string link = dir.file("COM6");
  SimProcess sim(link, {"--bus", "profibus", "--profile", profile("profibus-pressure.ini"), "--fault",
                        "hangup,at=4,service=read,count=1"});
  ASSERT_TRUE(sim.ready());
  std::string before = std::filesystem::read_symlink(link);
  {
    Master m(link, 38400);
    EXPECT_EQ(m.ask("10 05 01 49"), "10 01 05 00 56 74");
    EXPECT_EQ(m.ask("68 09 09 68 85 81 44 00 00 5E 00 18 10"), "68 19 19 68");
    EXPECT_TRUE(m.closed) << "the port went away";
  }
  EXPECT_NE(std::filesystem::read_symlink(link).string(), before) << "a new port stands in its place";
  Master again(link, 38400);
  EXPECT_EQ(again.ask("10 05 01 49"), "10 01 05 00 56 74");
  EXPECT_EQ(again.ask("68 09 09 68 85 81 44 00 00 5E 00 1A 02").substr(0, 44),
            "68 0B 0B 68 81 85 08 00 00 5E 00 1A 02 01 72");
  EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST(PeerTest, PacedRepliesTakeTheirLineTime) {
  TempDir dir;
  std::string link = dir.file("COM7");
  SimProcess sim(link, {"--bus", "modbus", "--profile", profile("modbus-pressure.ini"), "--pace"});
  ASSERT_TRUE(sim.ready());
  Master m(link, 9600);
  // 8 request bytes, 3.5 characters of silence, 9 reply bytes, 10 bits each
  // at 9600 baud: 21.4 ms at least. Only the lower bound is certain.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m.ask("01 03 00 00 00 02", 9), hex(framed("01 03 04 04 6D 03 E9")));
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 21ms);
  EXPECT_EQ(sim.stop(SIGTERM), 0);
}

TEST(PeerTest, BadStartsEndWithAReason) {
  TempDir dir;
  std::string link = dir.file("COM8");
  EXPECT_EQ(run({SIM_EXECUTABLE, "--bus", "modbus", "--link", link}), 2) << "no profile";
  EXPECT_EQ(run({SIM_EXECUTABLE, "--bus", "can", "--link", link, "--profile", profile("modbus-pressure.ini")}), 2);
  EXPECT_EQ(run({SIM_EXECUTABLE, "--bus", "modbus", "--link", link, "--profile", profile("modbus-pressure.ini"), "--fault",
                 "negative=B0"}),
            2);
  EXPECT_EQ(run({SIM_EXECUTABLE, "--bus", "profibus", "--link", link, "--profile", profile("modbus-pressure.ini")}), 1);
  dir.write("COM8", "a file");
  EXPECT_EQ(run({SIM_EXECUTABLE, "--bus", "modbus", "--link", link, "--profile", profile("modbus-pressure.ini")}), 1)
      << "a file that is not a link is never replaced";
  EXPECT_EQ(dir.read("COM8"), "a file");
  std::string help;
  EXPECT_EQ(run({SIM_EXECUTABLE, "--help"}, &help), 0);
  EXPECT_NE(help.find("--fault"), std::string::npos);
}

}  // namespace
}  // namespace tavrin::sim
