// Dynamic monitoring in the window, against tavrin-sim: the function view's
// measured values move by themselves, the Trend of a dynamic row, the two
// monitoring dialogs that the samples' methods open (screenshots
// monitoring.png, collect-value.png, trend.png), and
// closing while the refresh runs.
#include <QElapsedTimer>
#include <QGridLayout>

#include "app/background_refresh.h"
#include "monitoring_dialog.h"
#include "platform/key_file.h"
#include "gui_harness.h"
#include "trend_chart.h"
#include "trend_window.h"

namespace tavrin::gui::testing {
namespace {

class Monitoring : public GuiTest {
 protected:
  // The function view on the tree's "Measurement".
  void measurementMenu() {
    trigger(ActionId::Function);
    ASSERT_TRUE(waitFor([&] { return tree().currentIndex().isValid() && !device().busy(); }));
    const QModelIndex measurement = tree().model()->index(0, 0, tree().currentIndex());
    ASSERT_EQ(measurement.data().toString(), QStringLiteral("Measurement"));
    tree().setCurrentIndex(measurement);
    ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Pressure")) >= 0 && !device().busy(); })) << seen();
  }
  app::BackgroundRefresh& refresh() const { return device().session().backgroundRefresh(); }
  // The label texts of a dialog's grid, row by row.
  static QStringList labels(QDialog& d) {
    QStringList out;
    for (QLabel* l : d.findChildren<QLabel*>()) out << l->text();
    return out;
  }
  static MonitoringDialog& monitoring(QDialog& d) {
    auto* m = qobject_cast<MonitoringDialog*>(&d);
    EXPECT_TRUE(m);
    return *m;
  }
};

TEST_F(Monitoring, FunctionViewValuesMoveAndTheTrendFollowsThem) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(0);
  EXPECT_FALSE(refresh().running()) << "the parameter view is not refreshed";
  measurementMenu();
  EXPECT_TRUE(refresh().running());
  const int pressure = rowOf(QStringLiteral("Pressure"));
  const QString first = cell(pressure, 1);
  // The model hears of each change and the view shows it: nothing else runs.
  ASSERT_TRUE(waitFor([&] { return cell(pressure, 1) != first; }, 5000)) << first.toStdString();
  EXPECT_EQ(cell(pressure, 3), QStringLiteral("Loaded"));

  // A right-click on a dynamic row offers its trend.
  rightClick(pressure, 1);
  ASSERT_TRUE(waitFor([&] { return device().trendMenu()->isVisible(); }));
  EXPECT_EQ(device().trendMenu()->actions().size(), 1);
  device().trendMenu()->close();
  // The device window counts rows as the session does, from 1.
  TrendWindow* trend = device().openTrend(pressure + 1);
  ASSERT_TRUE(trend);
  EXPECT_EQ(trend->windowTitle(), QStringLiteral("Trend - Pressure"));
  EXPECT_EQ(device().openTrend(rowOf(QStringLiteral("Check the status")) + 1), nullptr) << "a method has no trend";
  ASSERT_TRUE(waitFor([&] { return trend->chart()->readingCount() >= 8; }, 10000));
  EXPECT_EQ(trend->chart()->unit(), QStringLiteral("kPa"));
  EXPECT_NEAR(trend->chart()->lastValue(), 101.3, 1.0);
  saveScreenshot(*trend, "trend");

  // An edit stops the refresh; the next fill starts it again.
  emit device().tableView()->editStarted(pressure + 1, 1);
  EXPECT_FALSE(refresh().running());
  EXPECT_FALSE(refresh().active());
  const int readings = trend->chart()->readingCount();
  QTest::qWait(100);
  EXPECT_EQ(trend->chart()->readingCount(), readings);
  tree().setCurrentIndex(tree().model()->index(0, 0));
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Measurement")) >= 0 && !device().busy(); }));
  EXPECT_TRUE(trend->isVisible()) << "the trend waits while its row is not shown";

  // Closing the window while the refresh runs: the worker has ended when
  // the window is gone, with no box on the way.
  measurementMenu();
  ASSERT_TRUE(refresh().running());
  QElapsedTimer closing;
  closing.start();
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(refresh().active());
  RecordProperty("close_ms", static_cast<int>(closing.elapsed()));
  EXPECT_EQ(dialogs.messages().filter(QStringLiteral("Error")), QStringList{}) << seen();
}

TEST_F(Monitoring, TheMonitoringDialogRereadsShowsItsTrendAndOkSetsTheValue) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(0);
  measurementMenu();
  QString shown;
  dialogs.expect(QStringLiteral("monitorDialog Dynamic monitoring of variables---Pressure"), [&](QDialog& d) {
    MonitoringDialog& m = monitoring(d);
    EXPECT_FALSE(refresh().running()) << "a method runs with the refresh stopped";
    EXPECT_EQ(m.resistanceField(), nullptr);
    EXPECT_TRUE(m.valueField()->text().isEmpty()) << "the first read comes after 300 ms";
    ASSERT_TRUE(waitFor([&] { return m.trend()->readingCount() >= 6; }, 10000));
    EXPECT_TRUE(labels(d).contains(QStringLiteral("Pressure")));
    EXPECT_EQ(m.unitLabel()->text(), QStringLiteral("kPa"));
    EXPECT_EQ(m.trend()->unit(), QStringLiteral("kPa"));
    EXPECT_NEAR(m.valueField()->text().toDouble(), 101.3, 1.0);
    saveScreenshot(d, "monitoring");
    shown = m.valueField()->text();
    QTest::mouseClick(m.okButton(), Qt::LeftButton);
    EXPECT_EQ(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor,
              Qt::WaitCursor);
    const int ticks = m.ticks();
    EXPECT_TRUE(d.isVisible()) << "it closes 300 ms later";
    ASSERT_TRUE(waitFor([&] { return !d.isVisible(); }, 3000));
    EXPECT_EQ(m.ticks(), ticks) << "no read after OK";
  });
  doubleClick(rowOf(QStringLiteral("Monitor the pressure")), 0);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); }, 15000)) << seen();
  // OK set the variable from the field; the view read its menu again after
  // the method, so the table shows a value read since.
  EXPECT_FALSE(shown.isEmpty());
  EXPECT_TRUE(refresh().running()) << "the method's end fills the view, which starts the refresh";
}

TEST_F(Monitoring, TheCollectValueDialogComputesTheVoltageAndKeepsTheResistance) {
  fs::create_directories(folder.file("data"));
  folder.write("data/data.ini", "[QLDZ]\nvalue=4.7\n");
  plug("profibus", 5, "profibus-pressure.ini");
  openWindow();
  connectAs(0);
  measurementMenu();
  const auto waitTick = [](MonitoringDialog& m) {
    const int ticks = m.ticks();
    return waitFor([&] { return m.ticks() >= ticks + 2; }, 5000);
  };
  dialogs.expect(QStringLiteral("collectValueDialog Dynamic monitoring of variables---Sensor resistance"),
                 [&](QDialog& d) {
                   MonitoringDialog& m = monitoring(d);
                   ASSERT_TRUE(m.resistanceField());
                   EXPECT_EQ(m.resistanceField()->text(), QStringLiteral("4.7")) << "from data/data.ini";
                   EXPECT_EQ(m.unitLabel()->text(), QStringLiteral("Ω")) << "before the first read";
                   const QStringList texts = labels(d);
                   for (const char* t : {"Bridge resistance:", "KΩ", "Sensor resistance", "Voltage Value:", "mV"})
                     EXPECT_TRUE(texts.contains(QString::fromUtf8(t))) << t;
                   ASSERT_TRUE(waitFor([&] { return m.trend()->readingCount() >= 4; }, 10000));
                   const double c = m.valueField()->text().toDouble();
                   EXPECT_NEAR(c, 3520, 30);
                   EXPECT_NEAR(m.voltageField()->text().toDouble(), 3.3 / (4.7 + 3.3) * c, 0.01);
                   EXPECT_EQ(m.trend()->unit(), QStringLiteral("Ω"));

                   // R = 0 shows V equal to C, and so does an empty field.
                   for (const QString& r : {QStringLiteral("0"), QString()}) {
                     m.resistanceField()->setText(r);
                     ASSERT_TRUE(waitTick(m));
                     EXPECT_EQ(m.voltageField()->text().toDouble(), m.valueField()->text().toDouble())
                         << r.toStdString();
                     EXPECT_EQ(m.voltageField()->text().count(QLatin1Char('.')), 1);
                     EXPECT_EQ(m.voltageField()->text().section(QLatin1Char('.'), 1).size(), 6) << "%f";
                   }
                   // The resistance typed is kept by the next read, though
                   // the dialog is then cancelled.
                   m.resistanceField()->setText(QStringLiteral("2.2"));
                   ASSERT_TRUE(waitTick(m));
                   saveScreenshot(d, "collect-value");
                   QTest::mouseClick(m.cancelButton(), Qt::LeftButton);
                 });
  doubleClick(rowOf(QStringLiteral("Collect the bridge voltage")), 0);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); }, 15000)) << seen();
  EXPECT_EQ(platform::readProfileString("QLDZ", "value", folder.file("data/data.ini")), "2.2");
}

TEST_F(Monitoring, OkAfterAFailedReadSetsNothingAndSaysSo) {
  plug("profibus", 5, "profibus-pressure.ini");
  openWindow();
  connectAs(0);
  measurementMenu();
  const QString before = cell(QStringLiteral("Pressure"), 1);
  dialogs.expect(QStringLiteral("monitorDialog Dynamic monitoring of variables---Pressure"), [&](QDialog& d) {
    MonitoringDialog& m = monitoring(d);
    ASSERT_TRUE(waitFor([&] { return m.ticks() >= 1; }, 5000));
    // The field of a dialog whose last read failed is empty.
    m.valueField()->clear();
    QTest::mouseClick(m.okButton(), Qt::LeftButton);
  });
  dialogs.ok(QStringLiteral("Error: Error: The value of \"Pressure\" could not be read!"));
  doubleClick(rowOf(QStringLiteral("Monitor the output")), 0);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); }, 15000)) << seen();
  EXPECT_FALSE(cell(QStringLiteral("Pressure"), 1).isEmpty()) << before.toStdString();
}

}  // namespace
}  // namespace tavrin::gui::testing
