// set, export, import, poll and address of tavrin-cli against tavrin-sim
// with the sample library.
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "cli_harness.h"

namespace tavrin::cli {
namespace {

using Lines = std::vector<std::string>;
using EditCommands = testing::CliHarness;
using testing::contentsOf;
using testing::Outcome;

const Lines kSpecialist{"--user", "specialist", "connect", "read"};
// The identification texts as the stations hold them, blank-padded.
const std::string kStation5 = "5\tPT-PA-01" + std::string(24, ' ') + "\tPA2306-0005     \t0x0172\tPTX 3100        ";
const std::string kStation6 = "6\tPT-PA-02" + std::string(24, ' ') + "\tPA2306-0006     \t0x0172\tPTX 3100        ";

Lines with(Lines head, const Lines& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST_F(EditCommands, ModbusSetChecksRangesConvertsUnitsAndReadsHexadecimal) {
  plug("modbus", 1, "modbus-pressure.ini");
  Outcome r = cli(with(kSpecialist, {"set", "pressure_unit", "bar", "get", "upper_range", "set", "alarm_enable", "0xFF",
                                     "get", "alarm_enable", "set", "alarm_enable", "255", "get", "alarm_enable", "set",
                                     "damping", "40", "get", "damping"}));
  EXPECT_EQ(r.status, 1) << "a refused edit fails the run";
  EXPECT_EQ(r.outLines(), (Lines{"   2.000\tbar\tChanged", "0x00FF\t\tChanged", "0x0000\t\tChanged"}))
      << "200 kPa are 2 bar; typed without its prefix a hexadecimal value is 0";
  EXPECT_TRUE(has(r.err, "Error: The variable \"Damping\" is out of range!\n")) << r.err;

  r = cli(with(kSpecialist, {"set", "serial_number", "X"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: The variable \"serial_number\" is read-only!\n")) << r.err;
  r = cli(with(kSpecialist, {"set", "output_mode", "Sideways"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "matches no enumerator of the variable \"output_mode\"!")) << r.err;
  EXPECT_EQ(writes(true), Lines{});

  r = cli(with({"--yes"}, with(kSpecialist, {"set", "pressure_unit", "bar", "set", "alarm_enable", "0x3", "write-changed"})));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(writes(true), (Lines{"06 0000", "10 0002", "06 0009"})) << "the unit, the converted range, the mask";
}

TEST_F(EditCommands, ExportThenImportGivesTheShownValuesAsChanged) {
  plug("modbus", 1, "modbus-pressure.ini");
  const std::string file = folder.file("set.txt");
  Outcome r = cli(with(kSpecialist, {"set", "damping", "1.26", "export", file}));
  ASSERT_EQ(r.status, 0) << r.err;
  std::string saved = contentsOf(file);
  EXPECT_TRUE(has(saved, "[CONFIG_VARIABLES]\npv_pressure=")) << saved;
  EXPECT_TRUE(has(saved, "\ndamping=  1.3\n")) << saved;
  EXPECT_TRUE(has(saved, "\nalarm_enable=0x000F\n")) << saved;
  EXPECT_TRUE(has(saved, "\npressure_unit=kPa\n")) << saved;
  const size_t from = saved.find("upper_range=");
  ASSERT_NE(from, std::string::npos);
  saved.erase(from, saved.find('\n', from) - from + 1);
  folder.write("set.txt", saved);

  r = cli(with(kSpecialist, {"import", file, "get", "damping", "get", "alarm_enable", "get", "upper_range", "get",
                             "pressure_unit", "get", "lower_range"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.outLines(), (Lines{"  1.3\ts\tChanged", "0x000F\t\tChanged", "   0.000\tkPa\tChanged", "kPa\t\tChanged",
                                 "   0.000\tkPa\tChanged"}))
      << "rounded to the shown digits; the missing key gives 0";

  r = cli(with(kSpecialist, {"export", folder.file("no/such/folder/set.txt")}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "set.txt file cannot be written!")) << r.err;
}

// Export into a pipe, as `tavrin-cli export /dev/stdout | ...` does: the
// values arrive on the pipe and the run ends by itself.
TEST_F(EditCommands, ExportToAPipeWritesPlainlyAndAFifoWithoutReaderIsRefused) {
  plug("modbus", 1, "modbus-pressure.ini");
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const pid_t pid = start(with(kSpecialist, {"export", "/dev/stdout"}), "/dev/null", ends[1]);
  ::close(ends[1]);
  std::string piped;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{ends[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[4096];
    const ssize_t n = ::read(ends[0], buffer, sizeof buffer);
    if (n <= 0) break;
    piped.append(buffer, static_cast<size_t>(n));
  }
  const bool ended = std::chrono::steady_clock::now() < deadline;
  if (!ended) ::kill(pid, SIGKILL);
  ::close(ends[0]);
  const Outcome r = finish(pid);
  ASSERT_TRUE(ended) << "export into a pipe hangs";
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(piped.starts_with("[CONFIG_VARIABLES]\npv_pressure=")) << piped;
  EXPECT_TRUE(has(piped, "\npressure_unit=kPa\n")) << piped;

  const std::string fifo = folder.file("values.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const Outcome refused = cli(with(kSpecialist, {"export", fifo}));
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(has(refused.err, "Error: " + fifo + " file cannot be written!")) << refused.err;
}

TEST_F(EditCommands, PollFindsExactlyTheSimulatedAddresses) {
  plug("profibus", 5, "profibus-pressure.ini");
  Outcome r = cli({"poll", "5", "5"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.outLines(), Lines{kStation5});

  r = cli({"--user", "specialist", "poll", "4", "7", "address", "6", "connect"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.outLines(), (Lines{kStation5, kStation6}));
  const std::string comIni = contentsOf(folder.comIni());
  EXPECT_TRUE(has(comIni, "[START_ADDR]\nADDRESS=4\n")) << comIni;
  EXPECT_TRUE(has(comIni, "[END_ADDR]\nADDRESS=7\n")) << comIni;
  EXPECT_TRUE(has(comIni, "[PROFIBUS_ADDR]\nADDRESS=6\n")) << comIni;

  r = cli({"poll", "10", "3"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: The starting address couldn't larger than the ending address!")) << r.err;
  r = cli({"poll", "0", "256"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: The address range error,please input between 0~255!")) << r.err;
  r = cli({"--user", "specialist", "connect", "poll", "5", "6"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: Disconnect the transmitter before polling!")) << r.err;
  r = cli({"address", "300"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: Address range is: 0 ~ 255!")) << r.err;
}

TEST_F(EditCommands, ModbusPollAndAProfibusUnitChange) {
  plug("modbus", 1, "modbus-pressure.ini");
  Outcome r = cli({"poll", "1", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.outLines(), Lines{"1\t0x0017\t0x0A01\t0x0102"});

  sim.reset();
  plug("profibus", 5, "profibus-pressure.ini");
  r = cli(with(kSpecialist, {"get", "scale_high", "get", "out_value", "set", "pv_unit", "bar", "get", "scale_high",
                             "get", "pv_unit", "set", "scale_high", "2000"}));
  EXPECT_EQ(r.status, 1);
  const Lines out = r.outLines();
  ASSERT_EQ(out.size(), 4u) << r.out;
  EXPECT_EQ(out[0], " 200.000\tkPa\tLoaded");
  EXPECT_EQ(out[2], "   2.000\tbar\tChanged");
  EXPECT_EQ(out[3], "bar\t\tChanged");
  EXPECT_TRUE(has(r.err, "Error: The variable \"Scale, upper value\" is out of range!"))
      << r.err;
}

}  // namespace
}  // namespace tavrin::cli
