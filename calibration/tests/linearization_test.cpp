#include "calibration/linearization.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "fixture.h"

namespace tavrin::calibration {
namespace {

using namespace testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

// Address 3: raw = 0.3 + 1.03 P; address 7: raw = 0.7 + 1.07 P (at 20 degrees).
double raw(int address, double pressure) { return 0.1 * address + (1 + 0.01 * address) * pressure; }

class LinearizationTest : public ::testing::Test {
 protected:
  LinearizationTest() : LinearizationTest(profileOf({3, 7})) {}
  explicit LinearizationTest(const std::string& profile) : bus(profile) {
    bus.setAddress(9);
    reopen();
  }

  // The dialog again, as after the program was ended and started.
  void reopen() {
    lin.reset();
    lin = std::make_unique<Linearization>(bus, TrimDatabase(dir.path()), ui);
    lin->setObserver(&observer);
    lin->setLiveReader(live.reader());
    lin->setPause([this](std::chrono::milliseconds d) { pauses.push_back(d); });
  }
  void searched() {
    ASSERT_TRUE(lin->search());
    lin->wait();
  }
  // Searched, the count chosen and the references typed.
  void prepared(const std::vector<std::string>& references) {
    searched();
    ASSERT_TRUE(lin->selectCount(static_cast<int>(references.size())));
    for (size_t n = 0; n < references.size(); ++n) ASSERT_TRUE(lin->setReference(static_cast<int>(n), references[n]));
  }
  bool collectAt(int point, double pressure) {
    bus.plant().set(pressure, 20);
    return lin->collect(point);
  }
  std::string key(const std::string& id, const std::string& name) const {
    return TrimFile::open(dir.file(id + ".db")).get("Linearization", name);
  }
  void store(const std::string& id, const Lines& lines) {
    std::string text = "[Linearization]\n";
    for (const auto& l : lines) text += l + "\n";
    dir.write(id + ".db", text);
  }
  Lines logSince(size_t from) const {
    Lines out;
    const auto all = lin->log();
    for (size_t i = from; i < all.size(); ++i) out.push_back(all[i].shown());
    return out;
  }
  int reads(int address, int index) const {
    int n = 0;
    for (const Request& r : bus.requests())
      if (r.kind == Request::Kind::Read && r.address == address && r.slot == 3 && r.index == index) ++n;
    return n;
  }

  tavrin::testing::TempDir dir;
  SimBus bus;
  ui::FakeUserInterface ui;
  RecordingObserver observer;
  ScriptedLiveReader live;
  std::vector<std::chrono::milliseconds> pauses;
  std::unique_ptr<Linearization> lin;
};

TEST_F(LinearizationTest, OpensDisabledAndTheSearchFindsTheTransmitters) {
  LinearizationState s = lin->state();
  for (const Station& st : s.stations) EXPECT_EQ(st.indicator, Indicator::Online);
  EXPECT_EQ(s.count, 0);
  EXPECT_THAT(s.collected, ::testing::Each(false));
  EXPECT_THAT(s.rowEnabled, ::testing::Each(false));
  EXPECT_FALSE(s.buttons.countLists || s.buttons.download || s.buttons.resume || s.buttons.files);
  EXPECT_EQ(lin->rememberedAddress(), 9);

  searched();
  s = lin->state();
  const auto log = lin->log();
  ASSERT_EQ(log.size(), 32u);
  EXPECT_EQ(log[0].shown(), "1---Cannot find address 0 transmitter!");
  EXPECT_EQ(log[3].shown(), "4---Address 3 transmitter is found!");
  EXPECT_EQ(log[7].shown(), "8---Address 7 transmitter is found!");
  EXPECT_EQ(log[31].shown(), "32---Cannot find address 31 transmitter!");
  EXPECT_FALSE(log[0].error);
  EXPECT_EQ(s.stations[3].identification, "SN-3") << "the blanks that pad it are dropped";
  EXPECT_EQ(s.stations[7].identification, "SN-7");
  EXPECT_EQ(s.stations[3].indicator, Indicator::Online);
  EXPECT_EQ(s.stations[4].indicator, Indicator::Vacant);
  EXPECT_TRUE(s.buttons.countLists && s.buttons.download && s.buttons.resume && s.buttons.files);
  EXPECT_THAT(s.rowEnabled, ::testing::Each(false)) << "rows wait for a count";

  ASSERT_EQ(observer.running.size(), 2u);
  EXPECT_TRUE(observer.running[0].first);
  EXPECT_EQ(observer.running[0].second, std::this_thread::get_id()) << "set by the caller, before the worker";
  EXPECT_FALSE(observer.running[1].first);
  EXPECT_NE(observer.running[1].second, std::this_thread::get_id()) << "cleared by the worker";
  EXPECT_EQ(observer.log.size(), 32u);

  EXPECT_EQ(bus.address(), 31) << "the search leaves the last address";
  EXPECT_TRUE(lin->close());
  EXPECT_EQ(bus.address(), 9) << "closing gives the remembered address back";
  EXPECT_TRUE(ui.errors().empty());
}

TEST_F(LinearizationTest, TheFirstTransmitterIsReadLiveTheOthersOnceAndEachDatabaseIsRewrittenOnce) {
  prepared({"0", "50", "100.0", " 150", "200"});
  RewriteCounter rewrites(dir.path());
  bus.clearRequests();
  live.ticks = 3;
  ASSERT_TRUE(collectAt(1, 50.12345));

  ASSERT_EQ(live.dialogs.size(), 1u);
  EXPECT_EQ(live.dialogs[0].caption, "Linear collect value");
  EXPECT_EQ(live.dialogs[0].address, 3) << "the live reading is the first transmitter's";
  EXPECT_EQ(reads(3, 29), 3) << "one read per tick";
  EXPECT_EQ(reads(7, 29), 1) << "later transmitters are read once";
  ASSERT_EQ(live.samples.size(), 3u);
  const std::string shown = formatFixed(static_cast<float>(raw(3, 50.12345)), 3);
  EXPECT_EQ(live.samples[2].fields[0].value, shown);
  EXPECT_EQ(pauses, std::vector<std::chrono::milliseconds>{350ms});

  EXPECT_EQ(rewrites.take(), (Lines{"SN-3.db", "SN-7.db"})) << "one atomic rewrite per transmitter and step";
  EXPECT_EQ(key("SN-3", "TrimPoints"), "5");
  EXPECT_EQ(key("SN-3", "Trimed_Data_2"), "100.0") << "references as typed";
  EXPECT_EQ(key("SN-3", "Trimed_Data_4"), "200");
  EXPECT_EQ(key("SN-3", "Trimed_Data_5"), "");
  EXPECT_EQ(key("SN-3", "Collection_Data_1"), formatFixed(numberOf(shown))) << "the shown text, three decimals";
  EXPECT_EQ(key("SN-7", "Collection_Data_1"), stored(raw(7, 50.12345)));
  EXPECT_EQ(key("SN-7", "Collection_Data_0"), "");

  const LinearizationState s = lin->state();
  EXPECT_TRUE(s.collected[1]);
  EXPECT_FALSE(s.collected[0]);
  EXPECT_EQ(s.stations[3].indicator, Indicator::Success);
  EXPECT_EQ(s.stations[7].indicator, Indicator::Success);
  EXPECT_THAT(logSince(32), ElementsAre("33---Address 3 transmitter collect 2 value: " + formatFixed(numberOf(shown)),
                                        "34---Address 7 transmitter collect 2 value: " + stored(raw(7, 50.12345))));
  EXPECT_THAT(observer.stations, ::testing::IsSupersetOf({"3 working", "3 success", "7 working", "7 success"}));
}

TEST_F(LinearizationTest, CancellingTheLiveReadingEndsTheCollectionAndWritesNothing) {
  prepared({"0", "100"});
  bus.clearRequests();
  live.ok = false;
  EXPECT_FALSE(collectAt(0, 0));
  EXPECT_FALSE(std::filesystem::exists(dir.file("SN-3.db")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("SN-7.db")));
  EXPECT_EQ(reads(7, 29), 0);
  const LinearizationState s = lin->state();
  EXPECT_FALSE(s.collected[0]);
  EXPECT_EQ(s.stations[3].indicator, Indicator::Online) << "as it was before";
  EXPECT_EQ(s.stations[7].indicator, Indicator::Online);
  EXPECT_EQ(lin->log().size(), 32u) << "nothing logged";
  EXPECT_EQ(pauses.size(), 1u) << "the dialog still waits before it closes";
}

TEST_F(LinearizationTest, ALiveReadingThatNeverSucceededIsAFailedCollectionNotZero) {
  prepared({"0", "100"});
  bus.failWhen([](const Request& r) { return r.address == 3 && r.index == 29; });
  EXPECT_FALSE(collectAt(0, 10));
  EXPECT_EQ(live.samples.at(0).fields[0].value, "") << "the field stays empty";
  EXPECT_FALSE(live.samples.at(0).ok);
  EXPECT_EQ(key("SN-3", "Collection_Data_0"), "") << "nothing collected, not 0.000000";
  EXPECT_EQ(key("SN-3", "TrimPoints"), "2") << "the step is still stored";
  EXPECT_EQ(key("SN-7", "Collection_Data_0"), stored(raw(7, 10)));
  const auto log = lin->log();
  EXPECT_EQ(log[32].shown(), "33---Error: Address 3 transmitter collect 1 error!");
  EXPECT_TRUE(log[32].error);
  const LinearizationState s = lin->state();
  EXPECT_EQ(s.stations[3].indicator, Indicator::Error);
  EXPECT_EQ(s.stations[7].indicator, Indicator::Success);
  EXPECT_TRUE(s.collected[0]) << "another transmitter has it";
}

TEST_F(LinearizationTest, ADatabaseThatCannotBeWrittenFailsItsTransmitterAlone) {
  prepared({"0", "100"});
  // A folder where the file should be: the rename over it fails.
  std::filesystem::create_directories(dir.file("SN-7.db/x"));
  EXPECT_FALSE(collectAt(0, 10));
  EXPECT_EQ(key("SN-3", "Collection_Data_0"), formatFixed(numberOf(formatFixed(static_cast<float>(raw(3, 10)), 3))));
  const LinearizationState s = lin->state();
  EXPECT_EQ(s.stations[3].indicator, Indicator::Success);
  EXPECT_EQ(s.stations[7].indicator, Indicator::Error);
  EXPECT_TRUE(s.collected[0]);
  const auto log = lin->log();
  ASSERT_EQ(log.size(), 34u);
  EXPECT_EQ(log[33].text, "Error: The database of address 7 transmitter cannot be written!");
  EXPECT_TRUE(log[33].error);
}

TEST_F(LinearizationTest, CollectAndDownloadCheckTheirInputFirst) {
  searched();
  EXPECT_FALSE(lin->collect(0)) << "no count: the row is disabled";
  EXPECT_FALSE(lin->download()) << "enabled, but nothing to send yet";
  ASSERT_TRUE(lin->selectCount(3));
  EXPECT_FALSE(lin->selectCount(22));
  EXPECT_FALSE(lin->setReference(3, "5")) << "beyond the count";
  lin->setReference(0, "0");
  EXPECT_FALSE(lin->collect(1));
  EXPECT_FALSE(lin->download());
  lin->setReference(1, "1");
  lin->setReference(2, "2");
  EXPECT_FALSE(lin->download());
  EXPECT_THAT(ui.errors(), ElementsAre("Error: The operation is not enabled in the dialog now!",
                                       "Error: Please select trim points or continue the uncompleted calibration!",
                                       "Error: The operation is not enabled in the dialog now!",
                                       "Error: The operation is not enabled in the dialog now!",
                                       "Error: Please input referenced data of collection point 2!",
                                       "Error: Please input referenced value!",
                                       "Error: Please complete collection first, then download!"));
  // A later search that finds nobody leaves the rows, but nobody to read.
  bus.failWhen([](const Request& r) { return r.kind == Request::Kind::Present; });
  searched();
  ui.clearRecord();
  EXPECT_FALSE(lin->collect(0));
  EXPECT_THAT(ui.errors(), ElementsAre("Error: Cann't find valid transmitter information!"));
  EXPECT_FALSE(lin->state().buttons.download);
}

TEST_F(LinearizationTest, ADownloadSendsTheCountAndAll21ValuesOfEachDatabase) {
  const std::vector<double> pressures{0, 50, 100, 150, 200};
  prepared({"0", "50", "100", "150", "200"});
  for (int n = 0; n < 5; ++n) ASSERT_TRUE(collectAt(n, pressures[static_cast<size_t>(n)]));
  // A point left over from an earlier calibration with more points.
  TrimFile stale = TrimFile::open(dir.file("SN-7.db"));
  stale.set("Linearization", "Trimed_Data_7", "99");
  stale.set("Linearization", "Collection_Data_7", "98.5");
  ASSERT_TRUE(stale.save());
  bus.clearRequests();
  const size_t before = lin->log().size();
  ASSERT_TRUE(lin->download());
  lin->wait();

  const auto writes = bus.writes();
  EXPECT_EQ(writtenIndexes(writes, 3), (Lines{"3 24", "3 28", "3 34", "3 35", "3 36", "3 28"}));
  EXPECT_EQ(writes[0].data, (std::vector<uint8_t>{0x5A, 0x3C, 0x9E, 0x17}));
  EXPECT_EQ(writes[1].data, (std::vector<uint8_t>{0x01, 0x01}));
  EXPECT_EQ(writes[2].data, std::vector<uint8_t>{5});
  EXPECT_EQ(writes[5].data, (std::vector<uint8_t>{0x01, 0x03}));
  ASSERT_EQ(writes[3].data.size(), 84u);
  ASSERT_EQ(writes[4].data.size(), 84u);
  const auto collected3 = floatsOf(writes[3].data);
  EXPECT_FLOAT_EQ(collected3[4], static_cast<float>(numberOf(formatFixed(static_cast<float>(raw(3, 200)), 3))));
  EXPECT_FLOAT_EQ(collected3[5], 0) << "beyond the count: 0 when absent";
  const auto reference7 = floatsOf(lastWrite(writes, 7, 36)->data);
  EXPECT_FLOAT_EQ(reference7[2], 100);
  EXPECT_FLOAT_EQ(reference7[7], 99) << "beyond the count: what the database holds";
  EXPECT_FLOAT_EQ(floatsOf(lastWrite(writes, 7, 35)->data)[7], 98.5f);

  const Lines log = logSince(before);
  ASSERT_EQ(log.size(), 12u) << ::testing::PrintToString(log);
  EXPECT_EQ(log[0], std::to_string(before + 1) + "---" + std::string(97, '-'));
  EXPECT_EQ(log[1].substr(log[1].find("---") + 3), "Address 3 line trim data");
  const std::string references = log[3].substr(log[3].find("---") + 3);
  EXPECT_EQ(references, "Reference value: 0.000000       50.000000      100.000000     150.000000     200.000000     ");
  const std::string collectedLine = log[2].substr(log[2].find("---") + 3);
  EXPECT_EQ(collectedLine.size(), std::string("Collect value: ").size() + 5 * 15);
  EXPECT_EQ(log[4].substr(log[4].find("---") + 3), std::string(97, '-'));
  EXPECT_EQ(log[5].substr(log[5].find("---") + 3), "Linearization is OK in address 3");
  EXPECT_EQ(log[11].substr(log[11].find("---") + 3), "Linearization is OK in address 7");

  const LinearizationState s = lin->state();
  EXPECT_EQ(s.stations[3].indicator, Indicator::Success);
  EXPECT_EQ(s.stations[7].indicator, Indicator::Success);
  // The transmitter took the table: its output now follows the references.
  bus.plant().set(150, 20);
  bus.setAddress(7);
  std::array<uint8_t, 4> out{};
  size_t received = 0;
  ASSERT_TRUE(bus.read(1, 26, out, received));
  EXPECT_NEAR(floatsOf({out.begin(), out.end()})[0], 150, 1e-3);
}

TEST_F(LinearizationTest, MonotonicChecksAndIllegalDatabasesFailOnlyThatTransmitter) {
  searched();
  store("SN-3", {"TrimPoints=3", "Collection_Data_0=1.0", "Collection_Data_1=2.0", "Collection_Data_2=2.0",
                 "Trimed_Data_0=0", "Trimed_Data_1=50", "Trimed_Data_2=100"});
  store("SN-7", {"TrimPoints=3", "Collection_Data_0=3.0", "Collection_Data_1=2.0", "Collection_Data_2=1.0",
                 "Trimed_Data_0=0", "Trimed_Data_1=50", "Trimed_Data_2=100"});
  ASSERT_TRUE(lin->resume());
  EXPECT_THAT(lin->state().collected, ::testing::ElementsAreArray({true, true, true, false, false, false, false,
                                                                    false, false, false, false, false, false, false,
                                                                    false, false, false, false, false, false, false}));
  bus.clearRequests();
  ASSERT_TRUE(lin->download());
  lin->wait();
  EXPECT_TRUE(writtenIndexes(bus.writes(), 3).empty()) << "1.0, 2.0, 2.0 is not strictly monotonic";
  EXPECT_EQ(writtenIndexes(bus.writes(), 7).size(), 6u) << "3.0, 2.0, 1.0 is";
  EXPECT_THAT(observer.log, ::testing::Contains("38---The collect value of address 3 transmitter is illegal!"));
  EXPECT_EQ(lin->state().stations[3].indicator, Indicator::Error);
  EXPECT_EQ(lin->state().stations[7].indicator, Indicator::Success);

  // Databases that would send points without values, or too many points.
  const std::vector<std::pair<Lines, std::string>> cases = {
      {{"TrimPoints=22"}, "The trim points of address 3 transmitter is illegal!"},
      {{"TrimPoints=1", "Collection_Data_0=1", "Trimed_Data_0=1"}, "The trim points of address 3 transmitter is illegal!"},
      {{"TrimPoints=3", "Collection_Data_0=1", "Collection_Data_2=3", "Trimed_Data_0=0", "Trimed_Data_1=1",
        "Trimed_Data_2=2"},
       "The collect value of address 3 transmitter is illegal!"},
      {{"TrimPoints=3", "Collection_Data_0=1", "Collection_Data_1=2", "Collection_Data_2=3", "Trimed_Data_0=0",
        "Trimed_Data_2=2"},
       "The reference value of address 3 transmitter is illegal!"},
      {{"TrimPoints=2", "Collection_Data_0=1", "Collection_Data_1=2", "Trimed_Data_0=5", "Trimed_Data_1=5"},
       "The reference value of address 3 transmitter is illegal!"},
  };
  for (const auto& [lines, message] : cases) {
    store("SN-3", lines);
    bus.clearRequests();
    const size_t before = lin->log().size();
    ASSERT_TRUE(lin->download());
    lin->wait();
    EXPECT_TRUE(writtenIndexes(bus.writes(), 3).empty()) << message;
    Lines errors;
    for (const LogLine& l : lin->log())
      if (l.number > static_cast<int>(before) && l.error) errors.push_back(l.text);
    EXPECT_EQ(errors, Lines{message});
  }
}

TEST_F(LinearizationTest, AFailingWriteEndsThatTransmittersDownloadWithTheCause) {
  prepared({"0", "100"});
  ASSERT_TRUE(collectAt(0, 0));
  ASSERT_TRUE(collectAt(1, 100));
  int writesTo3 = 0;
  bus.failWhen([&](const Request& r) { return r.kind == Request::Kind::Write && r.address == 3 && ++writesTo3 > 2; });
  bus.clearRequests();
  ASSERT_TRUE(lin->download());
  lin->wait();
  EXPECT_EQ(writtenIndexes(bus.writes(), 3), (Lines{"3 24", "3 28", "3 34"})) << "the third write failed: no more";
  EXPECT_EQ(writtenIndexes(bus.writes(), 7).size(), 6u);
  EXPECT_THAT(observer.log, ::testing::Contains(HasSubstr("---Linearization of address 3 failed, cause: No response from slave!")));
  EXPECT_EQ(lin->state().stations[3].indicator, Indicator::Error);
  EXPECT_EQ(lin->state().stations[7].indicator, Indicator::Success);

}

TEST_F(LinearizationTest, WhileTheWorkerRunsEverythingButItIsRefused) {
  prepared({"0", "100"});
  ASSERT_TRUE(collectAt(0, 0));
  bus.hold();
  ASSERT_TRUE(lin->search());
  EXPECT_TRUE(lin->running()) << "set before the worker started";
  bus.waitUntilHeld();
  ui.clearRecord();
  EXPECT_FALSE(lin->collect(1));
  EXPECT_FALSE(lin->resume());
  EXPECT_FALSE(lin->selectCount(4));
  EXPECT_FALSE(lin->loadReferences(dir.file("x.szz")));
  EXPECT_FALSE(lin->saveReferences(dir.file("x.szz")));
  EXPECT_FALSE(lin->distribute("0", "1"));
  EXPECT_FALSE(lin->search());
  EXPECT_FALSE(lin->download());
  EXPECT_FALSE(lin->close());
  std::vector<std::string> refusals(8, "Error: The program is running, the operation isn't allowed!");
  refusals.push_back("Error: The program is running, please shut down this function later!");
  EXPECT_EQ(ui.errors(), refusals);
  bus.release();
  lin->wait();
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.szz")));
  EXPECT_TRUE(lin->close());
  EXPECT_EQ(bus.address(), 9);
}


TEST_F(LinearizationTest, AStoppedCalibrationContinuesFromTheFirstTransmittersDatabase) {
  prepared({"0", "50", "100", "150", "200"});
  for (int n = 0; n < 3; ++n) ASSERT_TRUE(collectAt(n, 50.0 * n));
  reopen();  // the program ended after the third point
  searched();
  ASSERT_TRUE(lin->resume());
  LinearizationState s = lin->state();
  EXPECT_EQ(s.count, 5);
  EXPECT_EQ(s.references[3], "150");
  EXPECT_TRUE(s.rowEnabled[4]);
  EXPECT_FALSE(s.rowEnabled[5]);
  EXPECT_TRUE(s.collected[2]);
  EXPECT_FALSE(s.collected[3]);

  store("SN-3", {"TrimPoints=1"});
  EXPECT_FALSE(lin->resume());
  store("SN-3", {"TrimPoints=x"});
  EXPECT_FALSE(lin->resume());
  EXPECT_THAT(ui.errors(), ElementsAre("Error: Linearization trim points in database is illegal!",
                                       "Error: Linearization trim points in database is illegal!"));
  EXPECT_EQ(lin->state().count, 5) << "unchanged";
}

TEST_F(LinearizationTest, ReferencePointsAndLimitsFillTheRows) {
  prepared({"1", "2", "3"});
  ASSERT_TRUE(lin->distribute("0", " 100 "));
  EXPECT_THAT(lin->state().references, ::testing::IsSupersetOf({"0", "50", "100"}));
  EXPECT_EQ(lin->state().references[1], "50");
  EXPECT_FALSE(lin->distribute("low", "100"));
  ui.pickFile(dir.file("points.szz"));
  ASSERT_TRUE(lin->saveReferences());
  const std::string text = dir.read("points.szz");
  EXPECT_EQ(text.find("[Linearization]\nTRIM_POINTS=3\nTrimedValue0=0\nTrimedValue1=50\nTrimedValue2=100\n"), 0u) << text;
  EXPECT_NE(text.find("TrimedValue20=\n"), std::string::npos) << "all 21 fields";

  reopen();
  searched();
  ASSERT_TRUE(lin->loadReferences(dir.file("points.szz")));
  EXPECT_EQ(lin->state().count, 3);
  EXPECT_EQ(lin->state().references[2], "100");
  EXPECT_TRUE(lin->state().rowEnabled[2]);
  EXPECT_FALSE(lin->loadReferences(dir.file("missing.szz")));
  ui.cancel();
  EXPECT_FALSE(lin->loadReferences()) << "the file dialog cancelled";
  EXPECT_EQ(ui.errors().size(), 2u);
}

class EmptyIdentificationTest : public LinearizationTest {
 protected:
  EmptyIdentificationTest()
      : LinearizationTest(profileOf({2, 4}) + "\n[DEVICE blank]\nADDRESS = 3\nIDENT_NUMBER = 1\nSERIAL_NUMBER =\n") {}
};

TEST_F(EmptyIdentificationTest, ATransmitterWithoutAnIdentificationIsSkipped) {
  prepared({"0", "100"});
  const auto log = lin->log();
  EXPECT_EQ(log[3].text, "Error: Address 3 transmitter has an empty identification text, it is skipped!");
  EXPECT_TRUE(log[3].error);
  EXPECT_EQ(lin->state().stations[3].indicator, Indicator::Error);
  EXPECT_EQ(lin->state().stations[3].identification, "");
  ASSERT_TRUE(collectAt(0, 5));
  EXPECT_EQ(reads(3, 29), 0);
  EXPECT_EQ(live.dialogs.at(0).address, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.file(".db")));
}

}  // namespace
}  // namespace tavrin::calibration
