// The everyday path in the window, against tavrin-sim on both buses: start,
// Connect with the user type chosen, the parameter table, Read, an edit
// and Update modified, the combo and check-combo cells, the context menu,
// the function view and a method by double-click, Disconnect, close.
#include <QComboBox>
#include <QLabel>
#include <QSplitter>

#include "app/table.h"
#include "check_combo_box.h"
#include "gui_harness.h"

namespace tavrin::gui::testing {
namespace {

const QColor kBand(0, 255, 255), kGrey(192, 192, 192), kWhite(255, 255, 255), kYellow(255, 255, 0);

class EndToEnd : public GuiTest {
 protected:
  // The pop-up menu that is open, if any.
  static QMenu* popup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }
  void chooseFromPopup(const QString& entry) {
    ASSERT_TRUE(waitFor([] { return popup() != nullptr; })) << seen();
    QMenu* menu = popup();
    for (QAction* a : menu->actions()) {
      if (a->text() == entry) {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        return;
      }
    }
    FAIL() << "no entry " << entry.toStdString();
  }
  // Waits until the commit of an edit has shown its result.
  void waitForStatus(const QString& label, const QString& status) {
    ASSERT_TRUE(waitFor([&] { return cell(label, 3) == status; }))
        << label.toStdString() << ": " << cell(label, 3).toStdString() << "\n" << seen();
  }
  void updateModified() {
    dialogs.yes(QStringLiteral("WARNING: The operation will only download the modified variables to the transmitter?"));
    rightClick(rowOf(QStringLiteral("Parameters")), 0);
    chooseFromPopup(QStringLiteral("Update modified variables"));
    ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  }
};

TEST_F(EndToEnd, ModbusEverydayPath) {
  plug("modbus", 1, "modbus-pressure.ini", "Tavrin on the test bench");
  openWindow();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Tavrin on the test bench"));
  EXPECT_EQ(window->connectionPane()->text(), QStringLiteral("State: Disconnect"));
  EXPECT_EQ(device().splitter()->sizes().at(0), DeviceWindow::kTreeWidth);
  EXPECT_EQ(model().rowCount(), 0);

  connectAs(0);
  EXPECT_EQ(window->connectionPane()->text(), QStringLiteral("Status: Connected"));
  // Header, widths and the look of each kind of row.
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(model().headerData(c, Qt::Horizontal).toString().toStdString(), app::Table::kHeader[c]);
    EXPECT_EQ(table().columnWidth(c), app::Table::kColumnWidths[static_cast<size_t>(c)]);
  }
  QStringList labels;
  for (int r = 0; r < model().rowCount(); ++r) labels << cell(r, 0);
  EXPECT_EQ(labels, (QStringList{"Parameters", "Measurement", "Pressure", "Sensor temperature", "Status",
                                 "Configuration", "Pressure unit", "Temperature unit", "Lower range value",
                                 "Upper range value", "Damping", "Output mode", "Alarm enable mask",
                                 "Display options", "Device", "Tag", "Serial number"}));
  const int parameters = rowOf(QStringLiteral("Parameters")), measurement = rowOf(QStringLiteral("Measurement"));
  for (int band : {parameters, measurement}) {
    EXPECT_EQ(table().columnSpan(band, 0), 4) << band;
    EXPECT_EQ(background(band, 0), kBand);
    EXPECT_FALSE(editable(band, 0));
  }
  const int pressure = rowOf(QStringLiteral("Pressure")), damping = rowOf(QStringLiteral("Damping"));
  EXPECT_EQ(table().columnSpan(pressure, 0), 1);
  EXPECT_EQ(table().rowHeight(pressure), app::Table::kRowHeight);
  EXPECT_FALSE(editable(pressure, 1)) << "measured values are read only";
  EXPECT_EQ(background(pressure, 1), kGrey);
  EXPECT_TRUE(editable(damping, 1));
  EXPECT_EQ(background(damping, 1), kWhite);
  EXPECT_FALSE(editable(damping, 0));
  EXPECT_EQ(cell(damping, 3), QStringLiteral("Initial value"));
  EXPECT_EQ(cell(QStringLiteral("Pressure unit"), 1), QStringLiteral("kPa"));
  EXPECT_EQ(model().index(damping, 1).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Value: 0.0"));
  EXPECT_EQ(tree().model()->rowCount(), 1);
  EXPECT_EQ(tree().currentIndex().data().toString(), QStringLiteral("Parameters"));

  // Ctrl+O reads everything under the progress dialog.
  EXPECT_TRUE(action(ActionId::Read)->isEnabled());
  EXPECT_TRUE(action(ActionId::Parameter)->isChecked());
  keys(QKeySequence(Qt::CTRL | Qt::Key_O));
  ASSERT_TRUE(waitFor([&] { return cell(QStringLiteral("Damping"), 3) == QStringLiteral("Loaded"); })) << seen();
  EXPECT_TRUE(dialogs.seen().contains(QStringLiteral("progress: Upload data from transmitter, please wait... ...")))
      << seen();
  EXPECT_EQ(cell(QStringLiteral("Damping"), 1).trimmed(), QStringLiteral("0.5"));
  EXPECT_EQ(cell(QStringLiteral("Tag"), 1).trimmed(), QStringLiteral("PT-MB-01"));
  EXPECT_EQ(writes(true), Lines{}) << "reading writes nothing";
  screenshot("modbus-parameter-table");

  // An edited value is committed 200 ms after the edit; Update modified
  // writes exactly that.
  typeInto(rowOf(QStringLiteral("Damping")), QStringLiteral("2.5"));
  waitForStatus(QStringLiteral("Damping"), QStringLiteral("Changed"));
  EXPECT_EQ(cell(QStringLiteral("Damping"), 1).trimmed(), QStringLiteral("2.5"));
  EXPECT_EQ(foreground(rowOf(QStringLiteral("Damping")), 3), kYellow);
  // A right-click in the value column opens nothing; the next one in the
  // first column is the only menu that comes.
  rightClick(rowOf(QStringLiteral("Damping")), 1);
  updateModified();
  EXPECT_EQ(dialogs.seen().filter(QStringLiteral("menu: ")),
            QStringList{QStringLiteral("menu: Update modified variables | Update all variables")});
  EXPECT_EQ(writes(true), Lines{"10 0006"});
  EXPECT_EQ(cell(QStringLiteral("Damping"), 3), QStringLiteral("Loaded"));

  // The enumeration's combo stores the enumerator chosen.
  const int unit = rowOf(QStringLiteral("Pressure unit"));
  doubleClick(unit, 1);

  QComboBox* combo = nullptr;
  ASSERT_TRUE(waitFor([&] { return (combo = table().viewport()->findChild<QComboBox*>()) && combo->view()->isVisible(); }));
  EXPECT_EQ(combo->currentText(), QStringLiteral("kPa"));
  combo->view()->setCurrentIndex(combo->model()->index(combo->findText(QStringLiteral("bar")), 0));
  QTest::keyClick(combo->view(), Qt::Key_Return);
  waitForStatus(QStringLiteral("Pressure unit"), QStringLiteral("Changed"));
  EXPECT_EQ(cell(QStringLiteral("Pressure unit"), 1), QStringLiteral("bar"));
  EXPECT_EQ(cell(QStringLiteral("Upper range value"), 1).trimmed(), QStringLiteral("2.000")) << "200 kPa in bar";

  // The bit enumeration's check boxes show the value and change it.
  const int options = rowOf(QStringLiteral("Display options"));
  EXPECT_EQ(cell(options, 1), QStringLiteral("0x5"));
  EXPECT_EQ(model().index(options, 1).data(Qt::AccessibleDescriptionRole).toString(),
            QStringLiteral("set: Pressure, Bar graph; editable"));
  doubleClick(options, 1);
  CheckComboBox* checks = nullptr;
  ASSERT_TRUE(waitFor([&] { return (checks = table().viewport()->findChild<CheckComboBox*>()) && checks->view()->isVisible(); }));
  EXPECT_EQ(checks->checkedItems(), (QList<bool>{true, false, true, false}));
  const QRect backlight = checks->view()->visualRect(checks->model()->index(3, 0));
  QTest::mouseClick(checks->view()->viewport(), Qt::LeftButton, {}, backlight.center());
  EXPECT_EQ(checks->checkedItems(), (QList<bool>{true, false, true, true})) << "the list stays open for more";
  QTest::keyClick(checks->view(), Qt::Key_Escape);
  waitForStatus(QStringLiteral("Display options"), QStringLiteral("Changed"));
  EXPECT_EQ(cell(QStringLiteral("Display options"), 1), QStringLiteral("0xD"));

  updateModified();
  EXPECT_EQ(writes(true), (Lines{"10 0006", "06 0000", "10 0002", "06 000A"}))
      << "the unit, the range it converted, the display options";
  EXPECT_EQ(modbusWrite("0000"), "01 06 00 00 04 71") << "bar is 1137";
  EXPECT_EQ(modbusWrite("000A"), "01 06 00 0A 00 0D");

  // The function view: a menu chosen in the tree, a method run by
  // double-click; a sub-menu opens by double-click too.
  trigger(ActionId::Function);
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Measurement")) >= 0; }));
  const QModelIndex root = tree().currentIndex();
  EXPECT_EQ(root.data().toString(), QStringLiteral("Transmitter"));
  ASSERT_EQ(tree().model()->rowCount(root), 3);
  EXPECT_TRUE(tree().isExpanded(root));
  const QModelIndex measurementItem = tree().model()->index(0, 0, root);
  QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, tree().visualRect(measurementItem).center());
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Check the status")) >= 0; }));
  EXPECT_EQ(cell(QStringLiteral("Pressure"), 3), QStringLiteral("Loaded")) << "opening a menu reads it";
  EXPECT_EQ(model().index(rowOf(QStringLiteral("Check the status")), 0).data(Qt::AccessibleDescriptionRole).toString(),
            QStringLiteral("method, double-click runs it"));
  screenshot("modbus-function-view");
  dialogs.ok(QStringLiteral("Message: The transmitter reports no fault."));
  doubleClick(rowOf(QStringLiteral("Check the status")), 0);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(tree().currentIndex().data().toString(), QStringLiteral("Measurement")) << "the tree keeps its state";
  EXPECT_GE(rowOf(QStringLiteral("Check the status")), 0);

  tree().setCurrentIndex(root);
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Configuration")) >= 0; }));
  doubleClick(rowOf(QStringLiteral("Configuration")), 0);
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Set the damping")) >= 0; }));
  EXPECT_EQ(tree().currentIndex().data().toString(), QStringLiteral("Transmitter"))
      << "opening a sub-menu in the table leaves the tree's selection";

  dialogs.yes(QStringLiteral("WARNING: Are you sure to quit?"));
  trigger(ActionId::Disconnect);
  ASSERT_TRUE(waitFor([&] { return !device().session().connected(); }));
  EXPECT_EQ(window->connectionPane()->text(), QStringLiteral("Status: Disconnected"));
  EXPECT_EQ(model().rowCount(), 0);
  EXPECT_EQ(tree().model()->rowCount(), 0);
  closeWindow();
}

TEST_F(EndToEnd, ModbusWriteBeforeAnyReadAsksTwice) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(1);
  dialogs
      .yes(QStringLiteral(
          "WARNING: Read operation has not been implemented. The default value will be downloaded to the transmitter!"))
      .no(QStringLiteral("WARNING: Please confirm to download default data to the transmitter again?"));
  trigger(ActionId::Write);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); }));
  EXPECT_EQ(writes(true), Lines{});
  EXPECT_FALSE(editable(rowOf(QStringLiteral("Pressure unit")), 1)) << "read only in the maintenance table";
}

TEST_F(EndToEnd, ProfibusEverydayPath) {
  plug("profibus", 5, "profibus-pressure.ini");
  openWindow();
  connectAs(0);
  EXPECT_EQ(window->connectionPane()->text(), QStringLiteral("Status: Connected"));
  const int identification = rowOf(QStringLiteral("Identification")), pressure = rowOf(QStringLiteral("Pressure"));
  EXPECT_EQ(table().columnSpan(identification, 0), 4);
  EXPECT_EQ(background(identification, 0), kBand);
  EXPECT_FALSE(editable(pressure, 1));
  EXPECT_EQ(background(pressure, 1), kGrey);
  const int damping = rowOf(QStringLiteral("Damping"));
  EXPECT_TRUE(editable(damping, 1));
  EXPECT_EQ(background(damping, 1), kWhite);
  // A bit enumeration the device only reports: check boxes to look at.
  const QModelIndex temperatureStatus = model().index(rowOf(QStringLiteral("Temperature status")), 1);
  EXPECT_EQ(temperatureStatus.data(ParameterTableModel::KindRole).toInt(), static_cast<int>(app::CellKind::CheckCombo));
  EXPECT_FALSE(model().flags(temperatureStatus) & Qt::ItemIsEditable);
  keys(QKeySequence(Qt::CTRL | Qt::Key_O));
  ASSERT_TRUE(waitFor([&] { return cell(QStringLiteral("Damping"), 3) == QStringLiteral("Loaded"); })) << seen();
  EXPECT_EQ(cell(QStringLiteral("Tag"), 1).trimmed(), QStringLiteral("PT-PA-01"));
  EXPECT_EQ(temperatureStatus.data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("set: Good; read-only"));
  screenshot("profibus-parameter-table");

  typeInto(rowOf(QStringLiteral("Damping")), QStringLiteral("4"));
  waitForStatus(QStringLiteral("Damping"), QStringLiteral("Changed"));
  rightClick(rowOf(QStringLiteral("Damping")), 1);
  updateModified();
  EXPECT_EQ(dialogs.seen().filter(QStringLiteral("menu: ")).size(), 1) << "the right-click in the value column opened none";
  EXPECT_EQ(writes(false), Lines{"01 24"});

  // An enumeration through its combo: the temperature unit (slot 3, index 32).
  doubleClick(rowOf(QStringLiteral("Temperature unit")), 1);
  QComboBox* combo = nullptr;
  ASSERT_TRUE(waitFor([&] { return (combo = table().viewport()->findChild<QComboBox*>()) && combo->view()->isVisible(); }));
  EXPECT_EQ(combo->currentText(), QStringLiteral("°C"));
  combo->view()->setCurrentIndex(combo->model()->index(combo->findText(QStringLiteral("K")), 0));
  QTest::keyClick(combo->view(), Qt::Key_Return);
  waitForStatus(QStringLiteral("Temperature unit"), QStringLiteral("Changed"));
  EXPECT_EQ(cell(QStringLiteral("Temperature unit"), 1), QStringLiteral("K"));
  updateModified();
  EXPECT_EQ(writes(false), (Lines{"01 24", "03 20"}));

  trigger(ActionId::Function);
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Configuration")) >= 0; }));
  doubleClick(rowOf(QStringLiteral("Configuration")), 0);
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Set the damping")) >= 0; }));
  dialogs.enter(QStringLiteral("numericInputDialog"), QStringLiteral("3"))
      .ok(QStringLiteral("Acknowledge: The damping is now"));
  doubleClick(rowOf(QStringLiteral("Set the damping")), 0);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(writes(false), (Lines{"01 24", "03 20", "01 24"}));
  screenshot("profibus-function-view");

  dialogs.yes(QStringLiteral("WARNING: Are you sure to quit?"));
  trigger(ActionId::Disconnect);
  ASSERT_TRUE(waitFor([&] { return !device().session().connected(); }));
  EXPECT_EQ(window->connectionPane()->text(), QStringLiteral("Status: Disconnected"));
  EXPECT_EQ(model().rowCount(), 0);
  closeWindow();
}

TEST_F(EndToEnd, ProfibusWriteBeforeAnyReadAsksTwiceAndSendsTheDefaults) {
  plug("profibus", 5, "profibus-pressure.ini");
  openWindow();
  connectAs(0);
  dialogs
      .yes(QStringLiteral(
          "WARNING: Read operation has not been implemented. The default value will be downloaded to the transmitter!"))
      .yes(QStringLiteral("WARNING: Please confirm to download default data to the transmitter again?"));
  trigger(ActionId::Write);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_TRUE(dialogs.seen().contains(QStringLiteral("progress: Download data to transmitter, please wait... ...")))
      << seen();
  EXPECT_EQ(writes(false), (Lines{"01 21", "01 22", "01 24", "01 6A", "03 20", "00 12"}))
      << "each variable of the download menu once, in its order";
  EXPECT_EQ(cell(QStringLiteral("Damping"), 3), QStringLiteral("Loaded"));
}

}  // namespace
}  // namespace tavrin::gui::testing
