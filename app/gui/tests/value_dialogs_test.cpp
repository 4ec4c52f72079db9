// The value dialogs as methods open them: a sample method per dialog run
// on the description model with the Qt seam, each dialog's texts, the
// core's message on an empty entry (the dialog comes again), what OK sets;
// the countdown running out by itself and cancelled.
#include <QElapsedTimer>
#include <fstream>

#include "builtins/builtins.h"
#include "eddl/compiler.h"
#include "eddtext/binary.h"
#include "gui_harness.h"
#include "model/session.h"
#include "qt_user_interface.h"

namespace tavrin::gui::testing {
namespace {

constexpr const char* kDescription = R"(
  VARIABLE pressure { LABEL "Pressure"; CONSTANT_UNIT "kPa";
    TYPE FLOAT { DISPLAY_FORMAT "3.1f"; MIN_VALUE 0; MAX_VALUE 200; } }
  VARIABLE tag { LABEL "Tag"; TYPE ASCII (8); }
  VARIABLE serial { LABEL "Serial number"; TYPE PACKED_ASCII (8); }
  VARIABLE unit { LABEL "Unit"; TYPE ENUMERATED (2) { { 1133, "kPa" }, { 1132, "MPa" }, { 1137, "bar" } } }
  VARIABLE count { LABEL "Count"; TYPE UNSIGNED_INTEGER (4); }
  METHOD enter_pressure { DEFINITION { GET_DEV_VAR_VALUE("Enter the new pressure", pressure); } }
  METHOD enter_tag { DEFINITION { GET_DEV_VAR_VALUE("Enter the new tag", tag); } }
  METHOD enter_serial { DEFINITION { GET_DEV_VAR_VALUE("Enter the new serial number", serial); } }
  METHOD choose_unit { DEFINITION { GET_DEV_VAR_VALUE("Choose the unit", unit); } }
  METHOD pick { DEFINITION { unsigned int c; c = SELECT_FROM_LIST("Choose the range", "kPa;MPa;bar;"); iassign(count, c); } }
  METHOD tell { DEFINITION { PUT_MESSAGE("The transmitter is ready"); } }
  METHOD settle { DEFINITION { DELAY(2, "Waiting for the pressure to settle"); iassign(count, 7); } }
)";

class NoHost : public builtins::MethodHost {
 public:
  void setBusAddress(uint8_t) override {}
  bool setBaudRate(int32_t) override { return false; }
  bool runBatchCalibration(builtins::BatchCalibration) override { return false; }
};

class ValueDialogs : public ::testing::Test {
 protected:
  ValueDialogs() : session(ui, folder.path()) {
    fs::create_directory_symlink(TAVRIN_DIST_DIR "Driver", folder.file("Driver"));
    builtins.install();
    const eddl::Compiled compiled = eddl::compile(kDescription);
    EXPECT_TRUE(compiled.document) << compiled.report("source");
    if (!compiled.document) return;
    std::ofstream(folder.file("device.bin"), std::ios::binary) << eddtext::writeBinary(*compiled.document);
    EXPECT_TRUE(session.loadDescription(folder.file("device.bin")));
    session.registerVariables();
  }
  int run(const char* method) {
    const EddNode* root = session.description().findObject(session.description().findId(method));
    EXPECT_NE(root, nullptr) << method;
    return root ? session.engine().runMethod(*root) : -1;
  }
  std::string shown(const char* name) { return session.variables().valueText(session.description().findId(name)); }
  void set(const char* name, const char* text) {
    ASSERT_TRUE(session.variables().assignText(session.description().findId(name), text));
  }

  tavrin::testing::TempDir folder;
  QtUserInterface ui;
  model::Session session;
  NoHost host;
  builtins::Builtins builtins{session, &host};
  DialogScript dialogs;
};

QLineEdit* entryOf(QDialog& d) { return d.findChild<QLineEdit*>(QStringLiteral("entry")); }
QString currentOf(QDialog& d) {
  auto* current = d.findChild<QLineEdit*>(QStringLiteral("currentValue"));
  return current ? current->text() : QStringLiteral("(none)");
}
QStringList labelTextsOf(QDialog& d) {
  QStringList out;
  for (QLabel* l : d.findChildren<QLabel*>()) out << l->text();
  return out;
}
QString promptOf(QDialog& d) {
  auto* prompt = d.findChild<QLabel*>(QStringLiteral("prompt"));
  return prompt ? prompt->text() : QStringLiteral("(none)");
}

TEST_F(ValueDialogs, NumericInputShowsTheUnitTwiceAndChecksTheRange) {
  set("pressure", "12.5");
  dialogs
      .expect(QStringLiteral("numericInputDialog Pressure"),
              [](QDialog& d) {
                EXPECT_EQ(promptOf(d), QStringLiteral("Enter the new pressure"));
                EXPECT_EQ(currentOf(d), QStringLiteral("12.5"));
                const QList<QLabel*> units = d.findChildren<QLabel*>(QStringLiteral("unit"));
                ASSERT_EQ(units.size(), 2);
                EXPECT_EQ(units[0]->text(), QStringLiteral("kPa"));
                EXPECT_EQ(units[1]->text(), QStringLiteral("kPa"));
                EXPECT_EQ(entryOf(d)->text(), QString());
                saveScreenshot(d, "value-numeric-input");
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: Please input new data!"))
      .enter(QStringLiteral("numericInputDialog"), QStringLiteral("250"))
      .ok(QStringLiteral("Error: Error: The variable \"Pressure\" is out of range!"))
      .enter(QStringLiteral("numericInputDialog"), QStringLiteral(" 101.3 "));
  EXPECT_EQ(run("enter_pressure"), 1);
  EXPECT_TRUE(dialogs.done());
  EXPECT_EQ(shown("pressure"), "101.3");

  dialogs.cancel(QStringLiteral("numericInputDialog"));
  run("enter_pressure");
  EXPECT_EQ(shown("pressure"), "101.3");
}

TEST_F(ValueDialogs, TextAndPackedStringInputsStartWithTheCurrentValue) {
  set("tag", "PT-01");
  set("serial", "AB12");
  dialogs
      .expect(QStringLiteral("textInputDialog Tag"),
              [](QDialog& d) {
                EXPECT_EQ(promptOf(d), QStringLiteral("Enter the new tag"));
                EXPECT_EQ(currentOf(d), QStringLiteral("PT-01"));
                EXPECT_EQ(entryOf(d)->text(), QStringLiteral("PT-01"));
                saveScreenshot(d, "value-text-input");
                entryOf(d)->setText(QStringLiteral("   "));
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: Please input new data!"))
      .enter(QStringLiteral("textInputDialog"), QStringLiteral("PT-02"))
      .expect(QStringLiteral("packedStringInputDialog Serial number"),
              [](QDialog& d) {
                EXPECT_EQ(promptOf(d), QStringLiteral("Enter the new serial number"));
                EXPECT_EQ(currentOf(d), QStringLiteral("AB12"));
                EXPECT_EQ(entryOf(d)->text(), QStringLiteral("AB12"));
                EXPECT_TRUE(labelTextsOf(d).contains(QStringLiteral("Current value")));
                EXPECT_TRUE(labelTextsOf(d).contains(QStringLiteral("Setting")));
                saveScreenshot(d, "value-packed-string-input");
                entryOf(d)->clear();
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: Please input a new data"))
      .enter(QStringLiteral("packedStringInputDialog"), QStringLiteral("CD34"));
  EXPECT_EQ(run("enter_tag"), 1);
  EXPECT_EQ(run("enter_serial"), 1);
  EXPECT_TRUE(dialogs.done());
  EXPECT_EQ(shown("tag"), "PT-02");
  EXPECT_EQ(shown("serial"), "CD34");
}

TEST_F(ValueDialogs, EnumerationInputPreselectsTheCurrentTextAndListSelectionTheFirstEntry) {
  set("unit", "MPa");
  dialogs
      .expect(QStringLiteral("enumerationInputDialog Unit"),
              [](QDialog& d) {
                auto* list = d.findChild<QComboBox*>();
                ASSERT_TRUE(list);
                EXPECT_EQ(promptOf(d), QStringLiteral("Choose the unit"));
                EXPECT_EQ(currentOf(d), QStringLiteral("MPa"));
                EXPECT_EQ(list->count(), 3);
                EXPECT_EQ(list->currentText(), QStringLiteral("MPa"));
                saveScreenshot(d, "value-enumeration-input");
                list->setCurrentIndex(-1);
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: Please select item from list!"))
      .choose(QStringLiteral("enumerationInputDialog"), 2)
      .expect(QStringLiteral("listSelectionDialog"),
              [](QDialog& d) {
                auto* list = d.findChild<QListWidget*>();
                ASSERT_TRUE(list);
                EXPECT_EQ(promptOf(d), QStringLiteral("Choose the range"));
                ASSERT_EQ(list->count(), 3) << "the empty last entry is dropped";
                EXPECT_EQ(list->item(2)->text(), QStringLiteral("bar"));
                EXPECT_EQ(list->currentRow(), 0);
                saveScreenshot(d, "value-list-selection");
                list->clearSelection();
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: Please select the current item!"))
      .choose(QStringLiteral("listSelectionDialog"), 2);
  EXPECT_EQ(run("choose_unit"), 1);
  EXPECT_EQ(shown("unit"), "bar");
  EXPECT_EQ(run("pick"), 1);
  EXPECT_EQ(shown("count"), "2");
  EXPECT_TRUE(dialogs.done());
}

TEST_F(ValueDialogs, MessageAndCountdownClosingByItselfAndOnCancel) {
  dialogs.expect(QStringLiteral("The transmitter is ready"), [](QDialog& d) {
    saveScreenshot(d, "value-message");
    DialogScript::clickOk(d);
  });
  EXPECT_EQ(run("tell"), 1);

  QElapsedTimer clock;
  dialogs.expect(QStringLiteral("countdownDialog Waiting... ..."), [&](QDialog& d) {
    EXPECT_EQ(promptOf(d), QStringLiteral("Waiting for the pressure to settle"));
    auto* left = d.findChild<QLabel*>(QStringLiteral("secondsLeft"));
    ASSERT_TRUE(left);
    EXPECT_EQ(left->text(), QStringLiteral("2"));
    saveScreenshot(d, "value-countdown");
    // Nothing pressed: it counts down and closes by itself.
    EXPECT_TRUE(waitFor([&] { return left->text() == QStringLiteral("1"); }, 3000));
  });
  clock.start();
  EXPECT_EQ(run("settle"), 1);
  EXPECT_GE(clock.elapsed(), 1900) << "two seconds counted";
  EXPECT_EQ(shown("count"), "7") << "the method went on";

  set("count", "0");
  dialogs.cancel(QStringLiteral("countdownDialog"));
  run("settle");
  EXPECT_EQ(shown("count"), "0") << "Cancel aborted the method";
  EXPECT_TRUE(dialogs.done());
}

}  // namespace
}  // namespace tavrin::gui::testing
