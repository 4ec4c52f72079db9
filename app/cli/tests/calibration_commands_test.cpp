// The lin-* and temp-* commands of tavrin-cli against tavrin-sim with the
// first transmitters of the calibration profile on a plant file.
#include <fstream>

#include "cli_harness.h"

namespace tavrin::cli {
namespace {

using Lines = std::vector<std::string>;
using testing::contentsOf;
using testing::Outcome;

class CalibrationCommands : public testing::CliHarness {
 protected:
  CalibrationCommands() {
    std::ifstream in(TAVRIN_SOURCE_DIR "sim/profiles/profibus-calibration.ini");
    std::string text;
    int sections = 0;
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("[DEVICE") && ++sections > 3) break;
      text += line + "\n";
    }
    folder.write("three.ini", text);
  }
  void plugThree() {
    folder.write("com.ini",
                 "[COMMUNICATION]\nTYPE=PROFIBUS\nPORT=5\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\n"
                 "FLOWCTRL=0\n[PROFIBUS_ADDR]\nADDRESS=0\n");
    movePlant(0, 20);
    sim = std::make_unique<testing::Simulator>(
        "profibus", folder.portLink(5), folder.file("three.ini"),
        Lines{"--plant", folder.file("plant.ini"), "--no-noise", "--trace", folder.file("trace.txt")});
    ASSERT_TRUE(sim->ready());
  }
  void movePlant(double pressure, double temperature) {
    folder.write("plant.new", "[PLANT]\nPRESSURE=" + std::to_string(pressure) +
                                  "\nTEMPERATURE=" + std::to_string(temperature) + "\n");
    std::filesystem::rename(folder.file("plant.new"), folder.file("plant.ini"));
  }
  static Lines matching(const Outcome& r, const std::string& part) {
    Lines out;
    for (const std::string& l : r.outLines())
      if (has(l, part)) out.push_back(l);
    return out;
  }
};

TEST_F(CalibrationCommands, ALinearizationScriptedOverTwoRunsWithoutConnect) {
  plugThree();
  Outcome r = cli({"--yes", "lin-search", "lin-points", "2", "lin-ref", "1", "0", "lin-ref", "2", "200", "lin-collect",
                   "1", "lin-status"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Lines out = r.outLines();
  ASSERT_GE(out.size(), 32u + 3 + 1 + 32 + 2);
  EXPECT_EQ(out[0], "1---Address 0 transmitter is found!");
  EXPECT_EQ(out[3], "4---Cannot find address 3 transmitter!");
  EXPECT_EQ(out[32], "33---Address 0 transmitter collect 1 value: 0.150000") << "the live reading, three decimals";
  EXPECT_EQ(out[34], "35---Address 2 transmitter collect 1 value: 0.190000");
  EXPECT_EQ(out[35], "points\t2");
  EXPECT_EQ(out[36], "address\t0\tsuccess\tCAL2406-0000");
  EXPECT_EQ(out[39], "address\t3\tvacant\t");
  EXPECT_EQ(out[out.size() - 2], "point\t1\t0\tcollected");
  EXPECT_EQ(out.back(), "point\t2\t200\tnot collected");
  EXPECT_TRUE(has(r.err, "Linear collect value (address 0): Value 0.150")) << r.err;
  EXPECT_EQ(contentsOf(folder.file("DataBase/CAL2406-0001.db")),
            "[Linearization]\nTrimPoints=2\nTrimed_Data_0=0\nTrimed_Data_1=200\nCollection_Data_0=-0.170000\n");

  // Another day: the program finds its place in the databases.
  movePlant(200, 20);
  r = cli({"--yes", "lin-search", "lin-continue", "lin-collect", "2", "lin-download"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(matching(r, "Linearization is OK"),
            (Lines{"41---Linearization is OK in address 0", "47---Linearization is OK in address 1",
                   "53---Linearization is OK in address 2"}));
  EXPECT_EQ(matching(r, "Address 1 line trim data"), Lines{"43---Address 1 line trim data"});
  EXPECT_EQ(writes(false).size(), 18u) << "six writes per transmitter";

  // Without --yes and a person, the live reading is cancelled.
  r = cli({"lin-search", "lin-continue", "lin-collect", "1"});
  EXPECT_EQ(r.status, 1);
  r = cli({"lin-collect", "22"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: \"22\" is not a point from 1 to 21!")) << r.err;
  r = cli({"--user", "maintenance", "--offline", TAVRIN_DIST_DIR "Profibus/01720A3101020001.bin", "lin-search"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: There is no bus when working offline!")) << r.err;
}

TEST_F(CalibrationCommands, TheCalibrationMethodReadsTheCommandsFromItsInput) {
  plugThree();
  ASSERT_EQ(cli({"--yes", "lin-search", "lin-points", "2", "lin-ref", "1", "0", "lin-ref", "2", "200", "lin-collect", "1"})
                .status,
            0);
  movePlant(200, 20);
  folder.write("input.txt", "# the rest of the calibration\nlin-search\n\nlin-continue\nlin-collect 2\nlin-download\n");
  Outcome r = cli({"--yes", "--user", "specialist", "connect", "view", "calibration", "run", "batch_linearization",
                   "get", "linearization_points"},
                  folder.file("input.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(matching(r, "Linearization is OK").size(), 3u) << r.out;
  EXPECT_EQ(r.outLines().back().substr(0, 1), "2") << "the method read its transmitter again: 2 points";

  folder.write("input.txt", "lin-search\ntemp-search\nlin-status\n");
  r = cli({"--yes", "--user", "specialist", "connect", "view", "calibration", "run", "batch_linearization"},
          folder.file("input.txt"));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "Error: \"temp-search\" is no command of this calibration!")) << r.err;
  EXPECT_TRUE(matching(r, "points\t").empty()) << "nothing after the failure";
}

TEST_F(CalibrationCommands, TemperatureCompensationCommands) {
  plugThree();
  movePlant(100, 10);
  Outcome r = cli({"--yes", "temp-search", "temp-points", "2", "1", "temp-ref-temp", "1", "10", "temp-ref-temp", "2",
                   "30", "temp-ref-pres", "1", "100", "temp-collect", "1", "temp-save", folder.file("grid.szz"),
                   "temp-status"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.outLines()[0], "1---The transmitter test OK in address 0!");
  EXPECT_EQ(r.outLines()[3], "4---Cannot find the transmitter in address 3");
  EXPECT_EQ(matching(r, "collection point 1:").size(), 3u);
  EXPECT_TRUE(has(r.err, "Temperature trim collect (address 0): Temperature 10.00 *C Pressure ")) << r.err;
  EXPECT_TRUE(has(r.err, " KPa")) << r.err;
  const Lines out = r.outLines();
  const Lines tail(out.end() - 6, out.end());
  EXPECT_EQ(tail, (Lines{"address\t31\tvacant\t", "temperature\t1\t10", "temperature\t2\t30", "pressure\t1\t100",
                         "point\t1\tcollected", "point\t6\tnot collected"}));
  EXPECT_TRUE(has(contentsOf(folder.file("grid.szz")), "TEMP_POINTS=2\nPRES_POINTS=1\n"));

  // The stored counts ask first; without a person the answer is No.
  r = cli({"temp-search", "temp-points", "3", "1", "temp-status"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.err, "WARNING: There are current transmitter trim data in database")) << r.err;
  EXPECT_EQ(matching(r, "points\t"), Lines{"points\t2\t1"}) << "back to the stored counts";
  r = cli({"temp-collect", "26"});
  EXPECT_EQ(r.status, 1);
}

}  // namespace
}  // namespace tavrin::cli
