#include "app/serial_settings.h"

#include <gtest/gtest.h>

#include "app/configuration.h"
#include "program_folder.h"
#include "testing/pty_pair.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using testing::TestProgramFolder;
using tavrin::testing::PtyPair;

const std::string kWarning =
    "message WARNING error ok: WARNING: Serial port settings is not reasonable, the program will automatically set "
    "to the default value!";
const std::string kDefaultsStored =
    "[COMMUNICATION]\nTYPE=MODBUS\nPORT=1\nBANDRATE=9600\nFLOWCTRL=0\nSTOPBITS=0\nPARITY=0\nDATABITS=8\n";

TEST(SerialSettings, ValidSettingsLoadAsStored) {
  TestProgramFolder folder;
  folder.write("com.ini", "[COMMUNICATION]\nPORT=7\nBANDRATE=19200\nDATABITS=7\nPARITY=3\nSTOPBITS=2\nFLOWCTRL=5\n");
  ui::FakeUserInterface ui;
  EXPECT_EQ(loadSerialSettings(folder.comIni(), ui), (SerialSettings{7, 19200, 3, 7, 2, 5}));
  EXPECT_TRUE(ui.transcript().empty());
}

TEST(SerialSettings, AnyInvalidKeyResetsAllSixWithOneWarning) {
  TestProgramFolder folder;
  ui::FakeUserInterface ui;
  const std::vector<std::pair<std::string, std::string>> good{{"PORT", "7"},     {"BANDRATE", "19200"},
                                                              {"FLOWCTRL", "1"}, {"STOPBITS", "1"},
                                                              {"PARITY", "1"},   {"DATABITS", "7"}};
  const std::vector<std::pair<std::string, std::string>> bad{
      {"BANDRATE", "9601"}, {"BANDRATE", "-9600"}, {"DATABITS", "4"},  {"DATABITS", "264"},
      {"PARITY", "5"},      {"PARITY", "-1"},      {"STOPBITS", "3"},  {"FLOWCTRL", "6"}};
  for (const auto& [badKey, badValue] : bad) {
    std::string text = "[COMMUNICATION]\nTYPE=MODBUS\n";
    for (const auto& [key, value] : good) text += key + "=" + (key == badKey ? badValue : value) + "\n";
    folder.write("com.ini", text);
    ui.clearRecord();
    EXPECT_EQ(loadSerialSettings(folder.comIni(), ui), SerialSettings{}) << badKey << "=" << badValue;
    EXPECT_EQ(ui.transcript(), std::vector<std::string>{kWarning}) << badKey << "=" << badValue;
    EXPECT_EQ(folder.read("com.ini"), kDefaultsStored) << badKey << "=" << badValue;
  }
}

TEST(SerialSettings, AMissingSectionWarnsAndStoresTheDefaults) {
  TestProgramFolder folder;
  ui::FakeUserInterface ui;
  EXPECT_EQ(loadSerialSettings(folder.comIni(), ui), SerialSettings{});
  EXPECT_EQ(ui.transcript(), std::vector<std::string>{kWarning});
  EXPECT_EQ(folder.read("com.ini"),
            "[COMMUNICATION]\nPORT=1\nBANDRATE=9600\nFLOWCTRL=0\nSTOPBITS=0\nPARITY=0\nDATABITS=8\n");
  ui.clearRecord();
  EXPECT_EQ(loadSerialSettings(folder.comIni(), ui), SerialSettings{});
  EXPECT_TRUE(ui.transcript().empty()) << "the stored defaults are valid";
}

TEST(SerialSettings, PortListHasOpenablePortsAndTheHeldOne) {
  TestProgramFolder folder;
  PtyPair pty;
  folder.plugPort(200, pty.slavePath());
  folder.plugPort(201, folder.file("nothing-there"));
  auto ports = serialPortChoices(folder.path(), 0);
  EXPECT_NE(std::find(ports.begin(), ports.end(), 200), ports.end());
  EXPECT_EQ(std::find(ports.begin(), ports.end(), 201), ports.end()) << "a dangling link cannot be opened";
  ports = serialPortChoices(folder.path(), 201);
  EXPECT_NE(std::find(ports.begin(), ports.end(), 201), ports.end()) << "the port the link holds";
  EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
  EXPECT_EQ(std::count(ports.begin(), ports.end(), 200), 1);
  EXPECT_EQ(serialPortChoices(folder.path(), 200), serialPortChoices(folder.path(), 0)) << "listed once";
}

TEST(SerialSettingsForm, SelectsTheStoredValues) {
  TestProgramFolder folder;
  PtyPair pty;
  folder.plugPort(200, pty.slavePath());
  folder.write("com.ini", "[COMMUNICATION]\nPORT=200\nBANDRATE=38400\nDATABITS=5\nPARITY=1\nSTOPBITS=1\nFLOWCTRL=1\n");
  ui::FakeUserInterface ui;
  auto form = openSerialSettingsForm(folder.path(), CommunicationType::Modbus, 0, ui);
  ASSERT_GE(form.port, 0);
  EXPECT_EQ(form.ports[static_cast<size_t>(form.port)], 200);
  EXPECT_EQ(kBaudRateEntries[static_cast<size_t>(form.baudRate)], "38400");
  EXPECT_EQ(kDataBitsEntries[static_cast<size_t>(form.dataBits)], "5");
  EXPECT_EQ(kParityEntries[static_cast<size_t>(form.parity)], "Flag");
  EXPECT_EQ(kStopBitsEntries[static_cast<size_t>(form.stopBits)], "1.5");
  EXPECT_EQ(kFlowControlEntries[static_cast<size_t>(form.flowControl)], "Xon/Xoff");
  EXPECT_TRUE(form.lineParametersShown);

  folder.write("com.ini", "[COMMUNICATION]\nPORT=250\nBANDRATE=9600\nDATABITS=8\nPARITY=0\nSTOPBITS=0\nFLOWCTRL=5\n");
  form = openSerialSettingsForm(folder.path(), CommunicationType::Profibus, 0, ui);
  EXPECT_EQ(form.port, -1) << "a port that is not listed";
  EXPECT_EQ(kParityEntries[static_cast<size_t>(form.parity)], "Even");
  EXPECT_EQ(kFlowControlEntries[static_cast<size_t>(form.flowControl)], "Hardware");
  EXPECT_FALSE(form.lineParametersShown);
}

TEST(SerialSettingsForm, OkNeedsEverySelectionAndStoresTheRecord) {
  TestProgramFolder folder;
  ui::FakeUserInterface ui;
  SerialSettingsForm form;
  form.ports = {3, 9};
  const std::vector<std::pair<int SerialSettingsForm::*, std::string>> order{
      {&SerialSettingsForm::port, "Error: Please select COM port!"},
      {&SerialSettingsForm::baudRate, "Error: Please select band rate!"},
      {&SerialSettingsForm::dataBits, "Error: Please select data bit!"},
      {&SerialSettingsForm::parity, "Error: Please select the check byte!"},
      {&SerialSettingsForm::stopBits, "Error: Please stop bit!"},
      {&SerialSettingsForm::flowControl, "Error: Please select hardware flow control!"},
  };
  for (const auto& [field, message] : order) {
    ui.clearRecord();
    EXPECT_FALSE(acceptSerialSettingsForm(form, folder.comIni(), ui));
    EXPECT_EQ(ui.errors(), std::vector<std::string>{message});
    form.*field = 1;
  }
  form.parity = 0;       // "Odd"
  form.flowControl = 6;  // "DSR/DTR"
  auto stored = acceptSerialSettingsForm(form, folder.comIni(), ui);
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, (SerialSettings{9, 1200, 3, 6, 1, 0}));
  EXPECT_EQ(folder.read("com.ini"),
            "[COMMUNICATION]\nPORT=9\nBANDRATE=1200\nFLOWCTRL=0\nSTOPBITS=1\nPARITY=3\nDATABITS=6\n");
  form.flowControl = 1;  // "Hardware"
  EXPECT_EQ(acceptSerialSettingsForm(form, folder.comIni(), ui)->flowControl, 5);
}

TEST(SerialSettingsForm, ProfibusOkStoresTheHiddenValuesUnchanged) {
  TestProgramFolder folder;
  PtyPair pty;
  folder.plugPort(200, pty.slavePath());
  const std::string stored =
      "[COMMUNICATION]\nPORT=200\nBANDRATE=4800\nFLOWCTRL=3\nSTOPBITS=2\nPARITY=4\nDATABITS=7\n";
  folder.write("com.ini", stored);
  ui::FakeUserInterface ui;
  auto form = openSerialSettingsForm(folder.path(), CommunicationType::Profibus, 0, ui);
  ASSERT_TRUE(acceptSerialSettingsForm(form, folder.comIni(), ui));
  EXPECT_EQ(folder.read("com.ini"), stored);
}

}  // namespace
}  // namespace tavrin::app
