// The background refresh of the function view against tavrin-sim playing
// the Modbus sample transmitter, whose pressure and temperature move by
// themselves: the sample description with its own menus, the real drivers.
#include "app/background_refresh.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "app/description_menus.h"
#include "app/session.h"
#include "program_folder.h"
#include "testing/pty_pair.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using testing::realDrivers;
using testing::Simulator;
using testing::TestProgramFolder;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

const std::string kModbusProfile = TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini";

class RefreshTest : public ::testing::Test {
 protected:
  RefreshTest() {
    std::filesystem::remove_all(folder.file("Modbus"));
    std::filesystem::create_directories(folder.file("Modbus"));
    std::filesystem::copy_file(TAVRIN_DIST_DIR "Modbus/00170A0101020001.bin",
                               folder.file("Modbus/00170A0101020001.bin"));
    std::filesystem::remove(folder.file("pw.bin"));
    session.setPause([](std::chrono::milliseconds) {});
    session.setAutomaticRefresh(true);
    session.backgroundRefresh().setNotifier([this] {
      std::lock_guard lock(mutex);
      ++notices;
      wake.notify_all();
    });
  }
  ~RefreshTest() override { session.stopRefresh(); }

  void connect(int port, const std::vector<std::string>& faults = {}) {
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=MODBUS\nPORT=" + std::to_string(port) +
                                "\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n"
                                "[MODBUS_ADDR]\nADDRESS=1\n");
    std::vector<std::string> extra;
    for (const std::string& f : faults) extra.insert(extra.end(), {"--fault", f});
    sim = std::make_unique<Simulator>("modbus", folder.portLink(port), kModbusProfile, extra);
    ASSERT_TRUE(sim->ready());
    session.start();
    ui.select(0);
    ASSERT_TRUE(session.connect()) << ::testing::PrintToString(ui.transcript());
  }
  // The function view on the tree item labelled `label`.
  void functionView(const std::string& label) {
    if (session.viewMode() != ViewMode::Function) {
      ASSERT_TRUE(session.enterFunctionView());
    }
    const auto& items = session.view().tree().items();
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i].label == label) session.selectTreeItem(static_cast<int>(i));
  }
  int rowOf(const std::string& label) const {
    const auto& rows = session.view().table().rows;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].cells[0].text == label) return static_cast<int>(i) + 1;
    return -1;
  }
  std::string valueAt(int row) const { return session.view().table().rows.at(static_cast<size_t>(row - 1)).cells[1].text; }
  // Takes what the worker found, as the front end does on its thread, until
  // done() holds or the time is up.
  template <class Done>
  bool applyUntil(Done done, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      {
        std::unique_lock lock(mutex);
        if (!wake.wait_until(lock, end, [&] { return notices > 0; })) return done();
        notices = 0;
      }
      session.applyRefreshChanges();
    }
    return true;
  }

  TestProgramFolder& folder = realDrivers();
  ui::FakeUserInterface ui;
  std::unique_ptr<Simulator> sim;
  DeviceSession session{folder.files(), ui, descriptionMenus()};
  std::mutex mutex;
  std::condition_variable wake;
  int notices = 0;
};

TEST_F(RefreshTest, MeasuredValuesChangeWhileNothingElseRunsAndAnEditStopsThem) {
  connect(101);
  functionView("Measurement");
  ASSERT_TRUE(session.backgroundRefresh().running()) << "the function view's fill starts the refresh";
  const int pressure = rowOf("Pressure");
  const int temperature = rowOf("Sensor temperature");
  ASSERT_GT(pressure, 0);
  ASSERT_GT(temperature, 0);
  const std::string first = valueAt(pressure);
  // The simulator's pressure is a sine with noise: it moves within a few reads.
  EXPECT_TRUE(applyUntil([&] { return valueAt(pressure) != first; })) << first;
  EXPECT_EQ(session.view().table().rows.at(static_cast<size_t>(pressure - 1)).cells[3].text, "Loaded")
      << "the status column is the fill's";
  EXPECT_EQ(ui.errors(), Lines{});

  // Beginning an edit stops the refresh: the worker has left its loop when
  // the stop returns, and no change arrives any more.
  session.stopRefresh();
  EXPECT_FALSE(session.backgroundRefresh().running());
  EXPECT_FALSE(session.backgroundRefresh().active());
  const uint64_t reads = session.backgroundRefresh().reads();
  session.applyRefreshChanges();
  const std::string stopped = valueAt(pressure);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(session.backgroundRefresh().reads(), reads);
  EXPECT_TRUE(session.applyRefreshChanges().empty()) << "changes left by the stopped worker are dropped";
  EXPECT_EQ(valueAt(pressure), stopped);

  // The next fill of the function view starts it again.
  functionView("Measurement");
  EXPECT_TRUE(session.backgroundRefresh().running());
  EXPECT_TRUE(applyUntil([&] { return session.backgroundRefresh().reads() > reads + 4; }));
}

TEST_F(RefreshTest, AMenuWithoutDynamicReadOnlyVariablesEndsTheWorkerAtOnce) {
  connect(102);
  functionView("Configuration");
  ASSERT_GT(rowOf("Damping"), 0);
  const auto done = std::chrono::steady_clock::now() + 5s;
  while (session.backgroundRefresh().active() && std::chrono::steady_clock::now() < done)
    std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(session.backgroundRefresh().active());
  EXPECT_FALSE(session.backgroundRefresh().running());
  EXPECT_EQ(session.backgroundRefresh().reads(), 0u);
  EXPECT_TRUE(session.applyRefreshChanges().empty());
  EXPECT_EQ(ui.errors(), Lines{});
}

TEST_F(RefreshTest, AFailedReadStopsTheRefreshWithOneMessage) {
  // The measured values travel in one reply (function 4), which the menu's
  // read fetches too; the refresh's later reads get an exception, for good.
  connect(103, {"exception=2,function=4,after=6"});
  functionView("Measurement");
  ASSERT_TRUE(applyUntil([&] { return !session.backgroundRefresh().active() && !ui.errors().empty(); }))
      << ::testing::PrintToString(ui.transcript());
  const uint64_t reads = session.backgroundRefresh().reads();
  std::this_thread::sleep_for(50ms);
  session.applyRefreshChanges();
  EXPECT_EQ(session.backgroundRefresh().reads(), reads) << "no read after the failed one";
  ASSERT_EQ(ui.errors().size(), 1u) << "the link's and the transfer's messages in one box";
  EXPECT_NE(ui.errors()[0].find("Error: Read variable"), std::string::npos) << ui.errors()[0];
  EXPECT_NE(ui.errors()[0].find('\n'), std::string::npos) << ui.errors()[0];
  EXPECT_FALSE(session.backgroundRefresh().running());
}

TEST(RefreshSeamTest, KeepsOnlyTheWorkersMessages) {
  ui::FakeUserInterface ui;
  RefreshSeam seam(ui);
  std::thread worker([&] {
    seam.keepMessagesOf(std::this_thread::get_id());
    EXPECT_EQ(seam.message({"Error", "kept", ui::Icon::Error, ui::Buttons::Ok}), ui::Answer::Ok);
    EXPECT_EQ(seam.message({"Q", "declined", ui::Icon::Question, ui::Buttons::YesNo}), ui::Answer::No);
  });
  worker.join();
  seam.errorBox("shown");
  EXPECT_EQ(seam.takeKept(), (Lines{"kept", "declined"}));
  EXPECT_TRUE(seam.takeKept().empty());
  EXPECT_EQ(ui.errors(), Lines{"shown"});
}

TEST(BackgroundRefreshTest, OnlyChangedRowsAreHandedOverEachWithItsNewestTexts) {
  ui::FakeUserInterface ui;
  RefreshSeam seam(ui);
  std::atomic<int> count{0};
  std::atomic<bool> stopSelf{false};
  BackgroundRefresh* self = nullptr;
  BackgroundRefresh refresh(
      seam,
      [&](int32_t) {
        ++count;
        // A stop from the worker itself (a pre-read action) ends its loop
        // instead of waiting for itself.
        if (stopSelf && count >= 50) self->stop();
        return true;
      },
      [&](int32_t id) {
        return id == 1 ? std::pair{std::to_string(count.load()), std::string("kPa")}
                       : std::pair{std::string("0.5"), std::string("s")};
      });
  self = &refresh;
  RefreshPlan plan;
  plan.reads = {1};
  plan.shown = {{1, 1, "", "kPa"}, {2, 2, "0.5", "s"}};
  stopSelf = true;
  refresh.start(plan);
  const auto done = std::chrono::steady_clock::now() + 5s;
  while (refresh.active() && std::chrono::steady_clock::now() < done) std::this_thread::sleep_for(1ms);
  ASSERT_FALSE(refresh.active());
  EXPECT_EQ(refresh.reads(), 50u);
  const BackgroundRefresh::Taken taken = refresh.takeChanges();
  ASSERT_EQ(taken.changes.size(), 1u) << "row 2 never changed; row 1 once, as it is now";
  EXPECT_EQ(taken.changes[0].row, 1);
  EXPECT_EQ(taken.changes[0].value, "50");
  EXPECT_TRUE(taken.failure.empty());
  EXPECT_FALSE(refresh.failed());
}

}  // namespace
}  // namespace tavrin::app
