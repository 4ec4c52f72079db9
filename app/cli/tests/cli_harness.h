// What the end-to-end tests of tavrin-cli share: a program folder with the
// real drivers and the sample library, tavrin-sim behind ports/COM5 with a
// trace, and the program started as a process without a terminal.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_folder.h"

extern char** environ;

namespace tavrin::cli::testing {

namespace fs = std::filesystem;
using app::testing::Simulator;
using app::testing::TestProgramFolder;
using Lines = std::vector<std::string>;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  Lines outLines() const {
    Lines lines;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
};

inline std::string contentsOf(const std::string& path) { return tavrin::testing::TempDir::slurp(path); }

class CliHarness : public ::testing::Test {
 protected:
  CliHarness() {
    folder.linkDriver("Kelvane", app::testing::kRealKelvane);
    folder.linkDriver("Ostrelle", app::testing::kRealOstrelle);
    folder.linkDriver("Lirrand", app::testing::kRealLirrand);
    for (const char* library : {"Profibus", "Modbus"})
      fs::copy(TAVRIN_DIST_DIR + std::string(library), folder.file(library),
               fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy_file(TAVRIN_DIST_DIR "device.cfg", folder.file("device.cfg"), fs::copy_options::overwrite_existing);
  }

  // com.ini for the bus and tavrin-sim with the profile on COM5, tracing.
  void plug(const std::string& bus, int address, const std::string& profile) {
    const std::string type = bus == "modbus" ? "MODBUS" : "PROFIBUS";
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=" + type +
                                "\nPORT=5\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n[" + type +
                                "_ADDR]\nADDRESS=" + std::to_string(address) + "\n");
    sim = std::make_unique<Simulator>(bus, folder.portLink(5), TAVRIN_SOURCE_DIR "sim/profiles/" + profile,
                                      Lines{"--trace", folder.file("trace.txt")});
    ASSERT_TRUE(sim->ready());
  }

  // Starts tavrin-cli without a terminal, its output into files (standard
  // output into stdoutFd instead when one is given), its input from the
  // file (nothing by default).
  pid_t start(Lines args, const std::string& input = "/dev/null", int stdoutFd = -1) const {
    args.insert(args.begin(), {TAVRIN_DIST_DIR "tavrin-cli", "--folder", folder.path()});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    if (stdoutFd >= 0)
      posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    else
      posix_spawn_file_actions_addopen(&actions, 1, folder.file("cli.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0600);
    posix_spawn_file_actions_addopen(&actions, 2, folder.file("cli.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  Outcome finish(pid_t pid) const {
    Outcome run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid)
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = contentsOf(folder.file("cli.out"));
    run.err = contentsOf(folder.file("cli.err"));
    return run;
  }
  Outcome cli(Lines args, const std::string& input = "/dev/null") const {
    return finish(start(std::move(args), input));
  }

  // The requests of the simulator's trace that change the device: Modbus
  // functions 6 and 16 as "<function> <register>", Profibus DPV1 writes as
  // "<slot> <index>".
  Lines writes(bool modbus) const {
    Lines found;
    std::istringstream in(contentsOf(folder.file("trace.txt")));
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string time, kind;
      Lines bytes;
      words >> time >> kind;
      for (std::string b; words >> b;) bytes.push_back(b);
      if (kind != "request") continue;
      if (modbus && bytes.size() > 4 && (bytes[1] == "06" || bytes[1] == "10"))
        found.push_back(bytes[1] + " " + bytes[2] + bytes[3]);
      if (!modbus && bytes.size() > 11 && bytes[0] == "68" && bytes[9] == "5F")
        found.push_back(bytes[10] + " " + bytes[11]);
    }
    return found;
  }

  static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  TestProgramFolder folder;
  std::unique_ptr<Simulator> sim;
};

}  // namespace tavrin::cli::testing
