// The main window's commands: menus, accelerators, toolbar and status bar,
// the actions' states in each view, the View toggles and the About box;
// the table's clipboard and edits that race a refill.
#include <QAccessible>
#include <QClipboard>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "app/configuration.h"
#include "gui_harness.h"
#include "lock_indicators.h"

namespace tavrin::gui::testing {
namespace {

class Window : public GuiTest {
 protected:
  // "+" enabled, "-" disabled, "*" checked, per action.
  std::string states(std::initializer_list<ActionId> ids) const {
    std::string out;
    for (ActionId id : ids) {
      QAction* a = action(id);
      QString text = a->text();
      text.remove(QRegularExpression(QStringLiteral("\\(&.\\)"))).remove(QLatin1Char('&'));
      out += (a->isEnabled() ? "+" : "-") + std::string(a->isChecked() ? "*" : "") + text.toStdString() + " ";
    }
    return out;
  }
  std::string viewStates() const {
    return states({ActionId::Read, ActionId::Write, ActionId::Import, ActionId::Export, ActionId::UpdateModified,
                   ActionId::ComSetting, ActionId::Parameter, ActionId::Function, ActionId::Calibration,
                   ActionId::Disconnect, ActionId::Modbus, ActionId::Profibus, ActionId::Hart});
  }
  QStringList entries(MenuId id) const {
    QStringList out;
    for (QAction* a : window->menu(id)->actions())
      out << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->shortcut().isEmpty() ? QString() : QStringLiteral("\t") + a->shortcut().toString()));
    return out;
  }
};

TEST_F(Window, MenusToolbarAndStatusBarAsSpecified) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  EXPECT_EQ(window->size(), QSize(MainWindow::kWidth, MainWindow::kHeight));
  EXPECT_EQ(MainWindow::initialPosition(QSize(1024, 768)), QPoint(-38, 22));
  EXPECT_EQ(MainWindow::initialPosition(QSize(1920, 1080)), QPoint(410, 126));

  EXPECT_EQ(entries(MenuId::Device), (QStringList{"Connect(&N)\tCtrl+N", "Export(&E)", "Import(&I)", "Compare with file...", "-",
                                                   "Exit(&X)"}));
  EXPECT_EQ(entries(MenuId::View), (QStringList{"Tool(&T)", "Status(&S)", "Bus monitor"}));
  EXPECT_EQ(entries(MenuId::Operation), (QStringList{"Parameter", "Function", "Calibration"}));
  EXPECT_EQ(entries(MenuId::Communication), (QStringList{"HART", "Profibus", "Modbus", "-", "Address setting",
                                                          "Address polling", "-", "COM Setting"}));
  EXPECT_EQ(entries(MenuId::Setting), (QStringList{"Add file", "Change password"}));
  EXPECT_EQ(entries(MenuId::Help), (QStringList{"About..."}));
  EXPECT_EQ(action(ActionId::Read)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
  const QList<QKeySequence> copy{QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)};
  const QList<QKeySequence> cut{QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)};
  const QList<QKeySequence> paste{QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)};
  EXPECT_EQ(action(ActionId::Copy)->shortcuts(), copy);
  EXPECT_EQ(action(ActionId::Cut)->shortcuts(), cut);
  EXPECT_EQ(action(ActionId::Paste)->shortcuts(), paste);

  QStringList tools;
  for (QAction* a : window->toolBar()->actions()) {
    tools << (a->isSeparator() ? QStringLiteral("-") : a->iconText());
    if (!a->isSeparator()) {
      EXPECT_FALSE(a->icon().isNull()) << a->iconText().toStdString();
      auto* button = qobject_cast<QToolButton*>(window->toolBar()->widgetForAction(a));
      ASSERT_TRUE(button);
      EXPECT_FALSE(button->text().isEmpty()) << "every control has a name";
    }
  }
  EXPECT_EQ(tools, (QStringList{"Connect", "-", "Read", "Write", "-", "Para", "Function", "Trim", "Disconnect"}));

  EXPECT_EQ(window->connectionPane()->text(), QStringLiteral("State: Disconnect"));
  EXPECT_GE(window->connectionPane()->width(), MainWindow::kConnectionPaneWidth);
  EXPECT_FALSE(window->connectionPane()->accessibleName().isEmpty());
  EXPECT_EQ(window->lockIndicators()->available(), queryLockState().has_value());
  EXPECT_FALSE(tree().accessibleName().isEmpty());
  EXPECT_FALSE(table().accessibleName().isEmpty());

  // The View toggles.
  trigger(ActionId::ToolBar);
  EXPECT_TRUE(window->toolBar()->isHidden());
  EXPECT_FALSE(action(ActionId::ToolBar)->isChecked());
  trigger(ActionId::ToolBar);
  EXPECT_FALSE(window->toolBar()->isHidden());
  EXPECT_TRUE(action(ActionId::ToolBar)->isChecked());
  trigger(ActionId::StatusBar);
  EXPECT_TRUE(window->statusBar()->isHidden());
  trigger(ActionId::StatusBar);
  EXPECT_FALSE(window->statusBar()->isHidden());
  EXPECT_TRUE(action(ActionId::StatusBar)->isChecked());

  dialogs.ok(QStringLiteral("About Tavrin: Software V1.0.1"));
  trigger(ActionId::About);
  EXPECT_TRUE(dialogs.done());
}

// Every control a screen reader reaches in the window, the table's cells
// and the tree's items included, says what it is.
TEST_F(Window, EveryControlHasANameForAScreenReader) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(0);
  QStringList nameless;
  int cells = 0;
  std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* at, int depth) {
    // What is not shown (the toolbar's overflow button) is not reached.
    if (!at || depth > 12 || at->state().invisible) return;
    switch (at->role()) {
      case QAccessible::Button:
      case QAccessible::CheckBox:
      case QAccessible::ComboBox:
      case QAccessible::EditableText:
      case QAccessible::MenuItem:
      case QAccessible::Table:
      case QAccessible::Tree:
      case QAccessible::TreeItem:
      case QAccessible::Cell:
      case QAccessible::ToolBar:
      case QAccessible::StatusBar:
      case QAccessible::MenuBar:
        if (at->text(QAccessible::Name).trimmed().isEmpty())
          nameless << QStringLiteral("%1 %2").arg(at->role()).arg(at->object() ? at->object()->objectName() : QString());
        break;
      default: break;
    }
    if (at->role() == QAccessible::Cell) ++cells;
    for (int i = 0; i < at->childCount(); ++i) walk(at->child(i), depth + 1);
  };
  walk(QAccessible::queryAccessibleInterface(window.get()), 0);
  EXPECT_EQ(nameless, QStringList{});
  EXPECT_GE(cells, model().rowCount() * 4) << "the table's cells are reached";
}

TEST_F(Window, ActionsFollowTheSessionInEveryView) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  const std::string disconnected = "-Read -Write -Import -Export -Update modified variables +COM Setting -Parameter "
                                   "-Function -Calibration -Disconnect +*Modbus +Profibus -HART ";
  EXPECT_EQ(viewStates(), disconnected);
  EXPECT_TRUE(action(ActionId::Connect)->isEnabled());
  // A disabled command's accelerator does nothing (Read would say that it
  // works only in the parameter table).
  keys(QKeySequence(Qt::CTRL | Qt::Key_O));
  EXPECT_EQ(dialogs.seen(), QStringList{});

  connectAs(0);
  EXPECT_EQ(viewStates(), "+Read +Write +Import +Export +Update modified variables -COM Setting +*Parameter "
                          "+Function +Calibration +Disconnect -*Modbus -Profibus -HART ");
  trigger(ActionId::Parameter);
  EXPECT_TRUE(action(ActionId::Parameter)->isChecked()) << "a view entered again keeps its check mark";

  trigger(ActionId::Function);
  ASSERT_TRUE(waitFor([&] { return action(ActionId::Function)->isChecked(); }));
  EXPECT_EQ(viewStates(), "-Read -Write -Import -Export -Update modified variables +COM Setting +Parameter "
                          "+*Function +Calibration +Disconnect -*Modbus -Profibus -HART ");

  trigger(ActionId::Calibration);
  EXPECT_EQ(viewStates(), "-Read -Write -Import -Export -Update modified variables +COM Setting +Parameter "
                          "+Function +*Calibration +Disconnect -*Modbus -Profibus -HART ");
  trigger(ActionId::Parameter);
  EXPECT_TRUE(action(ActionId::Parameter)->isChecked());

  dialogs.no(QStringLiteral("WARNING: Are you sure to quit?"));
  trigger(ActionId::Disconnect);
  EXPECT_TRUE(device().session().connected());
  dialogs.yes(QStringLiteral("WARNING: Are you sure to quit?"));
  trigger(ActionId::Disconnect);
  EXPECT_EQ(viewStates(), disconnected);

  // The communication type while disconnected.
  trigger(ActionId::Profibus);
  EXPECT_EQ(states({ActionId::Modbus, ActionId::Profibus}), "+Modbus +*Profibus ");
  EXPECT_EQ(app::readCommunicationType(folder.comIni()), app::CommunicationType::Profibus);
  trigger(ActionId::Modbus);
  EXPECT_EQ(states({ActionId::Modbus, ActionId::Profibus}), "+*Modbus +Profibus ");
  trigger(ActionId::Modbus);
  EXPECT_EQ(states({ActionId::Modbus, ActionId::Profibus}), "+*Modbus +Profibus ") << "choosing it again changes nothing";
}

TEST_F(Window, AComIniWithoutATypeIsSaidAndTheWindowStillComesUp) {
  folder.write("com.ini", "[COMMUNICATION]\nTYPE=HART\n");
  dialogs.ok(QStringLiteral("Error: Error: The type of Communication is error!"));
  openWindow();
  EXPECT_TRUE(dialogs.done());
  EXPECT_EQ(window->windowTitle(), QString()) << "no title in com.ini";
  EXPECT_EQ(states({ActionId::Modbus, ActionId::Profibus, ActionId::Connect}), "+Modbus +Profibus +Connect ");
  // Connect then only resets the session.
  trigger(ActionId::Connect);
  EXPECT_FALSE(device().session().connected());
  EXPECT_EQ(dialogs.messages().size(), 1) << seen();
}

TEST_F(Window, ClipboardCopiesCutsAndPastesThroughTheEditCommit) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(0);
  const int damping = rowOf(QStringLiteral("Damping"));
  table().setFocus();
  selectCell(damping, 0);
  table().selectionModel()->select(QItemSelection(model().index(damping, 0), model().index(damping, 3)),
                                   QItemSelectionModel::ClearAndSelect);
  keys(QKeySequence(Qt::CTRL | Qt::Key_Insert));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Damping\t  0.0\ts\tInitial value\n"));

  // Two lines into the range values: each cell committed as an edit.
  const int lower = rowOf(QStringLiteral("Lower range value"));
  QApplication::clipboard()->setText(QStringLiteral("10\tignored\n150\n"));
  selectCell(lower, 1);
  keys(QKeySequence(Qt::SHIFT | Qt::Key_Insert));
  ASSERT_TRUE(waitFor([&] { return cell(QStringLiteral("Upper range value"), 3) == QStringLiteral("Changed"); }))
      << seen();
  EXPECT_EQ(cell(QStringLiteral("Lower range value"), 1).trimmed(), QStringLiteral("10.000"));
  EXPECT_EQ(cell(QStringLiteral("Upper range value"), 1).trimmed(), QStringLiteral("150.000"));
  EXPECT_EQ(cell(QStringLiteral("Lower range value"), 2), QStringLiteral("kPa")) << "read-only cells keep theirs";

  // A pasted value the range refuses is said; the cell shows the stored one.
  dialogs.ok(QStringLiteral("Error: Error: The variable \"Damping\" is out of range!"));
  QApplication::clipboard()->setText(QStringLiteral("99"));
  selectCell(damping, 1);
  keys(QKeySequence(Qt::CTRL | Qt::Key_V));
  ASSERT_TRUE(waitFor([&] { return dialogs.done(); })) << seen();
  EXPECT_EQ(cell(QStringLiteral("Damping"), 1).trimmed(), QStringLiteral("0.0"));
  EXPECT_EQ(cell(QStringLiteral("Damping"), 3), QStringLiteral("Initial value"));

  selectCell(damping, 2);
  keys(QKeySequence(Qt::CTRL | Qt::Key_C));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("s\n")) << "the window's Copy, not the view's own";

  // Cut copies, and empties what can be emptied.
  const int tag = rowOf(QStringLiteral("Tag"));
  selectCell(tag, 1);
  keys(QKeySequence(Qt::SHIFT | Qt::Key_Delete));
  ASSERT_TRUE(waitFor([&] { return cell(QStringLiteral("Tag"), 3) == QStringLiteral("Changed"); })) << seen();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("PT-MB\n"));
  EXPECT_EQ(cell(QStringLiteral("Tag"), 1), QString());
  const int serial = rowOf(QStringLiteral("Serial number"));
  selectCell(serial, 1);
  keys(QKeySequence(Qt::CTRL | Qt::Key_X));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("\n")) << "nothing read yet";
  EXPECT_EQ(cell(QStringLiteral("Serial number"), 3), QStringLiteral("Initial value")) << "read only: only copied";
}

TEST_F(Window, TheGridsNotificationsFollowTheirRules) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(0);
  int stops = 0;
  device().session().setBackgroundRefresh([] {}, [&] { ++stops; });

  // Beginning an edit stops the background refresh; its end commits later.
  const int damping = rowOf(QStringLiteral("Damping"));
  selectCell(damping, 1);
  table().edit(model().index(damping, 1));
  EXPECT_EQ(stops, 1);
  QPointer<QLineEdit> editor = table().viewport()->findChild<QLineEdit*>();
  ASSERT_TRUE(editor);
  editor->selectAll();
  QTest::keyClicks(editor, QStringLiteral("1.5"));
  QElapsedTimer sinceTheEnd;
  sinceTheEnd.start();
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_EQ(cell(damping, 3), QStringLiteral("Initial value")) << "not committed at once";
  ASSERT_TRUE(waitFor([&] { return cell(QStringLiteral("Damping"), 3) == QStringLiteral("Changed"); })) << seen();
  EXPECT_GE(sinceTheEnd.elapsed(), DeviceWindow::kCommitDelayMs);

  // A right-click in the first column of the parameter view opens the
  // pop-up, a moment later.
  auto popup = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
  rightClick(rowOf(QStringLiteral("Damping")), 0);
  EXPECT_EQ(popup(), nullptr) << "not at once";
  ASSERT_TRUE(waitFor([&] { return popup() != nullptr; }));
  EXPECT_EQ(popup(), device().contextMenu());
  popup()->close();
  dialogs.clearSeen();

  // In the function and calibration views it opens nothing; a double-click
  // acts there, in the first column only, and in the calibration view only
  // on methods.
  trigger(ActionId::Function);
  rightClick(rowOf(QStringLiteral("Measurement")), 0);
  trigger(ActionId::Calibration);
  const int setDamping = rowOf(QStringLiteral("Set the damping"));
  ASSERT_GE(setDamping, 0);
  rightClick(setDamping, 0);
  doubleClick(rowOf(QStringLiteral("Lower range value")), 0);
  doubleClick(setDamping, 1);
  EXPECT_EQ(dialogs.seen(), QStringList{});
  dialogs.enter(QStringLiteral("numericInputDialog"), QStringLiteral("3"))
      .ok(QStringLiteral("Acknowledge: The damping is now"));
  doubleClick(setDamping, 0);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(writes(true), Lines{"10 0006"}) << "the method wrote the damping";

  // Back in the parameter view the next right-click is the only pop-up.
  trigger(ActionId::Parameter);
  rightClick(rowOf(QStringLiteral("Tag")), 0);
  ASSERT_TRUE(waitFor([&] { return popup() != nullptr; }));
  popup()->close();
  EXPECT_EQ(dialogs.seen().filter(QStringLiteral("menu: ")).size(), 1) << seen();
}

TEST_F(Window, AnEditGoesToItsVariableWhereverTheTableShowsIt) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(0);
  dialogs.clearSeen();
  QList<bool> settled;
  QObject::connect(&device(), &DeviceWindow::editSettled, [&](bool ran) { settled << ran; });

  // The table is filled again before the commit's 200 ms are up: the commit
  // waits for the Read and goes to the damping all the same.
  typeInto(rowOf(QStringLiteral("Damping")), QStringLiteral("7"));
  device().readAll();
  ASSERT_TRUE(waitFor([&] { return settled.size() == 1; }));
  EXPECT_EQ(settled, QList<bool>{true});
  EXPECT_EQ(cell(QStringLiteral("Damping"), 1).trimmed(), QStringLiteral("7.0"));
  EXPECT_EQ(cell(QStringLiteral("Damping"), 3), QStringLiteral("Changed"));

  // In the function view a menu without the variable replaces the table:
  // the edit is dropped rather than given to whatever took its row.
  trigger(ActionId::Function);
  const QModelIndex root = tree().currentIndex();
  tree().setCurrentIndex(tree().model()->index(1, 0, root));  // Configuration
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Output mode")) >= 0; }));
  // The other menu is chosen as soon as the edit has ended, long before
  // its commit is due.
  auto choose = QObject::connect(&model(), &ParameterTableModel::valueEdited, &model(), [&] {
    QTimer::singleShot(0, &tree(), [&] { tree().setCurrentIndex(tree().model()->index(2, 0, root)); });  // Device
  });
  typeInto(rowOf(QStringLiteral("Lower range value")), QStringLiteral("5"));
  QObject::disconnect(choose);
  ASSERT_TRUE(waitFor([&] { return settled.size() == 2; }));
  EXPECT_EQ(settled.last(), false);
  tree().setCurrentIndex(tree().model()->index(1, 0, root));
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Lower range value")) >= 0; }));
  EXPECT_EQ(cell(QStringLiteral("Lower range value"), 1).trimmed(), QStringLiteral("0.000"));
  EXPECT_EQ(dialogs.messages(), QStringList{}) << seen();
}

TEST_F(Window, ExportAndImportThroughTheFileDialogs) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(0);
  const std::string file = folder.file("set.txt");
  fs::remove(file);
  typeInto(rowOf(QStringLiteral("Damping")), QStringLiteral("2.5"));
  waitFor([&] { return cell(QStringLiteral("Damping"), 3) == QStringLiteral("Changed"); });
  dialogs.file(QStringLiteral("saveFileDialog Save file"), QString::fromStdString(file));
  trigger(ActionId::Export);
  ASSERT_TRUE(dialogs.done());
  EXPECT_NE(tavrin::testing::TempDir::slurp(file).find("damping=  2.5"), std::string::npos);

  typeInto(rowOf(QStringLiteral("Damping")), QStringLiteral("7"));
  ASSERT_TRUE(waitFor([&] { return cell(QStringLiteral("Damping"), 1).trimmed() == QStringLiteral("7.0"); }));
  dialogs.expect(QStringLiteral("openFileDialog"), [&](QDialog& d) {
    auto& dialog = static_cast<QFileDialog&>(d);
    EXPECT_EQ(dialog.nameFilters(), QStringList{"*.TXT (*.TXT *.txt)"});
    dialog.selectFile(QString::fromStdString(file));
    d.accept();
  });
  trigger(ActionId::Import);
  ASSERT_TRUE(dialogs.done());
  EXPECT_EQ(cell(QStringLiteral("Damping"), 1).trimmed(), QStringLiteral("2.5"));
  EXPECT_EQ(cell(QStringLiteral("Damping"), 3), QStringLiteral("Changed"));
}

TEST_F(Window, ClosingShutsTheSessionDownAndReleasesThePort) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(1);
  EXPECT_EQ(openDescriptorsOn(folder.portLink(5)), 1) << "the port stays open over a disconnect";
  dialogs.yes(QStringLiteral("WARNING: Are you sure to quit?"));
  trigger(ActionId::Disconnect);
  EXPECT_EQ(openDescriptorsOn(folder.portLink(5)), 1);
  closeWindow();
  EXPECT_EQ(openDescriptorsOn(folder.portLink(5)), 0) << "closing the window closes it";
}

}  // namespace
}  // namespace tavrin::gui::testing
