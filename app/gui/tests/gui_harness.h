// What the window's tests share: a script that answers the modal dialogs
// as they come up, and a fixture with the program folder of the real
// drivers and the sample library, tavrin-sim behind COM5 with a trace, the
// main window under Qt's model tester, and screenshots for people to look
// at (into $TAVRIN_SCREENSHOTS when it is set).
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "device_window.h"
#include "main_window.h"
#include "plain_dialogs.h"
#include "program_folder.h"
#include "progress_dialog.h"
#include "table_model.h"
#include "table_view.h"
#include "tree_model.h"

// GoogleTest prints Qt's texts as texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tavrin::gui::testing {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// What a dialog says about itself: a message box its title and text, the
// progress dialog its text, any other dialog its object name and title.
inline QString describe(QWidget* w) {
  if (auto* box = qobject_cast<QMessageBox*>(w)) return box->windowTitle() + QStringLiteral(": ") + box->text();
  if (auto* progress = qobject_cast<ProgressDialog*>(w)) return QStringLiteral("progress: ") + progress->textLabel()->text();
  if (auto* menu = qobject_cast<QMenu*>(w)) {
    QStringList entries;
    for (QAction* a : menu->actions()) entries << a->text();
    return QStringLiteral("menu: ") + entries.join(QStringLiteral(" | "));
  }
  return w->objectName() + QLatin1Char(' ') + w->windowTitle();
}

// Answers modal dialogs in order. A step names part of the dialog's
// description; a dialog that no step expects fails the test and is
// cancelled, so that no test hangs. Progress dialogs and pop-up menus are
// only recorded: they end by themselves.
class DialogScript : public QObject {
 public:
  using Action = std::function<void(QDialog&)>;

  DialogScript() { qApp->installEventFilter(this); }
  ~DialogScript() override {
    qApp->removeEventFilter(this);
    for (const Step& s : steps_) ADD_FAILURE() << "dialog never came: " << s.what.toStdString();
  }

  DialogScript& expect(const QString& what, Action act) {
    steps_.push_back({what, std::move(act)});
    return *this;
  }
  // A message box: the button with that text.
  DialogScript& press(const QString& what, const QString& button) {
    return expect(what, [button](QDialog& d) {
      auto* box = qobject_cast<QMessageBox*>(&d);
      ASSERT_TRUE(box) << "not a message box";
      for (QAbstractButton* b : box->buttons()) {
        if (b->text().remove(QLatin1Char('&')) == button) {
          b->click();
          return;
        }
      }
      ADD_FAILURE() << "no button " << button.toStdString();
      d.reject();
    });
  }
  DialogScript& yes(const QString& what) { return press(what, QStringLiteral("Yes")); }
  DialogScript& no(const QString& what) { return press(what, QStringLiteral("No")); }
  DialogScript& ok(const QString& what) { return press(what, QStringLiteral("OK")); }
  // A list selection or an enumeration input: entry `row` (-1: none).
  DialogScript& choose(const QString& what, int row) {
    return expect(what, [row](QDialog& d) {
      if (auto* combo = d.findChild<QComboBox*>()) {
        combo->setCurrentIndex(row);
      } else {
        auto* list = d.findChild<QListWidget*>();
        ASSERT_TRUE(list) << "no list";
        if (row < 0)
          list->clearSelection();
        else
          list->setCurrentRow(row);
      }
      clickOk(d);
    });
  }
  // "USER choice": the radio button of the type (0 or 1) and the password.
  DialogScript& chooseUser(int type, const QString& password = {}) {
    return expect(QStringLiteral("userChoiceDialog USER choice"), [type, password](QDialog& d) {
      const QList<QRadioButton*> types = d.findChildren<QRadioButton*>();
      ASSERT_EQ(types.size(), 2);
      types[type]->setChecked(true);
      if (auto* field = d.findChild<QLineEdit*>(); field && field->isEnabled()) field->setText(password);
      clickOk(d);
    });
  }
  // A prompt or value input: the text typed into its entry field (the
  // first one that can be typed into), then OK.
  DialogScript& enter(const QString& what, const QString& text) {
    return expect(what, [text](QDialog& d) {
      QLineEdit* edit = nullptr;
      for (QLineEdit* e : d.findChildren<QLineEdit*>())
        if (!edit && !e->isReadOnly() && e->isEnabled()) edit = e;
      ASSERT_TRUE(edit) << "no entry field";
      edit->setText(text);
      clickOk(d);
    });
  }
  static QPushButton* okButtonOf(QDialog& d) {
    if (auto* box = d.findChild<QDialogButtonBox*>())
      if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) return ok;
    for (QPushButton* b : d.findChildren<QPushButton*>())
      if (b->text().remove(QLatin1Char('&')) == QStringLiteral("OK")) return b;
    return nullptr;
  }
  // OK as the person clicks it, so that the dialog's own rules run.
  static void clickOk(QDialog& d) {
    if (QPushButton* ok = okButtonOf(d)) {
      ok->click();
      return;
    }
    ADD_FAILURE() << "no OK button";
    d.reject();
  }
  DialogScript& file(const QString& what, const QString& path) {
    return expect(what, [path](QDialog& d) {
      auto* dialog = qobject_cast<QFileDialog*>(&d);
      ASSERT_TRUE(dialog) << "not a file dialog";
      dialog->selectFile(path);
      static_cast<QDialog*>(dialog)->accept();
    });
  }
  DialogScript& cancel(const QString& what) {
    return expect(what, [](QDialog& d) { d.reject(); });
  }

  // Every dialog and pop-up menu shown, in order.
  const QStringList& seen() const { return seen_; }
  QStringList messages() const {
    QStringList out;
    for (const QString& s : seen_)
      if (!s.startsWith(QStringLiteral("progress: ")) && !s.startsWith(QStringLiteral("menu: "))) out << s;
    return out;
  }
  bool done() const { return steps_.empty(); }
  void clearSeen() { seen_.clear(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
      auto* w = static_cast<QWidget*>(watched);
      if (w->isWindow() && (qobject_cast<QDialog*>(w) || qobject_cast<QMenu*>(w))) {
        seen_ << describe(w);
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && !qobject_cast<ProgressDialog*>(w)) {
          QPointer<QDialog> d(dialog);
          // Inside the dialog's own event loop.
          QTimer::singleShot(0, dialog, [this, d] {
            if (d) handle(*d);
          });
        }
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  struct Step {
    QString what;
    Action act;
  };
  void handle(QDialog& d) {
    const QString description = describe(&d);
    if (steps_.empty() || !description.contains(steps_.front().what)) {
      ADD_FAILURE() << "unexpected dialog: " << description.toStdString()
                    << (steps_.empty() ? std::string() : " (expected " + steps_.front().what.toStdString() + ")");
      d.reject();
      return;
    }
    Action act = std::move(steps_.front().act);
    steps_.pop_front();
    act(d);
  }

  std::deque<Step> steps_;
  QStringList seen_;
};

// A widget as it looks, into $TAVRIN_SCREENSHOTS when it is set, for people
// to look at; no test compares pixels.
inline void saveScreenshot(QWidget& widget, const std::string& name) {
  const char* dir = std::getenv("TAVRIN_SCREENSHOTS");
  if (!dir || !*dir) return;
  std::filesystem::create_directories(dir);
  // The same tests run offscreen and on a real X server (x11_test.cpp).
  const std::string prefix = QGuiApplication::platformName() == QStringLiteral("xcb") ? "x11-" : "";
  const std::string path = std::string(dir) + "/" + prefix + name + ".png";
  EXPECT_TRUE(widget.grab().save(QString::fromStdString(path))) << path;
}

inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 30000) {
  return QTest::qWaitFor(condition, milliseconds);
}

class GuiTest : public ::testing::Test {
 protected:
  GuiTest() {
    // One program folder for the process: a driver library finds its ports
    // through the folder it was first loaded from.
    for (const char* library : {"Profibus", "Modbus"}) {
      fs::remove_all(folder.file(library));
      fs::copy(TAVRIN_DIST_DIR + std::string(library), folder.file(library), fs::copy_options::recursive);
    }
    fs::copy_file(TAVRIN_DIST_DIR "device.cfg", folder.file("device.cfg"), fs::copy_options::overwrite_existing);
    for (const char* stale : {"pw.bin", "com.ini", "trace.txt"}) fs::remove(folder.file(stale));
  }
  ~GuiTest() override {
    closeWindow();
    sim.reset();
  }

  // com.ini for the bus and tavrin-sim with the profile on COM5, tracing.
  void plug(const std::string& bus, int address, const std::string& profile, const std::string& title = "Tavrin") {
    const std::string type = bus == "modbus" ? "MODBUS" : "PROFIBUS";
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=" + type +
                                "\nPORT=5\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n[" + type +
                                "_ADDR]\nADDRESS=" + std::to_string(address) + "\n[TITLE]\nNAME=" + title + "\n");
    sim = std::make_unique<app::testing::Simulator>(bus, folder.portLink(5),
                                                     TAVRIN_SOURCE_DIR "sim/profiles/" + profile,
                                                     Lines{"--trace", folder.file("trace.txt")});
    ASSERT_TRUE(sim->ready());
  }

  MainWindow& openWindow() {
    window = std::make_unique<MainWindow>(folder.files());
    // Every change of the models from here on is checked.
    treeTester = std::make_unique<QAbstractItemModelTester>(
        device().treeModel(), QAbstractItemModelTester::FailureReportingMode::Warning);
    tableTester = std::make_unique<QAbstractItemModelTester>(
        device().tableModel(), QAbstractItemModelTester::FailureReportingMode::Warning);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return *window;
  }
  void closeWindow() {
    if (!window) return;
    window->close();
    treeTester.reset();
    tableTester.reset();
    window.reset();
  }

  // Keys as the person presses them: to the window that is active again
  // once the last dialog closed.
  void keys(const QKeySequence& sequence) const {
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
    QTest::keySequence(to, sequence);
  }

  // Connects with the user type chosen (0 specialist, 1 maintenance).
  void connectAs(int userType) {
    dialogs.chooseUser(userType);
    keys(QKeySequence(Qt::CTRL | Qt::Key_N));
    ASSERT_TRUE(waitFor([&] { return device().session().connected(); })) << seen();
    ASSERT_TRUE(dialogs.done());
  }

  DeviceWindow& device() const { return *window->deviceWindow(); }
  ParameterTableView& table() const { return *device().tableView(); }
  ParameterTableModel& model() const { return *device().tableModel(); }
  QTreeView& tree() const { return *device().treeView(); }
  QAction* action(ActionId id) const { return window->action(id); }
  void trigger(ActionId id) const { action(id)->trigger(); }

  // The model's row (from 0) whose first cell shows the label, -1 for none.
  int rowOf(const QString& label) const {
    for (int r = 0; r < model().rowCount(); ++r)
      if (model().index(r, 0).data().toString() == label) return r;
    return -1;
  }
  QString cell(int row, int column) const { return model().index(row, column).data().toString(); }
  QString cell(const QString& label, int column) const { return cell(rowOf(label), column); }
  QColor background(int row, int column) const {
    return model().index(row, column).data(Qt::BackgroundRole).value<QBrush>().color();
  }
  QColor foreground(int row, int column) const {
    return model().index(row, column).data(Qt::ForegroundRole).value<QBrush>().color();
  }
  bool editable(int row, int column) const {
    return (model().flags(model().index(row, column)) & Qt::ItemIsEditable) != 0;
  }
  QPoint centre(int row, int column) const { return table().visualRect(model().index(row, column)).center(); }
  // Through the window, as the windowing system delivers it: press,
  // release, press, the double-click, release.
  void doubleClick(int row, int column) const {
    const QPoint at = table().viewport()->mapTo(window.get(), centre(row, column));
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, at);
  }
  void rightClick(int row, int column) const {
    const QPoint at = centre(row, column);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, table().viewport()->mapToGlobal(at));
    QApplication::sendEvent(table().viewport(), &event);
  }
  // Makes one cell the current and only selected one (whatever modifier
  // keys the last key sequence left pressed).
  void selectCell(int row, int column) const {
    table().selectionModel()->setCurrentIndex(model().index(row, column), QItemSelectionModel::ClearAndSelect);
  }
  // Types into a text cell and ends the edit with Return; returns when the
  // editor has handed its text to the table.
  void typeInto(int row, const QString& text) const {
    const QModelIndex index = model().index(row, 1);
    selectCell(row, 1);
    table().edit(index);
    QPointer<QLineEdit> editor = table().viewport()->findChild<QLineEdit*>();
    ASSERT_TRUE(editor) << "no editor";
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !editor || !editor->isVisible(); }));
  }
  // The descriptors this process holds open on the serial device behind a
  // port link.
  int openDescriptorsOn(const std::string& link) const {
    std::error_code error;
    const fs::path device = fs::canonical(link, error);
    if (error) return -1;
    int count = 0;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", error)) {
      std::error_code e;
      if (fs::read_symlink(fd.path(), e) == device) ++count;
    }
    return count;
  }
  std::string seen() const { return dialogs.seen().join(QStringLiteral("\n")).toStdString(); }

  // The requests of the simulator's trace that change the device: Modbus
  // functions 6 and 16 as "<function> <register>", Profibus DPV1 writes as
  // "<slot> <index>".
  Lines writes(bool modbus) const {
    Lines found;
    std::istringstream in(tavrin::testing::TempDir::slurp(folder.file("trace.txt")));
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string time, kind;
      Lines bytes;
      words >> time >> kind;
      for (std::string b; words >> b;) bytes.push_back(b);
      if (kind != "request") continue;
      if (modbus && bytes.size() > 4 && (bytes[1] == "06" || bytes[1] == "10"))
        found.push_back(bytes[1] + " " + bytes[2] + bytes[3]);
      if (!modbus && bytes.size() > 11 && bytes[0] == "68" && bytes[9] == "5F")
        found.push_back(bytes[10] + " " + bytes[11]);
    }
    return found;
  }
  // The whole request of a Modbus write to a register (without its CRC).
  std::string modbusWrite(const std::string& reg) const {
    std::istringstream in(tavrin::testing::TempDir::slurp(folder.file("trace.txt")));
    std::string last;
    for (std::string line; std::getline(in, line);) {
      std::istringstream words(line);
      std::string time, kind;
      Lines bytes;
      words >> time >> kind;
      for (std::string b; words >> b;) bytes.push_back(b);
      if (kind != "request" || bytes.size() < 6 || (bytes[1] != "06" && bytes[1] != "10")) continue;
      if (bytes[2] + bytes[3] != reg) continue;
      last.clear();
      for (size_t i = 0; i + 2 < bytes.size(); ++i) last += (i ? " " : "") + bytes[i];
    }
    return last;
  }

  void screenshot(const std::string& name) const { saveScreenshot(*window, name); }

  app::testing::TestProgramFolder& folder = app::testing::realDrivers();
  DialogScript dialogs;
  std::unique_ptr<app::testing::Simulator> sim;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<QAbstractItemModelTester> treeTester;
  std::unique_ptr<QAbstractItemModelTester> tableTester;
};

}  // namespace tavrin::gui::testing
