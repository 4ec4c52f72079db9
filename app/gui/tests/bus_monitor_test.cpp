// The Bus monitor pane and Compare with file in the window, against
// tavrin-sim: frames while the table is read (a time-out among them), the
// address filter, pause, clear and save; the comparison's list.
#include <QDockWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "app/parameter_file.h"
#include "bus_monitor_pane.h"
#include "compare_dialog.h"
#include "frame_model.h"
#include "gui_harness.h"

namespace tavrin::gui::testing {
namespace {

class BusMonitorWindow : public GuiTest {
 protected:
  BusMonitorPane& pane() const { return *window->busMonitor(); }
  int rows() const { return pane().filter()->rowCount(); }
  QString shown(int row, int column) const { return pane().filter()->index(row, column).data().toString(); }
  bool anyShown(const QString& summary) const {
    for (int r = 0; r < rows(); ++r)
      if (shown(r, FrameModel::Summary).startsWith(summary)) return true;
    return false;
  }
  void readAll() {
    trigger(ActionId::Read);
    ASSERT_TRUE(waitFor([&] { return !device().busy(); })) << seen();
  }
};

TEST_F(BusMonitorWindow, ShowsTheFramesOfAReadFiltersPausesClearsAndSaves) {
  plug("modbus", 1, "modbus-pressure.ini");
  sim.reset();
  sim = std::make_unique<app::testing::Simulator>(
      "modbus", folder.portLink(5), TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini",
      Lines{"--trace", folder.file("trace.txt"), "--fault", "no-reply,register=9,count=1"});
  ASSERT_TRUE(sim->ready());
  openWindow();
  QAbstractItemModelTester frameTester(pane().model(), QAbstractItemModelTester::FailureReportingMode::Warning);
  QAbstractItemModelTester filterTester(pane().filter(), QAbstractItemModelTester::FailureReportingMode::Warning);
  EXPECT_TRUE(pane().isHidden());
  trigger(ActionId::BusMonitor);
  EXPECT_TRUE(pane().isVisible());
  EXPECT_TRUE(action(ActionId::BusMonitor)->isChecked());
  window->resizeDocks({&pane()}, {260}, Qt::Vertical);

  connectAs(0);
  ASSERT_TRUE(waitFor([&] { return anyShown(QStringLiteral("Read input registers 0x8000, count 4")); }));
  // The Read's one lost reply (the alarm mask's register), which the link's
  // next attempt makes good.
  readAll();
  ASSERT_TRUE(waitFor([&] { return anyShown(QStringLiteral("No reply (time-out)")); })) << seen();
  pane().takeFrames();
  for (int r = 0; r < rows(); ++r) {
    EXPECT_EQ(shown(r, FrameModel::Address), QStringLiteral("1")) << r;
    EXPECT_TRUE(shown(r, FrameModel::Direction) == "TX" || shown(r, FrameModel::Direction) == "RX");
  }
  const QModelIndex timeOut = [&] {
    for (int r = 0; r < rows(); ++r)
      if (shown(r, FrameModel::Summary) == QStringLiteral("No reply (time-out)"))
        return pane().filter()->index(r, FrameModel::Summary);
    return QModelIndex();
  }();
  EXPECT_EQ(timeOut.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(192, 0, 0));
  pane().view()->scrollTo(timeOut, QAbstractItemView::PositionAtCenter);
  screenshot("bus-monitor");

  const int all = rows();
  pane().addressBox()->setValue(2);
  EXPECT_EQ(rows(), 0);
  pane().addressBox()->setValue(1);
  EXPECT_EQ(rows(), all);
  pane().addressBox()->setValue(-1);
  EXPECT_EQ(pane().addressBox()->text(), QStringLiteral("All"));

  QTest::mouseClick(pane().pauseButton(), Qt::LeftButton);
  readAll();
  pane().takeFrames();
  EXPECT_EQ(rows(), all) << "nothing added while paused";
  EXPECT_TRUE(pane().statusLabel()->text().contains(QStringLiteral("paused"))) << pane().statusLabel()->text().toStdString();
  QTest::mouseClick(pane().pauseButton(), Qt::LeftButton);
  EXPECT_EQ(pane().pauseButton()->text(), QStringLiteral("Pause"));

  const std::string saved = folder.file("monitor.txt");
  dialogs.file(QStringLiteral("saveFileDialog Save bus monitor"), QString::fromStdString(saved));
  QTest::mouseClick(pane().saveButton(), Qt::LeftButton);
  ASSERT_TRUE(dialogs.done());
  std::istringstream in(tavrin::testing::TempDir::slurp(saved));
  int lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    ASSERT_LT(lines, rows());
    EXPECT_EQ(line, pane().model()->line(lines));
    EXPECT_EQ(QString::fromStdString(line).split(QLatin1Char('\t')).at(FrameModel::Bytes), shown(lines, FrameModel::Bytes));
  }
  EXPECT_EQ(lines, rows());

  QTest::mouseClick(pane().clearButton(), Qt::LeftButton);
  EXPECT_EQ(rows(), 0);
  trigger(ActionId::BusMonitor);
  EXPECT_TRUE(pane().isHidden());
}

TEST_F(BusMonitorWindow, CompareWithFileListsWhatDiffersAndWhatIsMissing) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(0);
  readAll();
  const std::string file = folder.file("stored.txt");
  fs::remove(file);
  ASSERT_TRUE(app::exportParameters(device().session().model(), file));
  std::string text = tavrin::testing::TempDir::slurp(file);
  const size_t damping = text.find("damping=");
  ASSERT_NE(damping, std::string::npos);
  text.replace(damping, text.find('\n', damping) - damping, "damping=  7.0");
  const size_t tag = text.find("tag_name=");
  text.erase(tag, text.find('\n', tag) + 1 - tag);
  folder.write("stored.txt", text);

  QStringList found;
  dialogs.file(QStringLiteral("openFileDialog Compare with file"), QString::fromStdString(file));
  dialogs.expect(QStringLiteral("compareDialog Compare with file"), [&](QDialog& d) {
    auto* table = d.findChild<QTableWidget*>(QStringLiteral("compareTable"));
    ASSERT_TRUE(table);
    for (int r = 0; r < table->rowCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < table->columnCount(); ++c) cells << table->item(r, c)->text();
      found << cells.join(QLatin1Char('|'));
    }
    saveScreenshot(d, "compare-with-file");
    d.reject();
  });
  trigger(ActionId::CompareWithFile);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(found, (QStringList{"damping|Damping|0.5|7.0|s", "tag_name|Tag|PT-MB-01|(missing)|"}));
  EXPECT_TRUE(dialogs.seen().join(QLatin1Char('\n')).contains(QStringLiteral("progress: Upload data from transmitter")))
      << seen();
}

}  // namespace
}  // namespace tavrin::gui::testing
