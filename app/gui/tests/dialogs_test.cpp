// The program's own dialogs: "USER choice", "Password Setting:", "Baud
// rate setting:", "Polling address" against tavrin-sim on both buses,
// "Address setting", Export and Import, "Add transmitter file"; each with
// its texts, its messages in order, what OK stores and what Cancel leaves.
#include <QButtonGroup>
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTreeWidget>

#include "add_file_dialog.h"
#include "address_dialogs.h"
#include "app/password.h"
#include "gui_harness.h"
#include "platform/key_file.h"
#include "qt_user_interface.h"
#include "user_dialogs.h"

namespace tavrin::gui::testing {
namespace {

QStringList comboEntries(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}

QComboBox* comboNamed(QDialog& d, const QString& name) {
  for (QComboBox* c : d.findChildren<QComboBox*>())
    if (c->accessibleName() == name) return c;
  ADD_FAILURE() << "no list " << name.toStdString();
  return nullptr;
}

QStringList groupTitles(QDialog& d) {
  QStringList out;
  for (QGroupBox* g : d.findChildren<QGroupBox*>()) out << g->title();
  return out;
}

QStringList labelTexts(QWidget& d) {
  QStringList out;
  for (QLabel* l : d.findChildren<QLabel*>())
    if (!l->text().isEmpty()) out << l->text();
  return out;
}

// -------------------------------------------------------------- user choice

TEST(UserChoiceDialog, AnswersTypeAndPasswordTogetherAndTheSessionGuardsTheSpecialist) {
  app::testing::TestProgramFolder folder;
  const std::string pw = folder.files().passwordFile();
  ASSERT_TRUE(app::writePasswordRecord(pw, app::passwordRecordOf("Secret")));
  QtUserInterface ui;
  DialogScript dialogs;
  dialogs
      .expect(QStringLiteral("userChoiceDialog USER choice"),
              [](QDialog& d) {
                EXPECT_EQ(groupTitles(d), QStringList{QStringLiteral("Select:")});
                const QList<QRadioButton*> types = d.findChildren<QRadioButton*>();
                ASSERT_EQ(types.size(), 2);
                EXPECT_EQ(types[0]->text(), QStringLiteral("Manufacture Version"));
                EXPECT_EQ(types[1]->text(), QStringLiteral("User version"));
                EXPECT_TRUE(types[0]->isChecked());
                EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("Password:")));
                auto* password = d.findChild<QLineEdit*>();
                ASSERT_TRUE(password);
                EXPECT_EQ(password->echoMode(), QLineEdit::Password);
                EXPECT_TRUE(password->isEnabled());
                // The field follows the buttons on the dialog's tick.
                types[1]->setChecked(true);
                EXPECT_TRUE(waitFor([&] { return !password->isEnabled(); }, 1000));
                saveScreenshot(d, "user-choice-user-version");
                types[0]->setChecked(true);
                EXPECT_TRUE(waitFor([&] { return password->isEnabled(); }, 1000));
                password->setText(QStringLiteral("secret"));
                saveScreenshot(d, "user-choice");
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: The password is error!"))
      .chooseUser(0, QStringLiteral("Secret"))
      .chooseUser(1)
      .cancel(QStringLiteral("userChoiceDialog USER choice"));
  EXPECT_EQ(app::chooseUserType(pw, ui), app::UserType::Specialist) << "letter case counts";
  EXPECT_EQ(app::chooseUserType(pw, ui), app::UserType::Maintenance);
  EXPECT_EQ(app::chooseUserType(pw, ui), app::UserType::None);
  EXPECT_TRUE(dialogs.done());
}

// ----------------------------------------------------------------- password

TEST(PasswordDialog, MessagesInOrderKeepItOpenAndOkStoresThirtyTwoBytes) {
  app::testing::TestProgramFolder folder;
  const std::string pw = folder.files().passwordFile();
  QtUserInterface ui;
  DialogScript dialogs;
  const QString full(32, QLatin1Char('p'));
  dialogs
      .expect(QStringLiteral("passwordDialog Password Setting:"),
              [&](QDialog& d) {
                EXPECT_EQ(groupTitles(d), QStringList{QStringLiteral("Setting:")});
                QList<QLineEdit*> fields = d.findChildren<QLineEdit*>();
                ASSERT_EQ(fields.size(), 3);
                EXPECT_EQ(fields[0]->accessibleName(), QStringLiteral("Old password:"));
                EXPECT_EQ(fields[1]->accessibleName(), QStringLiteral("New password:"));
                EXPECT_EQ(fields[2]->accessibleName(), QStringLiteral("New password again:"));
                for (QLineEdit* f : fields) EXPECT_EQ(f->maxLength(), 32);
                EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("New password again:")));
                fields[1]->setText(full);
                fields[2]->setText(full.left(31) + QLatin1Char('P'));
                DialogScript::clickOk(d);  // different
                fields[0]->setText(QStringLiteral("guess"));
                fields[2]->setText(full);
                DialogScript::clickOk(d);  // the old one is empty
                EXPECT_TRUE(d.isVisible());
                fields[0]->clear();
                saveScreenshot(d, "password-setting");
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: The two passwords you input are different!"))
      .ok(QStringLiteral("Error: Error: The old password is error!"))
      .cancel(QStringLiteral("passwordDialog Password Setting:"));
  EXPECT_TRUE(passwordDialog(nullptr, pw, ui));
  EXPECT_EQ(tavrin::testing::TempDir::slurp(pw), full.toStdString()) << "32 bytes, no terminator";
  // Cancel stores nothing.
  EXPECT_FALSE(passwordDialog(nullptr, pw, ui));
  EXPECT_EQ(tavrin::testing::TempDir::slurp(pw), full.toStdString());
  EXPECT_TRUE(dialogs.done());
}

// ----------------------------------------------------------------- add file

struct AddFileDialogTest : ::testing::Test {
  AddFileDialogTest() { folder.linkDriver("Lirrand", app::testing::kRealLirrand); }
  std::string entry(const std::string& section, const std::string& key) const {
    return platform::readKey(section, key, folder.files().deviceTable());
  }
  app::testing::TestProgramFolder folder;
  QtUserInterface ui;
  DialogScript dialogs;
};

TEST_F(AddFileDialogTest, FieldsChecksQuestionsAndTheFileInTheLibrary) {
  const std::string sample = TAVRIN_DIST_DIR "Profibus/PTX3200.bin";
  dialogs
      .expect(QStringLiteral("addFileDialog Add transmitter file"),
              [&](QDialog& d) {
                EXPECT_EQ(groupTitles(d), QStringList{QStringLiteral("Add file:")});
                auto* type = d.findChild<QComboBox*>(QStringLiteral("transmitterType"));
                auto* manu = d.findChild<QLineEdit*>(QStringLiteral("manufacturerCode"));
                auto* device = d.findChild<QLineEdit*>(QStringLiteral("deviceCode"));
                auto* file = d.findChild<QLineEdit*>(QStringLiteral("eddlFile"));
                auto* browse = d.findChild<QPushButton*>(QStringLiteral("browse"));
                ASSERT_TRUE(type && manu && device && file && browse);
                EXPECT_EQ(comboEntries(type), (QStringList{"PROFIBUS", "MODBUS"}));
                EXPECT_EQ(type->currentIndex(), 0);
                EXPECT_EQ(manu->text(), QStringLiteral("0A5D"));
                EXPECT_EQ(device->text(), QStringLiteral("0B72"));
                EXPECT_EQ(file->text(), QString());
                EXPECT_EQ(browse->text(), QStringLiteral("<<<"));
                for (const char* label : {"Transmitter Type:", "Manu Code:", "Device Code:", "EDDL File:", "0x"})
                  EXPECT_TRUE(labelTexts(d).contains(QString::fromLatin1(label))) << label;
                manu->clear();
                DialogScript::clickOk(d);
                manu->setText(QStringLiteral("0a5d"));
                device->clear();
                DialogScript::clickOk(d);
                device->setText(QStringLiteral("0B72"));
                DialogScript::clickOk(d);  // no file
                browse->click();
                EXPECT_EQ(file->text(), QString::fromStdString(sample));
                saveScreenshot(d, "add-file");
                DialogScript::clickOk(d);  // No to the question
                EXPECT_TRUE(d.isVisible());
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: Please input 'Manufacture Code'!"))
      .ok(QStringLiteral("Error: Error: Please input 'Device Type'!"))
      .ok(QStringLiteral("Error: Error: Please select EDDL file!"))
      .expect(QStringLiteral("openFileDialog"),
              [&](QDialog& d) {
                auto* dialog = qobject_cast<QFileDialog*>(&d);
                ASSERT_TRUE(dialog);
                EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("*.bin (*.bin *.BIN)")});
                dialog->selectFile(QString::fromStdString(sample));
                static_cast<QDialog*>(dialog)->accept();
              })
      .no(QStringLiteral("WARNING: WARNING: Are you sure to add new file?"))
      .yes(QStringLiteral("WARNING: WARNING: Are you sure to add new file?"));
  EXPECT_TRUE(addFileDialog(nullptr, folder.files(), ui));
  EXPECT_TRUE(dialogs.done());
  EXPECT_EQ(entry("MANUFACTURER_0x0A5D", "DEVICE_TYPE_0x0B72"), "PTX3200.bin") << "upper-case digits";
  EXPECT_EQ(folder.read("Profibus/PTX3200.bin"), tavrin::testing::TempDir::slurp(sample));

  // Again as Modbus over an existing file: No keeps the old one, the entry
  // is written all the same; Cancel changes nothing.
  folder.write("Modbus/PTX3200.bin", "old");
  dialogs
      .expect(QStringLiteral("addFileDialog"),
              [&](QDialog& d) {
                d.findChild<QComboBox*>(QStringLiteral("transmitterType"))->setCurrentIndex(1);
                d.findChild<QLineEdit*>(QStringLiteral("eddlFile"))->setText(QString::fromStdString(sample));
                DialogScript::clickOk(d);
              })
      .yes(QStringLiteral("Are you sure to add new file?"))
      .no(QStringLiteral("WARNING: WARNING! The original file will be replaced, Do you wish to continue?"))
      .cancel(QStringLiteral("addFileDialog"));
  EXPECT_TRUE(addFileDialog(nullptr, folder.files(), ui));
  EXPECT_FALSE(addFileDialog(nullptr, folder.files(), ui));
  EXPECT_TRUE(dialogs.done());
  EXPECT_EQ(folder.read("Modbus/PTX3200.bin"), "old");
  EXPECT_EQ(entry("MD_MANUFACTURER_0x0A5D", "MD_DEVICE_TYPE_0x0B72"), "PTX3200.bin");
}

// ------------------------------------------------- with the window and a bus

class Dialogs : public GuiTest {
 protected:
  std::string comKey(const std::string& section, const std::string& key) const {
    return platform::readKey(section, key, folder.comIni());
  }
  static QStringList columnTitles(QTreeWidget* list) {
    QStringList out;
    for (int i = 0; i < list->columnCount(); ++i)
      out << QStringLiteral("%1 (%2)").arg(list->headerItem()->text(i)).arg(list->columnWidth(i));
    return out;
  }
  static QStringList rows(QTreeWidget* list) {
    QStringList out;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < list->columnCount(); ++c) cells << list->topLevelItem(r)->text(c);
      out << cells.join(QLatin1Char(' '));
    }
    return out;
  }
  // Polls the range and waits for the scan to end; the progress bar's
  // range and the status lines seen meanwhile.
  struct Scan {
    int range = 0;
    QStringList statuses;
  };
  static Scan poll(PollingDialog& d, const QString& first, const QString& last) {
    d.startEdit()->setText(first);
    d.endEdit()->setText(last);
    d.pollButton()->click();
    Scan scan;
    EXPECT_TRUE(d.polling()) << "running from the click on";
    // The bar's range is set by the worker's first report.
    EXPECT_TRUE(waitFor([&] { return d.progressBar()->maximum() == last.toInt() - first.toInt() + 1; }));
    scan.range = d.progressBar()->maximum();
    EXPECT_FALSE(d.pollButton()->isEnabled());
    EXPECT_FALSE(d.okButton()->isEnabled());
    EXPECT_FALSE(d.cancelButton()->isEnabled());
    EXPECT_TRUE(d.stopButton()->isEnabled());
    d.pollButton()->click();  // a quick second click starts nothing
    EXPECT_TRUE(waitFor([&] {
      const QString status = d.statusLine()->text();
      if (!status.isEmpty() && !scan.statuses.contains(status)) scan.statuses << status;
      return !d.polling() && d.pollButton()->isEnabled();
    }));
    EXPECT_EQ(d.progressBar()->value(), 0);
    EXPECT_EQ(d.statusLine()->text(), QString());
    EXPECT_FALSE(d.stopButton()->isEnabled());
    return scan;
  }
};

TEST_F(Dialogs, PollingProfibusListsTheStationsInTheRangeAndOkConnects) {
  plug("profibus", 6, "profibus-pressure.ini");
  folder.write("com.ini", folder.read("com.ini") + "[START_ADDR]\nADDRESS=250\n[END_ADDR]\nADDRESS=255\n");
  openWindow();
  {
    // The range of com.ini in both fields.
    dialogs.expect(QStringLiteral("pollingDialog"), [](QDialog& dialog) {
      auto& d = static_cast<PollingDialog&>(dialog);
      EXPECT_EQ(d.startEdit()->text(), QStringLiteral("250"));
      EXPECT_EQ(d.endEdit()->text(), QStringLiteral("255"));
      d.cancelButton()->click();
    });
    trigger(ActionId::AddressPolling);
    ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); }));
  }
  int refreshStops = 0;
  device().session().setBackgroundRefresh({}, [&] { ++refreshStops; });
  dialogs
      .expect(QStringLiteral("pollingDialog Polling address"),
              [&](QDialog& dialog) {
                auto& d = static_cast<PollingDialog&>(dialog);
                refreshStops = 0;
                d.startEdit()->setText(QStringLiteral("5"));
                d.endEdit()->setText(QStringLiteral("5"));
                d.pollButton()->click();
                EXPECT_EQ(refreshStops, 1) << "the background refresh stops before the scan";
                ASSERT_TRUE(waitFor([&] { return !d.polling(); }));
                d.startEdit()->setText(QStringLiteral("250"));
                d.endEdit()->setText(QStringLiteral("255"));
                EXPECT_EQ(columnTitles(d.list()), (QStringList{"Address (100)", "Tag (120)", "Serial No. (120)",
                                                               "Manu (120)", "Device (120)"}));
                EXPECT_FALSE(d.stopButton()->isEnabled());
                EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("Address:")));
                EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("---")));

                Scan scan = poll(d, QStringLiteral("250"), QStringLiteral("255"));
                EXPECT_EQ(scan.range, 6);
                EXPECT_EQ(rows(d.list()), QStringList{});

                scan = poll(d, QStringLiteral("5"), QStringLiteral("5"));
                EXPECT_EQ(scan.range, 1);
                EXPECT_EQ(scan.statuses, QStringList{QStringLiteral("Polling address 5... ...")});
                EXPECT_EQ(rows(d.list()), QStringList{QStringLiteral("5 PT-PA-01 PA2306-0005 0x0172 PTX 3100")})
                    << "blanks padding the texts are not shown";

                // While it runs: a double-click is refused, closing too; Stop
                // ends it after the address in progress.
                d.startEdit()->setText(QStringLiteral("5"));
                d.endEdit()->setText(QStringLiteral("40"));
                d.pollButton()->click();
                ASSERT_TRUE(waitFor([&] { return d.list()->topLevelItemCount() == 2; }));
                saveScreenshot(d, "polling-running");
                emit d.list()->itemDoubleClicked(d.list()->topLevelItem(0), 0);
                d.reject();
                EXPECT_TRUE(d.isVisible());
                d.stopButton()->click();
                EXPECT_FALSE(d.stopButton()->isEnabled());
                ASSERT_TRUE(waitFor([&] { return !d.polling(); }, 5000));
                ASSERT_TRUE(waitFor([&] { return d.pollButton()->isEnabled(); }));
                EXPECT_EQ(rows(d.list()).size(), 2);

                // OK without a row, then with the first.
                d.list()->clearSelection();
                d.okButton()->click();
                d.list()->topLevelItem(0)->setSelected(true);
                saveScreenshot(d, "polling-address");
                d.okButton()->click();
              })
      .ok(QStringLiteral("Error: Error: Polling, please wait!"))
      .ok(QStringLiteral("Error: Error: Please select the transmitter!"))
      .chooseUser(1);
  trigger(ActionId::AddressPolling);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_TRUE(device().session().connected()) << "OK connects to the chosen transmitter";
  EXPECT_EQ(device().session().busAddress(), 5);
  EXPECT_EQ(comKey("PROFIBUS_ADDR", "ADDRESS"), "5");
  EXPECT_EQ(comKey("START_ADDR", "ADDRESS"), "5");
  EXPECT_EQ(comKey("END_ADDR", "ADDRESS"), "40");
}

TEST_F(Dialogs, PollingModbusShowsTheIdentityWordsAndCancelKeepsTheChoice) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  dialogs.expect(QStringLiteral("pollingDialog Polling address"), [&](QDialog& dialog) {
    auto& d = static_cast<PollingDialog&>(dialog);
    EXPECT_EQ(columnTitles(d.list()),
              (QStringList{"Address (100)", "Manu (120)", "Device (120)", "Device Ver (100)"}));
    EXPECT_EQ(d.startEdit()->text(), QString()) << "no range in com.ini yet";
    Scan scan = poll(d, QStringLiteral("1"), QStringLiteral("1"));
    EXPECT_EQ(scan.range, 1);
    EXPECT_EQ(rows(d.list()), QStringList{QStringLiteral("1 0x0017 0x0A01 0x0102")});
    saveScreenshot(d, "polling-modbus");
    scan = poll(d, QStringLiteral("250"), QStringLiteral("255"));
    EXPECT_EQ(scan.range, 6);
    EXPECT_EQ(rows(d.list()), QStringList{});
    // Refused ranges start nothing.
    d.startEdit()->setText(QStringLiteral("10"));
    d.endEdit()->setText(QStringLiteral("3"));
    d.pollButton()->click();
    d.endEdit()->setText(QStringLiteral("256"));
    d.pollButton()->click();
    EXPECT_FALSE(d.polling());
    d.cancelButton()->click();
  })
      .ok(QStringLiteral("Error: Error: The starting address couldn't larger than the ending address!"))
      .ok(QStringLiteral("Error: Error: The address range error,please input between 0~255!"));
  trigger(ActionId::AddressPolling);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_FALSE(device().session().connected());
  EXPECT_EQ(device().session().busAddress(), 255) << "left at the last address polled";
  EXPECT_EQ(comKey("MODBUS_ADDR", "ADDRESS"), "1") << "the choice in com.ini stays";
  EXPECT_EQ(comKey("START_ADDR", "ADDRESS"), "250");
}

TEST_F(Dialogs, AddressSettingHintHelpMessagesAndWhatOkStores) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  int refreshStops = 0;
  device().session().setBackgroundRefresh({}, [&] { ++refreshStops; });
  dialogs
      .expect(QStringLiteral("addressSettingDialog Address setting"),
              [&](QDialog& d) {
                auto* current = d.findChild<QLineEdit*>(QStringLiteral("currentAddress"));
                auto* setting = d.findChild<QLineEdit*>(QStringLiteral("addressSetting"));
                auto* hint = d.findChild<QPlainTextEdit*>(QStringLiteral("addressHint"));
                ASSERT_TRUE(current && setting && hint);
                EXPECT_EQ(current->text(), QStringLiteral("1"));
                EXPECT_EQ(setting->text(), QStringLiteral("1"));
                EXPECT_EQ(hint->toPlainText(), QString::fromUtf8(kAddressHint));
                EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("Current Addr:")));
                EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("Addr Setting:")));
                saveScreenshot(d, "address-setting");
                QPushButton* help = nullptr;
                for (QPushButton* b : d.findChildren<QPushButton*>())
                  if (b->text() == QStringLiteral("Help")) help = b;
                ASSERT_TRUE(help);
                help->click();
                setting->setText(QStringLiteral("  "));
                DialogScript::clickOk(d);
                setting->setText(QStringLiteral("300"));
                DialogScript::clickOk(d);
                setting->setText(QStringLiteral(" 7 "));
                refreshStops = 0;
                DialogScript::clickOk(d);
                EXPECT_GE(refreshStops, 1) << "OK stops the background refresh first";
              })
      .ok(QStringLiteral("Help: ") + QString::fromUtf8(kAddressHint))
      .ok(QStringLiteral("Error: Error: The address can't be NULL!"))
      .ok(QStringLiteral("Error: Error: Address range is: 0 ~ 255!"))
      .expect(QStringLiteral("addressSettingDialog"),
              [](QDialog& d) {
                EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("currentAddress"))->text(), QStringLiteral("7"));
                d.findChild<QLineEdit*>(QStringLiteral("addressSetting"))->setText(QStringLiteral("9"));
                d.reject();
              });
  trigger(ActionId::AddressSetting);
  ASSERT_TRUE(waitFor([&] { return !device().busy(); }));
  EXPECT_EQ(device().session().busAddress(), 7);
  EXPECT_EQ(comKey("MODBUS_ADDR", "ADDRESS"), "7");
  trigger(ActionId::AddressSetting);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(comKey("MODBUS_ADDR", "ADDRESS"), "7") << "Cancel stores nothing";
  EXPECT_EQ(device().session().busAddress(), 7);
}

TEST_F(Dialogs, SerialSettingsListsSelectionsAndTheProfibusForm) {
  plug("modbus", 1, "modbus-pressure.ini");
  // A port that is not there leaves the port list without a selection.
  std::string ini = folder.read("com.ini");
  ini.replace(ini.find("PORT=5"), 6, "PORT=77");
  ini.replace(ini.find("PARITY=2"), 8, "PARITY=1");
  folder.write("com.ini", ini);
  openWindow();
  dialogs
      .expect(QStringLiteral("serialSettingsDialog Baud rate setting:"),
              [&](QDialog& d) {
                EXPECT_EQ(groupTitles(d), (QStringList{"COM Settings:", "Baud rate setting:"}));
                QComboBox* port = comboNamed(d, QStringLiteral("Port:"));
                ASSERT_TRUE(port);
                EXPECT_TRUE(comboEntries(port).contains(QStringLiteral("COM5"))) << "the simulator's port opens";
                EXPECT_FALSE(comboEntries(port).contains(QStringLiteral("COM77")));
                EXPECT_EQ(port->currentIndex(), -1);
                EXPECT_EQ(comboEntries(comboNamed(d, QStringLiteral("Baud rate:"))),
                          (QStringList{"600", "1200", "2400", "4800", "9600", "19200", "38400"}));
                EXPECT_EQ(comboEntries(comboNamed(d, QStringLiteral("Data bits:"))), (QStringList{"5", "6", "7", "8"}));
                EXPECT_EQ(comboEntries(comboNamed(d, QStringLiteral("Party:"))),
                          (QStringList{"Odd", "Even", "None", "Flag", "Space"}));
                EXPECT_EQ(comboEntries(comboNamed(d, QStringLiteral("Stop Bit:"))), (QStringList{"1", "1.5", "2"}));
                EXPECT_EQ(comboEntries(comboNamed(d, QStringLiteral("Flow control:"))),
                          (QStringList{"None", "Hardware", "Xon/Xoff", "CTS/RTS", "CTS/DTR", "DSR/RTS", "DSR/DTR"}));
                EXPECT_EQ(comboNamed(d, QStringLiteral("Baud rate:"))->currentText(), QStringLiteral("19200"));
                EXPECT_EQ(comboNamed(d, QStringLiteral("Party:"))->currentText(), QStringLiteral("Flag"));
                for (const char* label : {"Port:", "Baud rate:", "Data bits:", "Party:", "Stop Bit:", "Flow control:"})
                  EXPECT_TRUE(labelTexts(d).contains(QString::fromLatin1(label))) << label;
                DialogScript::clickOk(d);  // no port
                port->setCurrentIndex(port->findText(QStringLiteral("COM5")));
                comboNamed(d, QStringLiteral("Baud rate:"))->setCurrentIndex(4);
                comboNamed(d, QStringLiteral("Party:"))->setCurrentIndex(0);
                saveScreenshot(d, "serial-settings-modbus");
                DialogScript::clickOk(d);
              })
      .ok(QStringLiteral("Error: Error: Please select COM port!"));
  trigger(ActionId::ComSetting);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(comKey("COMMUNICATION", "PORT"), "5");
  EXPECT_EQ(comKey("COMMUNICATION", "BANDRATE"), "9600");
  EXPECT_EQ(comKey("COMMUNICATION", "PARITY"), "3") << "Odd";

  // Cancel stores nothing; on Profibus only the port shows, and OK keeps
  // the hidden values.
  const std::string before = folder.read("com.ini");
  dialogs.cancel(QStringLiteral("serialSettingsDialog"));
  trigger(ActionId::ComSetting);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(folder.read("com.ini"), before);
  trigger(ActionId::Profibus);
  dialogs.expect(QStringLiteral("serialSettingsDialog"), [&](QDialog& d) {
    const QList<QGroupBox*> groups = d.findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_TRUE(groups[0]->isVisible());
    EXPECT_FALSE(groups[1]->isVisible()) << "the line parameters are the adapter's";
    EXPECT_TRUE(labelTexts(d).contains(QStringLiteral("Use the default value in PA mode.")));
    saveScreenshot(d, "serial-settings-profibus");
    DialogScript::clickOk(d);
  });
  trigger(ActionId::ComSetting);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(comKey("COMMUNICATION", "BANDRATE"), "9600");
  EXPECT_EQ(comKey("COMMUNICATION", "PARITY"), "3");
}

TEST_F(Dialogs, ExportAndImportWithTheirTitlesFiltersAndTheTableShownAgain) {
  plug("modbus", 1, "modbus-pressure.ini");
  openWindow();
  connectAs(1);
  const QString exported = QString::fromStdString(folder.file("set.txt"));
  fs::remove(folder.file("set.txt"));
  dialogs.expect(QStringLiteral("saveFileDialog Save file"), [&](QDialog& d) {
    auto* dialog = qobject_cast<QFileDialog*>(&d);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("(*.txt)")});
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    dialog->selectFile(QString::fromStdString(folder.file("set")));
    static_cast<QDialog*>(dialog)->accept();
  });
  trigger(ActionId::Export);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  ASSERT_TRUE(fs::exists(folder.file("set.txt"))) << "the default extension";
  std::string text = folder.read("set.txt");
  const size_t damping = text.find("\ndamping=");
  ASSERT_NE(damping, std::string::npos) << text;
  text.replace(damping, text.find('\n', damping + 1) - damping, "\ndamping=4.5");
  folder.write("set.txt", text);

  // Somewhere else in the tree first: import shows the table from its root.
  tree().setCurrentIndex(device().treeModel()->indexOf(1));
  ASSERT_TRUE(waitFor([&] { return !device().busy(); }));
  dialogs.expect(QStringLiteral("openFileDialog"), [&](QDialog& d) {
    auto* dialog = qobject_cast<QFileDialog*>(&d);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("*.TXT (*.TXT *.txt)")});
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("TXT"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->selectFile(exported);
    static_cast<QDialog*>(dialog)->accept();
  });
  trigger(ActionId::Import);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); })) << seen();
  EXPECT_EQ(device().session().view().tree().selected(), 0) << "the tree's first item";
  EXPECT_EQ(cell(QStringLiteral("Damping"), 1).trimmed(), QStringLiteral("4.5"));
  EXPECT_EQ(cell(QStringLiteral("Damping"), 3), QStringLiteral("Changed"));
}

}  // namespace
}  // namespace tavrin::gui::testing
