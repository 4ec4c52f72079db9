// tavrin-cli as a person runs it: a program folder with the real drivers
// and the sample library, tavrin-sim behind ports/COM5, the program started
// as a process without a terminal.
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "cli_harness.h"

namespace tavrin::cli {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using CliTest = testing::CliHarness;
using testing::contentsOf;
using testing::Outcome;

TEST_F(CliTest, ModbusConnectReadAndTable) {
  plug("modbus", 1, "modbus-pressure.ini");
  const Outcome r = cli({"--user", "specialist", "connect", "get", "damping", "read", "table", "get", "tag_name"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Lines out = r.outLines();
  ASSERT_GE(out.size(), 3u) << r.out;
  EXPECT_EQ(out.front(), "  0.0\ts\tInitial value") << "before the read: the description's value";
  EXPECT_EQ(out.back(), "PT-MB-01        \t\tLoaded");
  EXPECT_EQ(out[1], "1\tParameters\t\t\t") << "the table's menu band";
  EXPECT_EQ(out[2], "Measurement") << "a text row as its text";
  EXPECT_TRUE(has(r.out, "0\tDamping\t  0.5\ts\tLoaded\n")) << r.out;
  EXPECT_TRUE(has(r.out, "0\tPressure unit\tkPa\t\tLoaded\n")) << r.out;
  EXPECT_EQ(writes(true), Lines{}) << "reading writes nothing";
  EXPECT_TRUE(has(r.err, "Upload data from transmitter, please wait... ...: 100%")) << r.err;

  const Outcome m = cli({"--user", "maintenance", "connect", "table"});
  ASSERT_EQ(m.status, 0) << m.err;
  EXPECT_EQ(m.outLines().size(), 10u) << "the band, eight items, the range as two" << m.out;
}

TEST_F(CliTest, ModbusWritesAskFirstAndWriteChangedSendsOnlyChangedVariables) {
  plug("modbus", 1, "modbus-pressure.ini");
  // Without a terminal nobody answers: the question is No.
  Outcome r = cli({"--user", "specialist", "connect", "read", "write"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "WARNING: Are you sure to download the variables?\n")) << r.err;
  EXPECT_EQ(writes(true), Lines{});

  // Nothing read: --yes alone does not send default values.
  r = cli({"--yes", "--user", "specialist", "connect", "write"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "The default value will be downloaded to the transmitter!")) << r.err;
  EXPECT_FALSE(has(r.err, "Please confirm to download default data")) << "No ends the command";
  EXPECT_EQ(writes(true), Lines{});

  r = cli({"--yes", "--user", "specialist", "connect", "read", "write-changed"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "WARNING: The operation will only download the modified variables to the transmitter?"));
  EXPECT_EQ(writes(true), Lines{}) << "nothing changed, nothing sent";

  r = cli({"--yes", "--allow-default-download", "--user", "specialist", "connect", "write", "get", "pressure_unit"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "Please confirm to download default data to the transmitter again?")) << r.err;
  EXPECT_EQ(r.out, "kPa\t\tLoaded\n") << "the menu's post-write actions read the units back";
  EXPECT_EQ(writes(true), (Lines{"06 0000", "06 0001", "10 0002", "10 0006", "06 0008", "06 0009", "06 000A", "10 0010"}))
      << "every request of the write menu once, the range's two values in one";
}

TEST_F(CliTest, ProfibusConnectReadAndWriteAll) {
  plug("profibus", 5, "profibus-pressure.ini");
  Outcome r = cli({"--user", "specialist", "connect", "read", "get", "damping", "get", "pv_unit"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.outLines(), (Lines{"  0.5\ts\tLoaded", "kPa\t\tLoaded"}));

  r = cli({"--yes", "--user", "specialist", "connect", "read", "write-changed", "write"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "WARNING: Are you sure to download the variables?\n")) << r.err;
  EXPECT_FALSE(has(r.err, "Read operation has not been implemented")) << "after a read: one question";
  EXPECT_EQ(writes(false), (Lines{"01 21", "01 22", "01 24", "01 6A", "03 20", "00 12"}))
      << "one DPV1 write per request of the write menu, at its slot and index";
}

TEST_F(CliTest, OfflineDescriptionsNeedNoBus) {
  // No com.ini, no simulator: the description alone.
  Outcome r = cli({"--offline", TAVRIN_DIST_DIR "Modbus/00170A0101020001.bin", "--user", "maintenance", "table", "view",
                   "function", "menu", "table"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "0\tPressure unit\tkPa\t\tInitial value\n")) << r.out;
  EXPECT_TRUE(has(r.out, "0\tMenu_Main_Maintenance\tTransmitter\t*\n"
                         "1\tmeasurement_menu\tMeasurement\n"))
      << "the device menu is INLINE: out of the tree" << r.out;

  // Opening a function menu reads its variables, which needs the bus.
  r = cli({"--offline", TAVRIN_DIST_DIR "Modbus/00170A0101020001.bin", "--user", "maintenance", "view", "function",
           "select", "measurement_menu"});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(folder.file("com.ini")));

  r = cli({"--offline", TAVRIN_DIST_DIR "Modbus/00170A0101020001.bin", "--user", "maintenance", "read", "table"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: Communication type error!\n")) << r.err;
  EXPECT_EQ(r.out, "") << "the commands after a failure do not run";
}

// CPU time the process has used, in clock ticks.
long cpuTicks(pid_t pid) {
  std::istringstream stat(contentsOf("/proc/" + std::to_string(pid) + "/stat"));
  std::string field;
  long ticks = 0;
  // Fields 14 and 15 are user and system time; the name (2) has no blanks here.
  for (int i = 1; i <= 15 && stat >> field; ++i)
    if (i >= 14) ticks += std::atol(field.c_str());
  return ticks;
}

TEST_F(CliTest, CtrlCStopsARunningMethodAsAnAbort) {
  folder.write("spin.edd", R"(
    VARIABLE counter { LABEL "Counter"; CLASS LOCAL; HANDLING READ & WRITE; TYPE INTEGER (4); }
    METHOD spin { LABEL "Spin"; DEFINITION { int i; i = 0; while (1) { i = i + 1; } } }
    MENU Table_Main_Maintenance { LABEL "Parameters"; ITEMS { counter } }
    MENU Menu_Main_Maintenance { LABEL "Functions"; ITEMS { counter, spin } }
  )");
  const std::string compile = std::string(TAVRIN_DIST_DIR "eddc ") + folder.file("spin.edd") + " -o " +
                              folder.file("spin.bin");
  ASSERT_EQ(std::system(compile.c_str()), 0);

  const pid_t pid = start({"--offline", folder.file("spin.bin"), "--user", "maintenance", "view", "function", "run",
                           "spin", "table"});
  ASSERT_GT(pid, 0);
  // Stop it once it is spinning: announced, and burning processor time.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  long announced = -1;
  while (std::chrono::steady_clock::now() < deadline) {
    if (announced < 0 && has(contentsOf(folder.file("cli.err")), "Running spin")) announced = cpuTicks(pid);
    if (announced >= 0 && cpuTicks(pid) >= announced + 5) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(pid, SIGINT);
  const Outcome r = finish(pid);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(has(r.err, "Error: The method \"spin\" was stopped!\n")) << r.err;
  EXPECT_EQ(r.out, "") << "the table after the method is not printed";
}

TEST_F(CliTest, CtrlCOutsideAMethodEndsTheRunAfterTheCurrentCommand) {
  plug("modbus", 1, "modbus-pressure.ini");
  const pid_t pid = start({"--user", "specialist", "connect", "read", "read", "read", "table"});
  ASSERT_GT(pid, 0);
  // Once the connect talks to the transmitter.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline && !has(contentsOf(folder.file("trace.txt")), "request"))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(pid, SIGINT);
  const Outcome r = finish(pid);
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_EQ(r.out, "") << "the table is never reached";
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

const std::string kResend = "Error: Access serial port failed, resend?\n";

// The adapter vanishes once while the table is read: --yes resends, the
// repeat is answered and the run succeeds; without --yes (and without a
// terminal to ask on) the read fails.
TEST_F(CliTest, AResendThatIsAnsweredIsASuccess) {
  plug("profibus", 5, "profibus-pressure.ini");
  sim.reset();
  sim = std::make_unique<testing::Simulator>("profibus", folder.portLink(5),
                                             TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini",
                                             Lines{"--fault", "hangup,service=read,slot=1,index=26,count=1"});
  ASSERT_TRUE(sim->ready());
  Outcome r = cli({"--yes", "--user", "specialist", "connect", "read", "get", "out_value"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(count(r.err, kResend), 1u) << r.err;
  ASSERT_FALSE(r.outLines().empty());
  EXPECT_TRUE(r.outLines().back().ends_with("\tkPa\tLoaded")) << r.out;

  sim.reset();
  sim = std::make_unique<testing::Simulator>("profibus", folder.portLink(5),
                                             TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini",
                                             Lines{"--fault", "hangup,service=read,slot=1,index=26,count=1"});
  ASSERT_TRUE(sim->ready());
  r = cli({"--user", "specialist", "connect", "read"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(count(r.err, kResend), 1u) << r.err;
}

// An adapter that vanishes at every read of slot 1: under --yes each command
// resends three times, then answers No; the run ends by itself.
TEST_F(CliTest, ResendingIsBoundedUnderYes) {
  sim = std::make_unique<testing::Simulator>("profibus", folder.portLink(5),
                                             TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini",
                                             Lines{"--fault", "hangup,service=read,slot=1"});
  ASSERT_TRUE(sim->ready());
  folder.write("com.ini", "[COMMUNICATION]\nTYPE=PROFIBUS\nPORT=5\nBANDRATE=19200\nDATABITS=8\nPARITY=2\n"
                          "STOPBITS=0\nFLOWCTRL=0\n[PROFIBUS_ADDR]\nADDRESS=5\n");
  const pid_t pid = start({"--yes", "--user", "specialist", "connect", "read"});
  ASSERT_GT(pid, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  int status = 0;
  bool ended = false;
  while (!(ended = ::waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!ended) ::kill(pid, SIGKILL);
  const Outcome r = finish(ended ? -1 : pid);
  ASSERT_TRUE(ended) << "still resending after 90 s: " << count(r.err, kResend) << " questions";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << r.err;
  EXPECT_EQ(count(r.err, "tavrin-cli: resending ("), 3u) << r.err;
  EXPECT_TRUE(has(r.err, "tavrin-cli: resending (3 of 3)\n")) << r.err;
  EXPECT_TRUE(has(r.err, "tavrin-cli: not resending (asked 3 times)\n")) << r.err;
}

// Ctrl+C while the adapter keeps vanishing: the questions after it are
// answered No and the run ends after the current command.
TEST_F(CliTest, CtrlCAnswersTheResendQuestionNo) {
  sim = std::make_unique<testing::Simulator>("profibus", folder.portLink(5),
                                             TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini",
                                             Lines{"--fault", "hangup,service=read,slot=1"});
  ASSERT_TRUE(sim->ready());
  folder.write("com.ini", "[COMMUNICATION]\nTYPE=PROFIBUS\nPORT=5\nBANDRATE=19200\nDATABITS=8\nPARITY=2\n"
                          "STOPBITS=0\nFLOWCTRL=0\n[PROFIBUS_ADDR]\nADDRESS=5\n");
  const pid_t pid = start({"--yes", "--user", "specialist", "connect", "read", "read"});
  ASSERT_GT(pid, 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline && !has(contentsOf(folder.file("cli.err")), kResend))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(pid, SIGINT);
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  bool ended = false;
  while (!(ended = ::waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!ended) ::kill(pid, SIGKILL);
  const Outcome r = finish(ended ? -1 : pid);
  ASSERT_TRUE(ended) << r.err;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << r.err;
  EXPECT_TRUE(has(r.err, "tavrin-cli: not resending (Ctrl+C)\n")) << r.err;
  EXPECT_LT(count(r.err, "tavrin-cli: resending ("), 3u) << r.err;
}

// The rows from the "Configuration" band on: parameters that stay as they
// are, unlike the measurements above them.
Lines configurationRows(const Outcome& r) {
  Lines rows = r.outLines();
  const auto band = std::find(rows.begin(), rows.end(), "Configuration");
  return band == rows.end() ? Lines{} : Lines(band + 1, rows.end());
}

// A reply that comes after its time-out lands in the next requests'
// windows: it must never be shown as another parameter's value. Every row
// shown as Loaded is the transmitter's own value; rows may fail instead.
TEST_F(CliTest, LateRepliesNeverShowAsAnotherParametersValue) {
  const struct {
    const char* bus;
    int address;
    const char* profile;
    const char* fault;
  } cases[] = {{"modbus", 1, "modbus-pressure.ini", "late=2500,register=6"},
               {"modbus", 1, "modbus-pressure.ini", "late=2500,register=6,count=1"},
               {"profibus", 5, "profibus-pressure.ini", "late=1000,slot=1,index=36"},
               {"profibus", 5, "profibus-pressure.ini", "late=1000,slot=1,index=36,count=1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bus);
    plug(c.bus, c.address, c.profile);
    const Outcome clean = cli({"--user", "specialist", "connect", "read", "table"});
    ASSERT_EQ(clean.status, 0) << clean.err;
    const Lines expected = configurationRows(clean);
    ASSERT_GE(expected.size(), 5u) << clean.out;

    sim.reset();
    sim = std::make_unique<testing::Simulator>(c.bus, folder.portLink(5), TAVRIN_SOURCE_DIR "sim/profiles/" +
                                                                               std::string(c.profile),
                                               Lines{"--fault", c.fault});
    ASSERT_TRUE(sim->ready());
    const Outcome late = cli({"--user", "specialist", "connect", "read", "table"});
    SCOPED_TRACE(c.fault);
    if (late.status != 0) {
      // A read that fails says so.
      EXPECT_EQ(late.status, 1);
      EXPECT_TRUE(has(late.err, "failed!")) << late.err;
    }
    // Every row shown is the row of the clean run: the same value, Loaded.
    for (const std::string& row : configurationRows(late))
      EXPECT_TRUE(std::find(expected.begin(), expected.end(), row) != expected.end()) << "a wrong value: " << row;
    sim.reset();
  }
}

TEST_F(CliTest, PasswordFileAnswersTheSpecialistChoiceAndTheChange) {
  const std::string description = TAVRIN_DIST_DIR "Modbus/00170A0101020001.bin";
  folder.write("change.txt", "\nS3cret\nS3cret\n");
  Outcome r = cli({"--password-file", folder.file("change.txt"), "password"});
  ASSERT_EQ(r.status, 0) << r.err;

  folder.write("wrong.txt", "secret\n");
  r = cli({"--offline", description, "--user", "specialist", "--password-file", folder.file("wrong.txt"), "table"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: The password is error!\n")) << r.err;
  EXPECT_EQ(r.out, "");

  folder.write("right.txt", "S3cret\n");
  r = cli({"--offline", description, "--user", "specialist", "--password-file", folder.file("right.txt"), "table"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Configuration\n")) << "the specialist's table" << r.out;
  r = cli({"--offline", description, "--user", "maintenance", "table"});
  EXPECT_EQ(r.status, 0) << "maintenance needs no password" << r.err;
}

TEST_F(CliTest, UsageErrorsAndFailuresHaveTheirExitStatus) {
  EXPECT_EQ(cli({}).status, 2);
  EXPECT_EQ(cli({"frobnicate"}).status, 2);
  EXPECT_EQ(cli({"view", "sideways"}).status, 2);
  EXPECT_EQ(cli({"get"}).status, 2);
  EXPECT_EQ(cli({"--user", "boss", "connect"}).status, 2);
  EXPECT_EQ(cli({"--bogus"}).status, 2);
  const Outcome help = cli({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"connect", "write-changed", "settings", "password", "run METHOD"})
    EXPECT_TRUE(has(help.out, command)) << command;

  // A failed command: no transmitter connected.
  const Outcome r = cli({"table"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: ")) << r.err;
}

TEST_F(CliTest, SerialSettingsAndBusAreStoredInComIni) {
  folder.write("com.ini", "[COMMUNICATION]\nTYPE=NONE\n");
  Outcome r = cli({"bus", "modbus", "settings"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "Serial port settings is not reasonable")) << "an empty record warns and takes the defaults";
  EXPECT_TRUE(has(contentsOf(folder.comIni()), "TYPE=MODBUS"));

  folder.plugPort(7, "/dev/null");
  r = cli({"ports", "settings", "COM7", "19200", "none", "8", "1", "settings"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "COM7\n"));
  EXPECT_TRUE(has(r.out, "COM7\t19200\tNone\t8\t1\n")) << r.out;

  r = cli({"settings", "COM7", "12345", "none", "8", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: Please select band rate!")) << r.err;
}

// Every method of the sample library, run as a person with --yes would:
// dialogs take their first entry and the current values, countdowns run out.
TEST_F(CliTest, TheModbusSampleMethodsRunAgainstTheTransmitter) {
  plug("modbus", 1, "modbus-pressure.ini");
  const Outcome r = cli({"--yes", "--user", "specialist", "connect", "view", "function", "select", "measurement_menu",
                         "run", "check_status", "run", "watch_pressure", "select", "configuration_menu", "run",
                         "select_pressure_unit", "run", "set_damping", "view", "calibration", "run",
                         "set_lower_range_to_applied", "get", "lower_range", "get", "entered_pressure"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "Message: The transmitter reports no fault.\n")) << r.err;
  EXPECT_TRUE(has(r.err, "Waiting... ...: Pressure: ")) << "the readings of watch_pressure, formatted" << r.err;
  EXPECT_TRUE(has(r.err, "Message: The pressure unit has been written to the transmitter.\n")) << r.err;
  EXPECT_TRUE(has(r.err, "Acknowledge: The damping is now   0.5  s.\n")) << r.err;
  EXPECT_TRUE(has(r.err, "Message: The lower range value has been set.\n")) << r.err;
  EXPECT_EQ(writes(true), (Lines{"06 0000", "10 0006", "10 0002"})) << "unit, damping, range";
  const Lines out = r.outLines();
  ASSERT_EQ(out.size(), 2u) << r.out;
  EXPECT_EQ(out[0].substr(out[0].find('\t')), "\tkPa\tLoaded") << "written with the applied pressure";
  EXPECT_EQ(out[0].substr(0, out[0].find('\t')), out[1].substr(0, out[1].find('\t')));
}

TEST_F(CliTest, TheProfibusSampleMethodsRunAgainstTheTransmitter) {
  plug("profibus", 5, "profibus-pressure.ini");
  Outcome r = cli({"--yes", "--user", "specialist", "connect", "view", "function", "select", "configuration_menu",
                   "run", "select_pv_unit", "run", "set_damping", "select", "identification_menu", "run", "set_tag",
                   "view", "calibration", "run", "check_output", "get", "last_check"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "Message: The output unit has been written to the transmitter.\n")) << r.err;
  EXPECT_TRUE(has(r.err, "Acknowledge: OUT ")) << r.err;
  EXPECT_EQ(r.outLines(), Lines{"checked\t\tLocal"});
  EXPECT_EQ(writes(false), (Lines{"01 21", "01 24", "00 12"})) << "unit, damping, tag";

  // The batch calibration opens its procedure, which takes its commands from
  // the input (none here); then the method goes on.
  r = cli({"--yes", "--user", "specialist", "connect", "view", "calibration", "run", "batch_linearization"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(has(r.err, "Batch calibration is not available")) << r.err;
}

}  // namespace
}  // namespace tavrin::cli

namespace tavrin::cli::testing {
namespace {

TEST_F(CliHarness, AddFileAsksFirstThenRegistersAndCopiesThroughTheLoader) {
  const std::string source = TAVRIN_DIST_DIR "Modbus/00170A0101020001.bin";
  fs::remove_all(folder.file("Profibus"));
  Outcome r = cli({"add-file", "profibus", "0a5d", "0B72", source});
  EXPECT_EQ(r.status, 1) << "without a person the question answers No";
  EXPECT_TRUE(has(r.err, "\nWARNING: Are you sure to add new file?\n")) << r.err;
  EXPECT_FALSE(has(r.err, "WARNING: WARNING")) << "its title is printed once";
  EXPECT_FALSE(fs::exists(folder.file("Profibus/00170A0101020001.bin")));

  r = cli({"--yes", "add-file", "profibus", "0a5d", "0B72", source});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "MANUFACTURER_0x0A5D\tDEVICE_TYPE_0x0B72\t00170A0101020001.bin\t" + folder.path() +
                       "Profibus/00170A0101020001.bin\twritten\n");
  EXPECT_EQ(contentsOf(folder.file("Profibus/00170A0101020001.bin")), contentsOf(source));
  EXPECT_TRUE(has(contentsOf(folder.file("device.cfg")), "DEVICE_TYPE_0x0B72=00170A0101020001.bin"));

  r = cli({"--yes", "add-file", "modbus", "xyz", "1", source});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: The 'Manufacture Code' must be a hexadecimal number from 0 to FFFF!\n")) << r.err;
}

}  // namespace
}  // namespace tavrin::cli::testing
