// The Qt form of the user-interface seam: a worker's calls reach the GUI
// thread and the worker waits for the answer; the progress dialog shows
// the work's reports and asks it to stop; the file dialogs' filters; the
// wait cursor from any thread.
#include <QProgressBar>
#include <atomic>
#include <thread>

#include "gui_harness.h"
#include "qt_user_interface.h"

namespace tavrin::gui::testing {
namespace {

TEST(QtFileFilters, TheProgramsFiltersInQtsForm) {
  EXPECT_EQ(qtFileFilters("SZZ Files (*.szz)|*.szz||"), QStringList{"SZZ Files (*.szz)"});
  EXPECT_EQ(qtFileFilters("Settings|*.ini;*.txt|All files (*.*)|*.*||"),
            (QStringList{"Settings (*.ini *.INI *.txt *.TXT)", "All files (*.*)"}));
  EXPECT_EQ(qtFileFilters("*.TXT|*.TXT|*.TXT|*.TXT||"), QStringList{"*.TXT (*.TXT *.txt)"})
      << "an export saved as set.txt is found, and listed once";
  EXPECT_EQ(qtFileFilters("(*.txt)|*.txt|"), QStringList{"(*.txt)"});
  EXPECT_EQ(qtFileFilters(""), QStringList{});
  EXPECT_EQ(qtFileFilters("Odd|"), QStringList{}) << "a name without its patterns is no filter";
}

TEST(QtSeam, AWorkersErrorBoxIsShownOnTheGuiThreadWhileTheWorkerWaits) {
  QtUserInterface ui;
  DialogScript dialogs;
  std::atomic<bool> returned{false};
  std::atomic<bool> onGuiThread{false}, workerWaited{false}, progressShown{false};
  std::thread::id workerThread;
  dialogs.expect(QStringLiteral("Error: Error: from the worker"), [&](QDialog& box) {
    onGuiThread = QThread::currentThread() == qApp->thread();
    workerWaited = !returned;
    auto* progress = qobject_cast<ProgressDialog*>(box.parentWidget());
    progressShown = progress && progress->isVisible() && progress->percentLabel()->text() == QStringLiteral("40%") &&
                    progress->bar()->value() == 40;
    EXPECT_EQ(static_cast<QMessageBox&>(box).icon(), QMessageBox::Critical);
    EXPECT_EQ(static_cast<QMessageBox&>(box).standardButtons(), QMessageBox::Ok);
    if (progress) saveScreenshot(*progress, "progress-dialog");
    saveScreenshot(box, "error-box");
    box.accept();
  });
  const bool finished = ui.runProgress("Download data to transmitter, please wait... ...", [&](ui::Progress& p) {
    workerThread = std::this_thread::get_id();
    p.report(40, "40%");
    ui.errorBox("Error: from the worker");
    returned = true;
    p.report(100, "100%");
  });
  EXPECT_TRUE(finished);
  EXPECT_TRUE(returned);
  EXPECT_NE(workerThread, std::this_thread::get_id()) << "the work ran on a thread of its own";
  EXPECT_TRUE(onGuiThread);
  EXPECT_TRUE(workerWaited);
  EXPECT_TRUE(progressShown) << "the box belongs to the progress dialog, which shows the report";
  EXPECT_EQ(dialogs.seen(), (QStringList{"progress: Download data to transmitter, please wait... ...",
                                         "Error: Error: from the worker"}));
}

TEST(QtSeam, CancelAsksTheWorkToStopAndTheDialogWaitsForIt) {
  QtUserInterface ui;
  DialogScript dialogs;
  std::atomic<bool> sawCancel{false};
  QString caption;
  const bool finished = ui.runProgress("Upload data from transmitter, please wait... ...", [&](ui::Progress& p) {
    // The person presses Cancel once the dialog is up.
    QMetaObject::invokeMethod(
        qApp,
        [&] {
          auto* dialog = qobject_cast<ProgressDialog*>(QApplication::activeModalWidget());
          ASSERT_TRUE(dialog);
          caption = dialog->windowTitle();
          QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
          EXPECT_TRUE(dialog->isVisible()) << "still there while the work runs";
        },
        Qt::QueuedConnection);
    while (!p.cancelRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sawCancel = true;
  });
  EXPECT_FALSE(finished);
  EXPECT_TRUE(sawCancel);
  EXPECT_EQ(caption, QStringLiteral("Please waiting... ..."));
}

TEST(QtSeam, QuestionsPromptsAndChoicesFromAWorkerWaitForTheirAnswers) {
  QtUserInterface ui;
  DialogScript dialogs;
  dialogs.expect(QStringLiteral("WARNING: WARNING: Are you sure?"), [](QDialog& d) {
          auto& box = static_cast<QMessageBox&>(d);
          EXPECT_EQ(box.icon(), QMessageBox::Warning);
          EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
          saveScreenshot(box, "warning-question");
          box.button(QMessageBox::No)->click();
        })
      .enter(QStringLiteral("numericInputDialog Damping"), QStringLiteral("2.5"))
      .choose(QStringLiteral("listSelectionDialog Unit"), 1)
      .cancel(QStringLiteral("listSelectionDialog Unit"));
  bool answer = true;
  std::optional<std::string> typed;
  std::optional<int> chosen, cancelled{7};
  std::thread worker([&] {
    answer = ui.warningQuestion("WARNING: Are you sure?");
    typed = ui.prompt({ui::PromptKind::Number, "Damping", "Damping in seconds", "0.5", "s", "0.5"});
    chosen = ui.choose({"Unit", "Select the unit", "kPa", {"kPa", "bar"}, 0});
    cancelled = ui.choose({"Unit", "Select the unit", "kPa", {"kPa", "bar"}, 0});
  });
  ASSERT_TRUE(waitFor([&] { return dialogs.done(); }));
  worker.join();
  EXPECT_FALSE(answer);
  EXPECT_EQ(typed, "2.5");
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(cancelled, std::nullopt);
}

TEST(QtSeam, WaitCursorAndStatusTextFromAnyThread) {
  QtUserInterface ui;
  QString status;
  ui.setStatusSink([&](const QString& t) { status = t; });
  {
    ui::WaitCursor outer(ui);
    ui::WaitCursor inner(ui);
    EXPECT_EQ(ui.waitCursorDepth(), 2);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(ui.waitCursorDepth(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  std::thread([&] {
    ui.waitCursor(true);
    ui.statusText("Status: Connected");
  }).join();
  ASSERT_TRUE(waitFor([&] { return status == QStringLiteral("Status: Connected"); }));
  EXPECT_EQ(ui.waitCursorDepth(), 1);
  ui.waitCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtSeam, CountdownAndMonitorEndOnAStopRequest) {
  QtUserInterface ui;
  DialogScript dialogs;
  std::stop_source stop;
  std::thread stopper;
  dialogs.expect(QStringLiteral("countdownDialog Waiting"), [&](QDialog&) {
    stopper = std::thread([&] { stop.request_stop(); });
  });
  EXPECT_FALSE(ui.countdown({"Waiting", "Waiting for the pressure to settle", 30}, stop.get_token()));
  stopper.join();

  std::stop_source stopMonitor;
  int ticks = 0;
  dialogs.expect(QStringLiteral("monitorDialog Pressure"), [](QDialog&) {});
  const auto value = ui.monitor({"Pressure", "Pressure", "kPa", false, {}},
                                [&](const std::string&) {
                                  if (++ticks == 2) stopMonitor.request_stop();
                                  return ui::MonitorReading{true, "101.3", "kPa", {}};
                                },
                                stopMonitor.get_token());
  EXPECT_EQ(value, std::nullopt);
  EXPECT_GE(ticks, 2);
}

}  // namespace
}  // namespace tavrin::gui::testing
