// tavrin-cli --trace FILE, compare FILE and watch SECONDS, end to end
// against tavrin-sim.
#include <fstream>

#include "cli_harness.h"

namespace tavrin::cli::testing {
namespace {

class MonitorCommands : public CliHarness {
 protected:
  // The requests and replies of a trace: the simulator's ("request <hex>")
  // or ours ("<seconds>\tTX\t<address>\t<summary>\t<hex>").
  static Lines simulatorFrames(const std::string& text) {
    Lines out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string time, kind, b, bytes;
      words >> time >> kind;
      while (words >> b) bytes += (bytes.empty() ? "" : " ") + b;
      if (kind == "request" || kind == "reply") out.push_back(kind + " " + bytes);
    }
    return out;
  }
  static Lines monitorFrames(const std::string& text) {
    Lines out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string> fields;
      std::istringstream f(line);
      for (std::string field; std::getline(f, field, '\t');) fields.push_back(field);
      if (fields.size() != 5) {
        out.push_back("bad line: " + line);
        continue;
      }
      out.push_back((fields[1] == "TX" ? "request " : "reply ") + fields[4]);
    }
    return out;
  }
  // tavrin-sim again, on a copy of the sample profile with one change.
  void replug(const std::string& profile, const std::string& from, const std::string& to) {
    sim.reset();
    std::string text = contentsOf(TAVRIN_SOURCE_DIR "sim/profiles/" + profile);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, from.size(), to);
    folder.write("changed.ini", text);
    sim = std::make_unique<Simulator>("modbus", folder.portLink(5), folder.file("changed.ini"), Lines{});
    ASSERT_TRUE(sim->ready());
  }
};

TEST_F(MonitorCommands, TraceHoldsTheSimulatorsFramesInOrder) {
  plug("profibus", 5, "profibus-pressure.ini");
  const std::string trace = folder.file("monitor.txt");
  const Outcome run = cli({"--user", "specialist", "--trace", trace, "connect", "read"});
  ASSERT_EQ(run.status, 0) << run.err;
  const Lines ours = monitorFrames(contentsOf(trace));
  ASSERT_GT(ours.size(), 8u);
  EXPECT_EQ(ours, simulatorFrames(contentsOf(folder.file("trace.txt"))));
  EXPECT_TRUE(has(contentsOf(trace), "\tTX\t5\tRead slot 0, index 79, length 8\t")) << contentsOf(trace);
}

TEST_F(MonitorCommands, CompareListsExactlyTheChangedAndTheMissing) {
  plug("modbus", 1, "modbus-pressure.ini");
  const std::string exported = folder.file("exported.txt");
  Outcome run = cli({"--user", "maintenance", "connect", "read", "export", exported, "compare", exported});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "") << "the device matches what was just exported";

  replug("modbus-pressure.ini", "holding.6 = f32: 0.5", "holding.6 = f32: 2.5");
  std::string text = contentsOf(exported);
  const size_t mode = text.find("output_mode=");
  ASSERT_NE(mode, std::string::npos);
  text.erase(mode, text.find('\n', mode) + 1 - mode);
  folder.write("exported.txt", text + "no_such_variable=7\n");

  run = cli({"--user", "maintenance", "connect", "compare", exported});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.outLines(), (Lines{"differs\tdamping\tDamping\t2.5\t0.5\ts",
                                   "missing in file\toutput_mode\tOutput mode\tLinear",
                                   "missing on device\tno_such_variable\t7"}));
  EXPECT_TRUE(has(run.err, "Upload data from transmitter")) << "read through the usual upload";

  run = cli({"--user", "maintenance", "connect", "compare", folder.file("absent.txt")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "absent.txt file cannot be read!")) << run.err;
}

TEST_F(MonitorCommands, WatchPrintsTheMeasuredRowsAsTheyChange) {
  plug("modbus", 1, "modbus-pressure.ini");
  const Outcome run = cli({"--user", "specialist", "connect", "view", "function", "select", "measurement_menu",
                           "watch", "1", "select", "configuration_menu", "watch", "5"});
  ASSERT_EQ(run.status, 0) << run.err;
  Lines pressure;
  std::istringstream out(run.out);
  for (std::string line; std::getline(out, line);) {
    if (line.rfind("0\tPressure\t", 0) == 0) pressure.push_back(line);
    EXPECT_EQ(line.find("Damping"), std::string::npos) << "nothing of the configuration changes: " << line;
  }
  // A sine with noise, read without pause for a second.
  EXPECT_GE(pressure.size(), 3u) << run.out;
  for (size_t i = 1; i < pressure.size(); ++i) EXPECT_NE(pressure[i], pressure[i - 1]) << "only changes are printed";
  for (const std::string& line : pressure) EXPECT_NE(line.find("\tkPa\tLoaded"), std::string::npos) << line;
  EXPECT_EQ(run.err, "");
}

TEST_F(MonitorCommands, WatchEndsAtTheFirstFailedReadWithOneMessage) {
  plug("modbus", 1, "modbus-pressure.ini");
  replug("modbus-pressure.ini", "[DEVICE PT-MB]", "[FAULTS]\nlost = exception=4,function=4,after=8\n[DEVICE PT-MB]");
  const Outcome run = cli({"--user", "specialist", "connect", "view", "function", "select", "measurement_menu",
                           "watch", "20"});
  EXPECT_EQ(run.status, 1);
  // The link's message and the transfer's in one box, once.
  EXPECT_EQ(run.err, "Error: Slave device error!\nError: Read variable \"Sensor temperature\" failed!\n");
}

}  // namespace
}  // namespace tavrin::cli::testing
