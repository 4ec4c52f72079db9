// The procedures over the real Profibus driver against tavrin-sim: the
// shipped profile of 32 calibratable transmitters on a plant file, moved by
// the test between the points as a test bench or a chamber would be.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/links.h"
#include "calibration/linearization.h"
#include "calibration/temperature_compensation.h"
#include "fixture.h"
#include "program_folder.h"
#include "sim/profile.h"
#include "sim/values.h"

namespace tavrin::calibration {
namespace {

using app::testing::realDrivers;
using app::testing::Simulator;
using testing::Lines;
using ::testing::HasSubstr;

const std::string kProfile = TAVRIN_SOURCE_DIR "sim/profiles/profibus-calibration.ini";
constexpr double kSpan = 200;  // kPa, the transmitters' span
constexpr double kAccuracy = 0.0005 * kSpan;

// The shipped profile cut after its first `count` transmitters.
std::string firstTransmitters(int count) {
  std::ifstream in(kProfile);
  std::string text, line;
  int sections = 0;
  while (std::getline(in, line)) {
    if (line.starts_with("[DEVICE") && ++sections > count) break;
    text += line + "\n";
  }
  return text;
}

// A transmitter of a saved (or shipped) profile, put on a plant of the
// test's own to see what it would output.
class Bench {
 public:
  explicit Bench(const std::string& profileText) {
    std::string why;
    auto p = sim::parseProfile(profileText, sim::Bus::Profibus, &why);
    EXPECT_TRUE(p) << why;
    if (p) profile_ = std::make_unique<sim::Profile>(std::move(*p));
    for (auto& d : devices()) {
      d.setPlant(&plant_);
      d.disableNoise();
    }
  }
  std::vector<sim::PaTransmitter>& devices() { return profile_->setup.profibus; }
  double output(size_t device, double pressure, double temperature) {
    plant_.set(pressure, temperature);
    auto read = devices().at(device).read(1, 26, 4, 0);
    return sim::decodeValue(sim::Encoding::F32, std::get<sim::Bytes>(read).data());
  }

 private:
  std::unique_ptr<sim::Profile> profile_;
  testing::ManualPlant plant_;
};

class EndToEndTest : public ::testing::Test {
 protected:
  ~EndToEndTest() override { links.unbind(); }

  void start(int port, const std::string& profile, const Lines& faults = {}) {
    port_ = port;
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=PROFIBUS\nPORT=" + std::to_string(port) +
                                "\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n");
    movePlant(0, 20);
    Lines extra{"--plant", data.file("plant.ini"), "--no-noise", "--save", data.file("saved.ini"),
                "--trace", data.file("trace.txt")};
    for (const auto& f : faults) extra.insert(extra.end(), {"--fault", f});
    sim = std::make_unique<Simulator>("profibus", folder.portLink(port), profile, extra);
    ASSERT_TRUE(sim->ready());
    links.bind();
  }
  // What the chamber and the pressure reference apply, in one rename.
  void movePlant(double pressure, double temperature) {
    std::ostringstream text;
    text.precision(17);
    text << "[PLANT]\nPRESSURE = " << pressure << "\nTEMPERATURE = " << temperature << "\n";
    data.write("plant.new", text.str());
    std::filesystem::rename(data.file("plant.new"), data.file("plant.ini"));
  }
  template <class P>
  void prepare(P& p) {
    p.setObserver(&observer);
    p.setLiveReader(live.reader());
    p.setPause([](std::chrono::milliseconds) {});
  }
  template <class P>
  void search(P& p, int expected) {
    ASSERT_TRUE(p.search());
    p.wait();
    int found = 0;
    for (const Station& s : p.stations()) found += s.identification.empty() ? 0 : 1;
    ASSERT_EQ(found, expected);
  }
  template <class P>
  static Lines indicators(P& p, int count) {
    Lines out;
    const Stations s = p.stations();
    for (int a = 0; a < count; ++a) out.push_back(std::string(indicatorName(s[static_cast<size_t>(a)].indicator)));
    return out;
  }
  // The simulator ends and writes its memory: the profile it saved.
  std::string stop() {
    links.profibus().close();
    sim.reset();
    return data.read("saved.ini");
  }
  // The DPV1 writes of the trace (telegram bytes), from the line `from` on.
  Lines tracedWrites(size_t from = 0) const {
    Lines found;
    std::istringstream in(data.read("trace.txt"));
    size_t n = 0;
    for (std::string line; std::getline(in, line); ++n) {
      if (n < from) continue;
      std::istringstream words(line);
      std::string time, kind;
      words >> time >> kind;
      std::string rest;
      std::getline(words, rest);
      if (kind == "request" && rest.size() > 30 && rest.substr(28, 2) == "5F") found.push_back(rest);
    }
    return found;
  }
  size_t traceLines() const {
    std::istringstream in(data.read("trace.txt"));
    size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
  }
  double outputOverTheBus(int address) {
    links.setBusAddress(static_cast<uint8_t>(address));
    std::array<uint8_t, 4> bytes{};
    size_t received = 0;
    uint8_t status = 0;
    EXPECT_TRUE(links.profibus().quietRead(1, 26, 4, bytes, received, status));
    return sim::decodeValue(sim::Encoding::F32, bytes.data());
  }

  app::testing::TestProgramFolder& folder = realDrivers();
  tavrin::testing::TempDir data;
  ui::FakeUserInterface ui;
  app::DeviceLinks links{folder.files(), ui};
  LinkBus bus{links};
  testing::RecordingObserver observer;
  testing::ScriptedLiveReader live;
  std::unique_ptr<Simulator> sim;
  int port_ = 0;
};

TEST_F(EndToEndTest, FivePointLinearizationOfThirtyTwoTransmitters) {
  start(71, kProfile);
  links.setBusAddress(12);
  Linearization lin(bus, TrimDatabase(data.file("DataBase/")), ui);
  prepare(lin);
  search(lin, 32);
  EXPECT_EQ(lin.stations()[17].identification, "CAL2406-0017");

  const double points[] = {0, 50, 100, 150, 200};
  ASSERT_TRUE(lin.selectCount(5));
  for (int n = 0; n < 5; ++n) ASSERT_TRUE(lin.setReference(n, std::to_string(static_cast<int>(points[n]))));
  for (int n = 0; n < 5; ++n) {
    movePlant(points[n], 20);
    ASSERT_TRUE(lin.collect(n)) << "point " << n + 1;
  }
  ASSERT_TRUE(lin.download());
  lin.wait();
  EXPECT_EQ(indicators(lin, 32), Lines(32, "success"));
  movePlant(150, 20);
  EXPECT_NEAR(outputOverTheBus(5), 150, kAccuracy) << "the transmitter itself";
  EXPECT_NEAR(outputOverTheBus(30), 150, kAccuracy);
  ASSERT_TRUE(lin.close());
  EXPECT_EQ(links.busAddress(), 12);
  EXPECT_TRUE(ui.errors().empty()) << ::testing::PrintToString(ui.errors());

  const std::string saved = stop();
  Bench after(saved);
  Bench before(firstTransmitters(32));
  ASSERT_EQ(after.devices().size(), 32u);
  for (size_t d = 0; d < 32; ++d) {
    ASSERT_EQ(std::get<sim::Bytes>(after.devices()[d].read(3, 34, 1, 0)), sim::Bytes{5}) << "saved memory, device " << d;
    for (double p : points) EXPECT_NEAR(after.output(d, p, 20), p, kAccuracy) << "device " << d << " at " << p;
    for (double p : {25.0, 75.0, 125.0, 175.0}) {
      const double trimmed = std::abs(after.output(d, p, 20) - p);
      const double untrimmed = std::abs(before.output(d, p, 20) - p);
      EXPECT_LT(trimmed, untrimmed) << "device " << d << " between the points at " << p;
    }
  }
}

TEST_F(EndToEndTest, ThreeByTwoTemperatureCompensationOfThirtyTwoTransmitters) {
  start(72, kProfile);
  TemperatureCompensation temp(bus, TrimDatabase(data.file("DataBase/")), ui);
  prepare(temp);
  search(temp, 32);
  ASSERT_TRUE(temp.selectCounts(3, 2));
  const double temperatures[] = {0, 25, 50};
  const double pressures[] = {0, 200};
  for (int t = 0; t < 3; ++t) ASSERT_TRUE(temp.setReferenceTemperature(t, std::to_string(static_cast<int>(temperatures[t]))));
  for (int p = 0; p < 2; ++p) ASSERT_TRUE(temp.setReferencePressure(p, std::to_string(static_cast<int>(pressures[p]))));
  for (int t = 0; t < 3; ++t) {
    for (int p = 0; p < 2; ++p) {
      movePlant(pressures[p], temperatures[t]);
      ASSERT_TRUE(temp.collect(gridPoint(t, p))) << "grid point " << gridPoint(t, p) + 1;
    }
  }
  const size_t traced = traceLines();
  ASSERT_TRUE(temp.download());
  temp.wait();
  EXPECT_EQ(indicators(temp, 32), Lines(32, "success"));
  // Each transmitter got rows 0 to 2 (indexes 0x2E to 0x30) and no others.
  int rowWrites[5] = {};
  for (const std::string& w : tracedWrites(traced)) {
    const int index = std::stoi(w.substr(34, 2), nullptr, 16);
    if (index >= 46 && index <= 50) ++rowWrites[index - 46];
  }
  EXPECT_EQ(std::vector<int>(rowWrites, rowWrites + 5), (std::vector<int>{32, 32, 32, 0, 0}));
  ASSERT_TRUE(temp.close());
  EXPECT_TRUE(ui.errors().empty()) << ::testing::PrintToString(ui.errors());

  Bench after(stop());
  Bench before(firstTransmitters(32));
  for (size_t d = 0; d < 32; ++d) {
    ASSERT_EQ(std::get<sim::Bytes>(after.devices()[d].read(3, 39, 1, 0)), sim::Bytes{3}) << "saved memory";
    for (double t : temperatures)
      for (double p : pressures) EXPECT_NEAR(after.output(d, p, t), p, kAccuracy) << "device " << d << " " << p << " at " << t;
    for (const auto& [p, t] : {std::pair{100.0, 25.0}, std::pair{100.0, 12.5}, std::pair{60.0, 40.0}}) {
      const double trimmed = std::abs(after.output(d, p, t) - p);
      const double untrimmed = std::abs(before.output(d, p, t) - p);
      EXPECT_LT(trimmed, untrimmed) << "device " << d << " between the points at " << p << " kPa, " << t << " C";
    }
  }
}

TEST_F(EndToEndTest, AStoppedLinearizationContinuedInANewRunDownloadsWhatOneRunWould) {
  data.write("three.ini", firstTransmitters(3));
  start(73, data.file("three.ini"));
  const double points[] = {0, 40, 90, 150, 200};
  auto collect = [&](Linearization& lin, int n) {
    movePlant(points[n], 20);
    ASSERT_TRUE(lin.collect(n));
  };
  size_t stoppedRun = 0;
  {
    auto first = std::make_unique<Linearization>(bus, TrimDatabase(data.file("A/")), ui);
    prepare(*first);
    search(*first, 3);
    ASSERT_TRUE(first->selectCount(5));
    for (int n = 0; n < 5; ++n) ASSERT_TRUE(first->setReference(n, std::to_string(static_cast<int>(points[n]))));
    for (int n = 0; n < 3; ++n) collect(*first, n);
    first.reset();  // the program ended after the third point

    Linearization second(bus, TrimDatabase(data.file("A/")), ui);
    prepare(second);
    search(second, 3);
    ASSERT_TRUE(second.resume());
    EXPECT_EQ(second.state().count, 5);
    EXPECT_EQ(second.state().references[4], "200");
    for (int n = 3; n < 5; ++n) collect(second, n);
    stoppedRun = traceLines();
    ASSERT_TRUE(second.download());
    second.wait();
    EXPECT_EQ(indicators(second, 3), Lines(3, "success"));
  }
  const Lines continued = tracedWrites(stoppedRun);

  Linearization once(bus, TrimDatabase(data.file("B/")), ui);
  prepare(once);
  search(once, 3);
  ASSERT_TRUE(once.selectCount(5));
  for (int n = 0; n < 5; ++n) ASSERT_TRUE(once.setReference(n, std::to_string(static_cast<int>(points[n]))));
  for (int n = 0; n < 5; ++n) collect(once, n);
  const size_t oneRun = traceLines();
  ASSERT_TRUE(once.download());
  once.wait();
  EXPECT_EQ(continued.size(), 18u);
  EXPECT_EQ(tracedWrites(oneRun), continued) << "the same telegrams";
  EXPECT_EQ(data.read("A/CAL2406-0001.db"), data.read("B/CAL2406-0001.db"));
}

TEST_F(EndToEndTest, ATransmitterThatStopsAnsweringMidDownloadFailsAlone) {
  data.write("three.ini", firstTransmitters(3));
  start(74, data.file("three.ini"),
        {"no-reply,device=1,service=write,after=2", "negative=80B600,device=2,service=write,slot=3,index=36"});
  Linearization lin(bus, TrimDatabase(data.file("DataBase/")), ui);
  prepare(lin);
  search(lin, 3);
  ASSERT_TRUE(lin.selectCount(2));
  ASSERT_TRUE(lin.setReference(0, "0"));
  ASSERT_TRUE(lin.setReference(1, "200"));
  movePlant(0, 20);
  ASSERT_TRUE(lin.collect(0));
  movePlant(200, 20);
  ASSERT_TRUE(lin.collect(1));
  ASSERT_TRUE(lin.download());
  lin.wait();
  EXPECT_EQ(indicators(lin, 3), (Lines{"success", "error", "error"}));
  Lines failures;
  for (const LogLine& l : lin.log())
    if (l.error) failures.push_back(l.text);
  EXPECT_EQ(failures, (Lines{"Linearization of address 1 failed, cause: No response from slave!",
                             "Linearization of address 2 failed, cause: Access error : Access denied!"}));
  EXPECT_TRUE(ui.errors().empty()) << "the quiet writes show no box";
  movePlant(100, 20);
  EXPECT_NEAR(outputOverTheBus(0), 100, 0.5) << "the first one is trimmed";
}

}  // namespace
}  // namespace tavrin::calibration
