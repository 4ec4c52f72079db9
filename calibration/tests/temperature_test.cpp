#include "calibration/temperature_compensation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "fixture.h"

namespace tavrin::calibration {
namespace {

using namespace testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Address a: raw pressure = 0.1 a + (1 + 0.01 a) P + 0.05 (T - 20), raw temperature T.
double rawPressure(int a, double p, double t) { return 0.1 * a + (1 + 0.01 * a) * p + 0.05 * (t - 20); }

class TemperatureTest : public ::testing::Test {
 protected:
  TemperatureTest() : bus(profileOf({3, 7})) { reopen(); }

  void reopen() {
    temp.reset();
    temp = std::make_unique<TemperatureCompensation>(bus, TrimDatabase(dir.path()), ui);
    temp->setObserver(&observer);
    temp->setLiveReader(live.reader());
    temp->setPause([](std::chrono::milliseconds) {});
  }
  void searched() {
    ASSERT_TRUE(temp->search());
    temp->wait();
  }
  // A grid laid out on a fresh database with its references.
  void prepared(int rows, int columns, const std::vector<std::string>& temperatures,
                const std::vector<std::string>& pressures) {
    searched();
    ASSERT_TRUE(temp->selectCounts(rows, columns));
    for (size_t t = 0; t < temperatures.size(); ++t)
      ASSERT_TRUE(temp->setReferenceTemperature(static_cast<int>(t), temperatures[t]));
    for (size_t p = 0; p < pressures.size(); ++p)
      ASSERT_TRUE(temp->setReferencePressure(static_cast<int>(p), pressures[p]));
  }
  bool collectAt(int point, double pressure, double temperature) {
    bus.plant().set(pressure, temperature);
    return temp->collect(point);
  }
  std::string key(const std::string& id, const std::string& name) const {
    return TrimFile::open(dir.file(id + ".db")).get("Temperature_Trim", name);
  }
  void store(const std::string& id, const std::string& lines) { dir.write(id + ".db", "[Temperature_Trim]\n" + lines); }

  tavrin::testing::TempDir dir;
  SimBus bus;
  ui::FakeUserInterface ui;
  RecordingObserver observer;
  ScriptedLiveReader live;
  std::unique_ptr<TemperatureCompensation> temp;
};

TEST_F(TemperatureTest, ThreeByTwoUsesSixPointsAndDownloadsRowsZeroToTwoOnly) {
  prepared(3, 2, {"0", "20", "40"}, {"0", "200"});
  TemperatureCompensationState s = temp->state();
  std::vector<int> used;
  for (int i = 0; i < kGridPoints; ++i)
    if (s.pointEnabled(i)) used.push_back(i);
  EXPECT_EQ(used, (std::vector<int>{0, 1, 5, 6, 10, 11}));

  const double temperatures[] = {0, 20, 40};
  const double pressures[] = {0, 200};
  RewriteCounter rewrites(dir.path());
  for (int t = 0; t < 3; ++t) {
    for (int p = 0; p < 2; ++p) {
      ASSERT_TRUE(collectAt(gridPoint(t, p), pressures[p], temperatures[t]));
      EXPECT_EQ(rewrites.take(), (Lines{"SN-3.db", "SN-7.db"})) << "one atomic rewrite per transmitter and step";
    }
  }
  EXPECT_EQ(key("SN-7", "Collection_Pres_Data_11"), stored(rawPressure(7, 200, 40)));
  EXPECT_EQ(key("SN-7", "Collection_Temp_Data_2"), stored(40));
  EXPECT_EQ(key("SN-7", "Trimed_Temp_Data_2"), "40");
  EXPECT_EQ(key("SN-7", "Trimed_Temp_Data_3"), "") << "empty above the count";
  EXPECT_EQ(key("SN-7", "Trimed_Pres_Data_2"), "");
  EXPECT_EQ(key("SN-7", "TempPoints"), "3");
  EXPECT_EQ(key("SN-7", "PresPoints"), "2");

  bus.clearRequests();
  const size_t before = temp->log().size();
  ASSERT_TRUE(temp->download());
  temp->wait();
  const auto writes = bus.writes();
  EXPECT_EQ(writtenIndexes(writes, 7),
            (Lines{"3 24", "3 28", "3 39", "3 40", "3 41", "3 46", "3 47", "3 48", "3 42", "3 45", "3 28"}));
  EXPECT_EQ(lastWrite(writes, 7, 28)->data, (std::vector<uint8_t>{0x02, 0x03}));
  EXPECT_EQ(lastWrite(writes, 7, 39)->data, std::vector<uint8_t>{3});
  EXPECT_EQ(lastWrite(writes, 7, 40)->data, std::vector<uint8_t>{2});
  const auto row2 = floatsOf(lastWrite(writes, 7, 48)->data);
  ASSERT_EQ(row2.size(), 5u);
  EXPECT_FLOAT_EQ(row2[1], static_cast<float>(rawPressure(7, 200, 40)));
  EXPECT_FLOAT_EQ(row2[2], 0) << "columns beyond the count are 0";
  EXPECT_FLOAT_EQ(floatsOf(lastWrite(writes, 7, 41)->data)[3], 0) << "rows beyond the count are 0";
  EXPECT_FLOAT_EQ(floatsOf(lastWrite(writes, 7, 45)->data)[1], 200);

  Lines report;
  for (const LogLine& l : temp->log())
    if (l.number > static_cast<int>(before) && l.text.find("Addr: 3") == std::string::npos) report.push_back(l.text);
  // The second transmitter's report, as the log shows it.
  const std::string c = "  ";
  auto col = [](const std::string& v) { return reportColumn(v); };
  const std::vector<std::string> expected = {
      std::string(115, '-'),
      "Addr: 7, Temp trim points: 3,  Press trim points: 2",
      "                   press reference value",
      std::string(30, ' ') + col("0.000000") + col("200.000000"),
      "Ref temp     Collect temp     Press collect value",
      col("0.000000") + col("0.000000") + col(stored(rawPressure(7, 0, 0))) + col(stored(rawPressure(7, 200, 0))),
      col("20.000000") + col("20.000000") + col(stored(rawPressure(7, 0, 20))) + col(stored(rawPressure(7, 200, 20))),
      col("40.000000") + col("40.000000") + col(stored(rawPressure(7, 0, 40))) + col(stored(rawPressure(7, 200, 40))),
      std::string(115, '-'),
      "The transmitter in address 7 successed!",
  };
  ASSERT_GE(report.size(), expected.size());
  EXPECT_EQ(Lines(report.end() - static_cast<long>(expected.size()), report.end()), expected);
  EXPECT_EQ(temp->state().stations[7].indicator, Indicator::Success);

  // The transmitter compensates: between the rows and at the columns.
  bus.plant().set(200, 30);
  bus.setAddress(3);
  std::array<uint8_t, 4> out{};
  size_t received = 0;
  ASSERT_TRUE(bus.read(1, 26, out, received));
  EXPECT_NEAR(floatsOf({out.begin(), out.end()})[0], 200, 1e-3);
}

TEST_F(TemperatureTest, TwoRowsAreWrittenEvenWithOnePressurePoint) {
  prepared(2, 1, {"10", "30"}, {"100"});
  ASSERT_TRUE(collectAt(0, 100, 10));
  ASSERT_TRUE(collectAt(5, 100, 30));
  bus.clearRequests();
  ASSERT_TRUE(temp->download());
  temp->wait();
  const auto writes = bus.writes();
  EXPECT_EQ(writtenIndexes(writes, 3), (Lines{"3 24", "3 28", "3 39", "3 40", "3 41", "3 46", "3 47", "3 42", "3 45", "3 28"}));
  const auto row1 = floatsOf(lastWrite(writes, 3, 47)->data);
  EXPECT_FLOAT_EQ(row1[0], static_cast<float>(rawPressure(3, 100, 30)));
  EXPECT_FLOAT_EQ(row1[1], 0);
}

TEST_F(TemperatureTest, TheLiveReadingShowsUnitsAndTheRowKeepsItsLatestTemperature) {
  prepared(2, 2, {"20", "40"}, {"0", "100"});
  live.ticks = 2;
  ASSERT_TRUE(collectAt(0, 0, 19.5));
  ASSERT_EQ(live.dialogs.size(), 1u);
  EXPECT_EQ(live.dialogs[0].caption, "Temperature trim collect");
  EXPECT_EQ(live.dialogs[0].address, 3);
  const LiveSample& sample = live.samples.back();
  ASSERT_EQ(sample.fields.size(), 2u);
  EXPECT_EQ(sample.fields[0].value, "19.50");
  EXPECT_EQ(sample.fields[0].unit, "*C");
  EXPECT_EQ(sample.fields[1].value, formatFixed(static_cast<float>(rawPressure(3, 0, 19.5))));
  EXPECT_EQ(sample.fields[1].unit, "KPa");
  int unitReads = 0;
  for (const Request& r : bus.requests())
    if (r.kind == Request::Kind::Read && (r.index == 106 || r.index == 32)) ++unitReads;
  EXPECT_EQ(unitReads, 2) << "the units are read until the second one has been read once";

  ASSERT_TRUE(collectAt(1, 100, 20.25));
  EXPECT_EQ(key("SN-3", "Collection_Temp_Data_0"), stored(20.25)) << "the later collection of the row";
  EXPECT_EQ(key("SN-3", "Collection_Pres_Data_0"), stored(rawPressure(3, 0, 19.5)));
  EXPECT_THAT(temp->log().back().text,
              "Address 7, collection point 2: the temp collect value: " + stored(20.25) +
                  "; press collect value: " + stored(rawPressure(7, 100, 20.25)));

  // A live reading whose pair was never read in full collects nothing.
  bus.failWhen([](const Request& r) { return r.address == 3 && r.index == 37; });
  EXPECT_FALSE(collectAt(5, 0, 40));
  EXPECT_EQ(key("SN-3", "Collection_Pres_Data_5"), "");
  EXPECT_EQ(key("SN-3", "Collection_Temp_Data_1"), "");
  EXPECT_EQ(key("SN-7", "Collection_Pres_Data_5"), stored(rawPressure(7, 0, 40)));
  Lines errors;
  for (const LogLine& l : temp->log())
    if (l.error) errors.push_back(l.text);
  EXPECT_EQ(errors, Lines{"Temperature compensation collection point 6 of address 3 error!"});
}

TEST_F(TemperatureTest, StoredCountsAskBeforeTheTrimStartsAgain) {
  prepared(3, 2, {"0", "20", "40"}, {"0", "200"});
  ASSERT_TRUE(collectAt(0, 0, 0));
  ASSERT_TRUE(collectAt(1, 200, 0));
  const std::string stored3 = dir.read("SN-3.db");

  // No to the first question: both lists show the stored counts again.
  ui.answer(ui::Answer::No);
  ASSERT_TRUE(temp->selectCounts(4, 3));
  TemperatureCompensationState s = temp->state();
  EXPECT_EQ(s.temperatureCount, 3);
  EXPECT_EQ(s.pressureCount, 2);
  EXPECT_FALSE(s.rowEnabled[3]);
  EXPECT_EQ(dir.read("SN-3.db"), stored3) << "nothing changed";
  EXPECT_TRUE(s.collected[0]);

  // Yes, then No: as No.
  ui.answer(ui::Answer::Yes).answer(ui::Answer::No);
  ASSERT_TRUE(temp->selectTemperatureCount(2));
  EXPECT_EQ(temp->state().temperatureCount, 3);
  EXPECT_EQ(dir.read("SN-3.db"), stored3);

  // Yes twice: the new counts, and the old collections are gone.
  ui.answer(ui::Answer::Yes).answer(ui::Answer::Yes);
  RewriteCounter rewrites(dir.path());
  ASSERT_TRUE(temp->selectCounts(2, 3));
  EXPECT_EQ(rewrites.take(), Lines{"SN-3.db"}) << "the reset is one rewrite";
  s = temp->state();
  EXPECT_EQ(s.temperatureCount, 2);
  EXPECT_EQ(s.pressureCount, 3);
  EXPECT_TRUE(s.rowEnabled[1] && !s.rowEnabled[2] && s.columnEnabled[2]);
  EXPECT_THAT(s.collected, ::testing::Each(false));
  EXPECT_EQ(key("SN-3", "TempPoints"), "2");
  EXPECT_EQ(key("SN-3", "PresPoints"), "3");
  EXPECT_EQ(key("SN-3", "Collection_Pres_Data_0"), "");
  EXPECT_EQ(key("SN-3", "Collection_Temp_Data_0"), "");
  EXPECT_EQ(key("SN-7", "Collection_Pres_Data_0"), stored(rawPressure(7, 0, 0))) << "only the first database";
  EXPECT_THAT(ui.messages(),
              ElementsAre(HasSubstr("There are current transmitter trim data in database"),
                          HasSubstr("There are current transmitter trim data in database"),
                          "WARNING: Are you enusre to reset current trim data, The temp trim will be done again?",
                          HasSubstr("There are current transmitter trim data in database"),
                          "WARNING: Are you enusre to reset current trim data, The temp trim will be done again?"));
  EXPECT_EQ(ui.messages()[0],
            "WARNING: There are current transmitter trim data in database, whether or not do temp "
            "compensation?\r\n(No, then choose 'continue trim', Yes, do trim again)");

  // Continue cannot mark the stale points collected.
  reopen();
  searched();
  ASSERT_TRUE(temp->resume());
  EXPECT_THAT(temp->state().collected, ::testing::Each(false));
  EXPECT_EQ(temp->state().temperatures[1], "20");
}

TEST_F(TemperatureTest, IllegalStoredCountsAreResetOnlyWhenConfirmed) {
  searched();
  store("SN-3", "TempPoints=9\nPresPoints=2\n");
  ui.answer(ui::Answer::No);
  ASSERT_TRUE(temp->selectCounts(2, 2));
  EXPECT_EQ(key("SN-3", "TempPoints"), "9");
  ui.answer(ui::Answer::Yes);
  ASSERT_TRUE(temp->selectPressureCount(1));
  EXPECT_EQ(key("SN-3", "TempPoints"), "");
  EXPECT_EQ(key("SN-3", "PresPoints"), "");
  EXPECT_TRUE(temp->state().rowEnabled[1]);
  EXPECT_FALSE(temp->state().columnEnabled[1]);
  EXPECT_THAT(ui.messages(), ElementsAre("WARNING: Temperature trim points are illegal, Reset?",
                                         "WARNING: Temperature trim points are illegal, Reset?"));

  // One empty key: the grid is laid out without a question.
  store("SN-3", "TempPoints=3\n");
  ASSERT_TRUE(temp->selectCounts(4, 4));
  EXPECT_TRUE(temp->state().rowEnabled[3]);
  EXPECT_EQ(ui.messages().size(), 2u);
}

TEST_F(TemperatureTest, ContinueDownloadAndCollectRefuseWhatCannotBeSent) {
  searched();
  store("SN-3", "TempPoints=2\nPresPoints=7\n");
  EXPECT_FALSE(temp->resume());
  EXPECT_THAT(ui.errors(), ElementsAre("Error: The temp. points is illegal in address 3!"));
  ui.clearRecord();
  EXPECT_FALSE(temp->collect(0)) << "no counts yet, the button is there";
  EXPECT_FALSE(temp->download());
  EXPECT_THAT(ui.errors(), ElementsAre("Error: Please input referenced temperature value!",
                                       "Error: Please select trim points or continue the uncompleted calibration!"));

  // Databases that cannot be downloaded fail their own transmitter.
  store("SN-3",
        "TempPoints=2\nPresPoints=1\nTrimed_Temp_Data_0=0\nTrimed_Temp_Data_1=40\nTrimed_Pres_Data_0=100\n"
        "Collection_Temp_Data_0=0\nCollection_Temp_Data_1=40\nCollection_Pres_Data_0=100\nCollection_Pres_Data_5=101\n");
  const std::string good = dir.read("SN-3.db");
  dir.write("SN-7.db", good);
  ASSERT_TRUE(temp->resume());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"PresPoints=0", "Address 7 temp trim points are illegal!"},
      {"PresPoints=6", "Address 7 temp trim points are illegal!"},
      {"TempPoints=1", "Address 7 temp trim points are illegal!"},
      {"Collection_Temp_Data_1=", "Address 7 temp point 1 collect value is illegal!"},
      {"Collection_Pres_Data_5=", "Address 7 press collect value is illegal!"},
      {"Trimed_Pres_Data_0=", "Address 7 press reference value is illegal!"},
  };
  for (const auto& [change, message] : cases) {
    TrimFile f = TrimFile::open(dir.file("SN-7.db"));
    dir.write("SN-7.db", good);
    f = TrimFile::open(dir.file("SN-7.db"));
    const auto eq = change.find('=');
    f.set("Temperature_Trim", change.substr(0, eq), change.substr(eq + 1));
    ASSERT_TRUE(f.save());
    bus.clearRequests();
    const size_t before = temp->log().size();
    ASSERT_TRUE(temp->download());
    temp->wait();
    EXPECT_TRUE(writtenIndexes(bus.writes(), 7).empty()) << message;
    EXPECT_EQ(writtenIndexes(bus.writes(), 3).size(), 10u);
    Lines errors;
    for (const LogLine& l : temp->log())
      if (l.number > static_cast<int>(before) && l.error) errors.push_back(l.text);
    EXPECT_EQ(errors, Lines{message});
  }
}

TEST_F(TemperatureTest, ACollectionWithoutBothCountsReadsAndStoresNothing) {
  searched();
  // After the search every field and button is there until the counts lay the grid out.
  ASSERT_TRUE(temp->setReferenceTemperature(0, "20"));
  ASSERT_TRUE(temp->setReferencePressure(0, "0"));
  bus.clearRequests();
  EXPECT_FALSE(collectAt(0, 0, 20));
  ASSERT_TRUE(temp->selectTemperatureCount(2));
  EXPECT_FALSE(collectAt(0, 0, 20));
  EXPECT_THAT(ui.errors(), ElementsAre("Error: Illegal temperature points!", "Error: Illegal pressure points!"));
  EXPECT_TRUE(bus.requests().empty());
  EXPECT_TRUE(live.dialogs.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("SN-3.db")));
  EXPECT_EQ(temp->log().size(), 32u);
}

TEST_F(TemperatureTest, WhileTheDownloadRunsTheGridListsAndFilesAreRefused) {
  prepared(2, 1, {"10", "30"}, {"100"});
  ASSERT_TRUE(collectAt(0, 100, 10));
  ASSERT_TRUE(collectAt(5, 100, 30));
  bus.hold();
  ASSERT_TRUE(temp->download());
  EXPECT_TRUE(temp->running()) << "set before the worker started";
  EXPECT_EQ(observer.running.at(0).second, std::this_thread::get_id());
  bus.waitUntilHeld();
  ui.clearRecord();
  const std::string before = dir.read("SN-3.db");
  EXPECT_FALSE(temp->collect(0));
  EXPECT_FALSE(temp->resume());
  EXPECT_FALSE(temp->selectCounts(3, 1));
  EXPECT_FALSE(temp->selectTemperatureCount(3));
  EXPECT_FALSE(temp->selectPressureCount(2));
  EXPECT_FALSE(temp->loadReferences(dir.file("grid.szz")));
  EXPECT_FALSE(temp->saveReferences(dir.file("grid.szz")));
  EXPECT_FALSE(temp->search());
  EXPECT_FALSE(temp->download());
  EXPECT_FALSE(temp->close());
  Lines refusals(9, "Error: The program is running, the operation isn't allowed!");
  refusals.push_back("Error: The program is running, please shut down this function later!");
  EXPECT_EQ(ui.errors(), refusals);
  EXPECT_EQ(ui.messages().size(), refusals.size()) << "no question asked";
  bus.release();
  temp->wait();
  EXPECT_FALSE(std::filesystem::exists(dir.file("grid.szz")));
  EXPECT_EQ(dir.read("SN-3.db"), before);
  const TemperatureCompensationState s = temp->state();
  EXPECT_EQ(s.temperatureCount, 2);
  EXPECT_EQ(s.pressureCount, 1);
  EXPECT_EQ(s.stations[3].indicator, Indicator::Success);
  EXPECT_EQ(s.stations[7].indicator, Indicator::Success);
  EXPECT_TRUE(temp->close());
}

TEST_F(TemperatureTest, ReferencePointsRoundTripThroughTheirFile) {
  prepared(3, 2, {"-10", "25", "60"}, {"0", "250.5"});
  ui.pickFile(dir.file("grid.szz"));
  ASSERT_TRUE(temp->saveReferences());
  const std::string text = dir.read("grid.szz");
  EXPECT_NE(text.find("[Temperature_Trim]\nTEMP_POINTS=3\nPRES_POINTS=2\nTrimedTempValue0=-10\n"), std::string::npos) << text;
  EXPECT_NE(text.find("TrimedPresValue1=250.5\n"), std::string::npos) << text;
  reopen();
  searched();
  ASSERT_TRUE(temp->loadReferences(dir.file("grid.szz")));
  const TemperatureCompensationState s = temp->state();
  EXPECT_EQ(s.temperatureCount, 3);
  EXPECT_EQ(s.pressureCount, 2);
  EXPECT_EQ(s.temperatures[2], "60");
  EXPECT_EQ(s.pressures[1], "250.5");
  EXPECT_TRUE(s.pointEnabled(11));
  EXPECT_FALSE(s.pointEnabled(12));
  EXPECT_FALSE(temp->loadReferences(dir.file("none.szz")));
  EXPECT_EQ(ui.errors().size(), 1u);
}

}  // namespace
}  // namespace tavrin::calibration
