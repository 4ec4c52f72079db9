// The tavrin executable as the demo and the package start it: the command
// line without a display, and the scripted start (--screenshots) through a
// program folder whose executable and drivers are links, against
// tavrin-sim, as a per-user folder of the installed package is made.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "program_folder.h"
#include "testing/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using tavrin::app::testing::Simulator;
using tavrin::testing::TempDir;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// A shell command line, its output and status; ended after a minute so a
// hang fails the test rather than the suite.
Outcome execute(const TempDir& scratch, const std::string& command) {
  const std::string line = "timeout -k 5 60 " + command + " >" + scratch.file("out.txt") + " 2>" +
                           scratch.file("err.txt") + " </dev/null";
  const int raw = std::system(line.c_str());
  Outcome r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = scratch.read("out.txt");
  r.err = scratch.read("err.txt");
  return r;
}

// No display of any kind: what a terminal on a server offers.
const std::string kNoDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

class TavrinProgram : public ::testing::Test {
 protected:
  TavrinProgram() {
    // As the package's command makes a user's folder: programs and drivers
    // linked, configuration and descriptions copied.
    fs::create_directories(folder.file("Driver"));
    for (const char* library : {"Lirrand", "Kelvane", "Ostrelle"})
      fs::create_symlink(TAVRIN_DIST_DIR "Driver/" + std::string(library) + ".so",
                         folder.file("Driver/" + std::string(library) + ".so"));
    fs::create_symlink(TAVRIN_DIST_DIR "tavrin", folder.file("tavrin"));
    for (const char* library : {"Modbus", "Profibus"})
      fs::copy(TAVRIN_DIST_DIR + std::string(library), folder.file(library), fs::copy_options::recursive);
    fs::copy_file(TAVRIN_DIST_DIR "device.cfg", folder.file("device.cfg"));
  }
  void comIni(const std::string& type, int port, int address) const {
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=" + type + "\nPORT=" + std::to_string(port) +
                                "\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n[" + type +
                                "_ADDR]\nADDRESS=" + std::to_string(address) + "\n");
  }
  // The scripted start of the linked program, without --folder.
  Outcome scripted() const {
    return execute(scratch, "env QT_QPA_PLATFORM=offscreen " + folder.file("tavrin") + " --screenshots " +
                            scratch.file("pictures"));
  }
  bool picture(const std::string& name) const {
    const fs::path file = scratch.file("pictures/" + name + ".png");
    return fs::exists(file) && fs::file_size(file) > 1000;
  }
  // Into $TAVRIN_SCREENSHOTS with a prefix, for the guide.
  void keepPictures(const std::string& prefix) const {
    const char* dir = std::getenv("TAVRIN_SCREENSHOTS");
    if (!dir || !*dir) return;
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(scratch.file("pictures")))
      fs::copy_file(entry.path(), fs::path(dir) / (prefix + entry.path().filename().string()),
                    fs::copy_options::overwrite_existing);
  }

  TempDir folder;
  TempDir scratch;
};

TEST_F(TavrinProgram, HelpVersionAndMistakesNeedNoDisplay) {
  Outcome r = execute(scratch, kNoDisplay + TAVRIN_DIST_DIR "tavrin --version");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Tavrin " TAVRIN_VERSION), std::string::npos) << r.out;

  r = execute(scratch, kNoDisplay + TAVRIN_DIST_DIR "tavrin --help");
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* option : {"--folder <DIR>", "--screenshots <DIR>", "--version"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option << " missing from\n" << r.out;
  // Qt's own options are taken, and hidden from the help.
  EXPECT_EQ(r.out.find("platform"), std::string::npos) << r.out;
  r = execute(scratch, kNoDisplay + TAVRIN_DIST_DIR "tavrin -platform offscreen --version");
  EXPECT_EQ(r.status, 0) << r.err;

  r = execute(scratch, kNoDisplay + TAVRIN_DIST_DIR "tavrin --no-such-option");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no-such-option"), std::string::npos) << r.err;
  r = execute(scratch, kNoDisplay + TAVRIN_DIST_DIR "tavrin --folder");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("folder"), std::string::npos) << r.err;
}

// The program started through its link works in the link's folder: the
// only way to the simulator is that folder's ports/COM1.
TEST_F(TavrinProgram, ScriptedStartConnectsReadsAndSavesThePicturesOfEachView) {
  comIni("MODBUS", 1, 1);
  Simulator modbus("modbus", folder.file("ports/COM1"), TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini");
  ASSERT_TRUE(modbus.ready());
  Outcome r = scripted();
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* name : {"window", "connected", "parameter-table", "function-view", "bus-monitor"})
    EXPECT_TRUE(picture(name)) << name << "\n" << r.err;
  // The user choice was pictured and answered with its first entry.
  EXPECT_TRUE(picture("dialog-1-user-choice")) << r.err;
  EXPECT_NE(r.err.find("pictures in " + scratch.file("pictures")), std::string::npos) << r.err;
  keepPictures("start-modbus-");

  comIni("PROFIBUS", 2, 5);
  Simulator profibus("profibus", folder.file("ports/COM2"), TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini");
  ASSERT_TRUE(profibus.ready());
  fs::remove_all(scratch.file("pictures"));
  r = scripted();
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* name : {"parameter-table", "calibration-view"}) EXPECT_TRUE(picture(name)) << name << "\n" << r.err;
  keepPictures("start-profibus-");
}

// Nothing behind the port: the error box is pictured, its text goes to
// standard error, and the program ends with status 1 instead of waiting
// for a person.
TEST_F(TavrinProgram, ScriptedStartFailsWithTheMessageWhenNothingAnswers) {
  comIni("MODBUS", 4, 1);
  fs::create_directories(folder.file("ports"));
  fs::create_symlink(folder.file("ports/nothing"), folder.file("ports/COM4"));
  const Outcome r = scripted();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Error"), std::string::npos) << r.err;
  EXPECT_TRUE(picture("window"));
  EXPECT_FALSE(picture("parameter-table"));
}

// The start-up benchmark's signal: one line on the descriptor named once
// the window has painted, whatever else the program goes on to do.
TEST_F(TavrinProgram, SaysOnTheNamedDescriptorWhenTheWindowHasPainted) {
  comIni("MODBUS", 1, 1);
  const std::string painted = scratch.file("painted.txt");
  const Outcome r = execute(
      scratch, "sh -c 'env QT_QPA_PLATFORM=offscreen TAVRIN_FIRST_PAINT_FD=3 " + folder.file("tavrin") + " 3>" +
                   painted + " & p=$!; i=0; while [ $i -lt 300 ] && ! grep -q painted " + painted +
                   "; do sleep 0.1; i=$((i+1)); done; kill $p; wait $p; cat " + painted + "'");
  EXPECT_EQ(r.out, "painted\n") << r.err;
}

// A specialist password it cannot know: every try is refused with the
// password's message, and the start gives up instead of waiting.
TEST_F(TavrinProgram, ScriptedStartEndsWhenThePasswordIsRefused) {
  comIni("MODBUS", 1, 1);
  std::string record(32, '\0');
  record.replace(0, 6, "secret");
  folder.write("pw.bin", record);
  Simulator modbus("modbus", folder.file("ports/COM1"), TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini");
  ASSERT_TRUE(modbus.ready());
  const Outcome r = scripted();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("password"), std::string::npos) << r.err;
  EXPECT_FALSE(picture("parameter-table"));
}

// The package's command: a per-user folder made from the installed one on
// the first start, kept (and completed) on later ones.
class UserFolder : public ::testing::Test {
 protected:
  UserFolder() {
    // An installed folder as the package lays it out.
    fs::create_directories(installed.file("Driver"));
    for (const char* program : {"tavrin", "tavrin-cli", "tavrin-sim", "eddc"})
      fs::create_symlink(TAVRIN_DIST_DIR + std::string(program), installed.file(program));
    for (const char* library : {"Lirrand", "Kelvane", "Ostrelle"})
      fs::create_symlink(TAVRIN_DIST_DIR "Driver/" + std::string(library) + ".so",
                         installed.file("Driver/" + std::string(library) + ".so"));
    for (const char* library : {"Modbus", "Profibus"})
      fs::copy(TAVRIN_DIST_DIR + std::string(library), installed.file(library), fs::copy_options::recursive);
    fs::copy_file(TAVRIN_DIST_DIR "device.cfg", installed.file("device.cfg"));
    fs::copy_file(TAVRIN_SOURCE_DIR "packaging/com.ini", installed.file("com.ini"));
    fs::create_directories(installed.file("profiles"));
    // The command is called by the name of the program it starts.
    fs::create_directories(scratch.file("bin"));
    fs::create_symlink(TAVRIN_SOURCE_DIR "packaging/tavrin-folder.sh", scratch.file("bin/tavrin"));
    fs::create_symlink(TAVRIN_SOURCE_DIR "packaging/tavrin-folder.sh", scratch.file("bin/tavrin-cli"));
  }
  Outcome command(const std::string& words, const std::string& environment = "") const {
    return execute(scratch, kNoDisplay + "env -u XDG_DATA_HOME TAVRIN_INSTALLED=" + installed.path() +
                                " HOME=" + home.path() + " " + environment + " " + scratch.file("bin/") + words);
  }
  static std::string comIni(int port, int baud) {
    return "[COMMUNICATION]\nTYPE=MODBUS\nPORT=" + std::to_string(port) + "\nBANDRATE=" + std::to_string(baud) +
           "\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n";
  }
  std::string user(const std::string& name) const { return home.file(".local/share/tavrin/" + name); }
  bool linkedTo(const std::string& name, const std::string& target) const {
    std::error_code e;
    return fs::is_symlink(user(name)) && fs::read_symlink(user(name), e) == fs::path(target);
  }

  TempDir installed;
  TempDir home;
  TempDir scratch;
};

TEST_F(UserFolder, FirstStartLinksTheProgramsAndCopiesTheConfiguration) {
  // tavrin-cli reads the user's com.ini: the settings it prints are the
  // installed defaults, read from the user's copy.
  Outcome r = command("tavrin-cli settings");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("COM1\t19200"), std::string::npos) << r.out;
  for (const char* program : {"tavrin", "tavrin-cli", "tavrin-sim", "eddc"})
    EXPECT_TRUE(linkedTo(program, installed.file(program))) << program;
  EXPECT_TRUE(linkedTo("Driver/Kelvane.so", installed.file("Driver/Kelvane.so")));
  for (const char* copied : {"com.ini", "device.cfg", "Profibus/PTX3200.bin"}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(user(copied)))) << copied << " is no copy of its own";
  }
  EXPECT_TRUE(fs::is_directory(user("DataBase")));
  EXPECT_TRUE(fs::is_directory(user("data")));

  // What the user changed stays; what a newer package brought is added;
  // a lost link comes back.
  std::ofstream(user("com.ini")) << comIni(7, 38400);
  std::ofstream(user("Profibus/PTX3200.bin")) << "the user's own";
  fs::copy_file(installed.file("Profibus/PTX3200.bin"), installed.file("Profibus/PTX9999.bin"));
  fs::remove(user("Driver/Kelvane.so"));
  r = command("tavrin-cli settings");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\t38400\t"), std::string::npos) << r.out;
  EXPECT_EQ(tavrin::testing::TempDir::slurp(user("Profibus/PTX3200.bin")), "the user's own");
  EXPECT_TRUE(fs::is_regular_file(user("Profibus/PTX9999.bin")));
  EXPECT_TRUE(linkedTo("Driver/Kelvane.so", installed.file("Driver/Kelvane.so")));
}

TEST_F(UserFolder, VersionAndAnotherFolderMakeNoUserFolder) {
  Outcome r = command("tavrin --version");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(TAVRIN_VERSION), std::string::npos) << r.out;
  TempDir other;
  std::ofstream(other.file("com.ini")) << comIni(3, 4800);
  r = command("tavrin-cli --folder " + other.path() + " settings");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\t4800\t"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(home.file(".local"))) << "made a folder it did not need";

  // XDG_DATA_HOME says where a user's data goes.
  r = command("tavrin-cli settings", "XDG_DATA_HOME=" + home.file("data"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(home.file("data/tavrin/com.ini")));
  EXPECT_FALSE(fs::exists(home.file(".local")));
}

}  // namespace
