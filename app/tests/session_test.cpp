// The device session end to end: the real drivers and loader, tavrin-sim on
// a pseudo-terminal, descriptions in the library by the file-name rules, the
// menus' item lists scripted.
#include "app/session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/serial_settings.h"
#include "program_folder.h"
#include "scripted_menus.h"
#include "testing/edd_fixture.h"
#include "testing/pty_pair.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using testing::MenuScript;
using testing::realDrivers;
using testing::ScriptedMenus;
using testing::Simulator;
using testing::TestProgramFolder;
using Lines = std::vector<std::string>;

const std::string kProfibusProfile = TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini";
const std::string kModbusProfile = TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini";
const std::string kLine = "BANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() {
    for (const char* library : {"Profibus", "Modbus"}) {
      std::filesystem::remove_all(folder.file(library));
      std::filesystem::create_directories(folder.file(library));
    }
    std::filesystem::remove(folder.file("device.cfg"));
    std::filesystem::remove(folder.file("pw.bin"));
    script.menus["Table_Main_Specialist"] = {MenuScript::item("pressure"), MenuScript::item("setup")};
    script.menus["Table_Main_Maintenance"] = {MenuScript::item("pressure")};
    script.menus["setup"] = {MenuScript::item("damping"), MenuScript::item("mode", 2)};
    script.menus["Menu_Main_Specialist"] = {MenuScript::item("damping"), MenuScript::item("set_damping"),
                                            MenuScript::item("setup"), MenuScript::text("Configuration"),
                                            MenuScript::item("set_damping", 2)};
    session.setPause([this](std::chrono::milliseconds d) { pauses.push_back(static_cast<int>(d.count())); });
    session.setBackgroundRefresh([this] { refresh.push_back("start"); }, [this] { refresh.push_back("stop"); });
    session.links().profibus().setResponseTimeout(200);
  }
  void comIni(const std::string& text) { folder.write("com.ini", "[COMMUNICATION]\n" + text); }
  void profibusDevice(int port, const std::string& profile = kProfibusProfile) {
    comIni("TYPE=PROFIBUS\nPORT=" + std::to_string(port) + "\n" + kLine + "[PROFIBUS_ADDR]\nADDRESS=5\n");
    sim = std::make_unique<Simulator>("profibus", folder.portLink(port), profile);
    ASSERT_TRUE(sim->ready());
  }
  void describe(const std::string& path, const std::string& text = testing::kSampleDescription) {
    folder.write(path, tavrin::testing::assembleEdd(text));
  }
  // The first column of every table row.
  Lines firstColumn() const {
    Lines out;
    for (const auto& row : session.view().table().rows) out.push_back(row.cells[0].text);
    return out;
  }
  int rowOf(const std::string& text) const {
    const Lines column = firstColumn();
    auto it = std::find(column.begin(), column.end(), text);
    return it == column.end() ? -1 : static_cast<int>(it - column.begin()) + 1;
  }

  TestProgramFolder& folder = realDrivers();
  ui::FakeUserInterface ui;
  MenuScript script;
  std::unique_ptr<Simulator> sim;
  std::vector<int> pauses;
  Lines refresh;
  DeviceSession session{folder.files(), ui,
                        [this](model::Session& m) { return std::make_unique<ScriptedMenus>(m, script); }};
};

TEST_F(SessionTest, ProfibusConnectLoadsTheHighestRevisionAndShowsTheParameterTable) {
  profibusDevice(81);
  describe("Profibus/01720A3101020003.bin");
  folder.write("Profibus/01720A3101020001.bin", "older and broken");
  folder.write("Profibus/01720A3101020200.bin", "revision 512 is never tried");
  session.start();
  ui.select(0);
  ASSERT_TRUE(session.connect()) << ::testing::PrintToString(ui.transcript());
  EXPECT_EQ(ui.errors(), Lines{});
  EXPECT_EQ(session.descriptionPath(), folder.file("Profibus/01720A3101020003.bin"));
  EXPECT_EQ(session.identification().manufacturer, 0x0172);
  EXPECT_EQ(session.identification().deviceType, 0x0A31);
  EXPECT_EQ(session.identification().revision, (std::array<uint8_t, 2>{1, 2}));
  EXPECT_EQ(session.busAddress(), 5);
  EXPECT_EQ(session.userType(), UserType::Specialist);
  EXPECT_EQ(session.viewMode(), ViewMode::Parameter);
  EXPECT_EQ(session.flags(), kFlagRead | kFlagWrite | kFlagFunction | kFlagParameter | kFlagDisconnect)
      << "no calibration menu in this description";
  EXPECT_EQ(ui.lastStatus(), "Status: Connected");
  EXPECT_EQ(firstColumn(), (Lines{"Parameters", "Pressure", ">>  Setup", "Damping", "Mode"}));
  EXPECT_EQ(session.view().tree().selected(), 0);
  EXPECT_EQ(session.view().tree().items().size(), 2u);
  EXPECT_EQ(pauses, (std::vector<int>{200, 100})) << "the port's rest, the parameter view's pause";
  EXPECT_TRUE(commandEnabled(Command::Disconnect, session.commandState()));
  EXPECT_FALSE(commandEnabled(Command::Profibus, session.commandState()));

  session.selectTreeItem(1);
  EXPECT_EQ(firstColumn(), (Lines{"Setup", "Damping", "Mode"}));
  EXPECT_TRUE(session.contextMenuAt(0));
  EXPECT_FALSE(session.contextMenuAt(1)) << "a right-click in column 1 shows no context menu";
  EXPECT_TRUE(session.enterFunctionView());
  EXPECT_FALSE(session.enterCalibrationView());
  EXPECT_TRUE(session.enterParameterView());
  EXPECT_EQ(session.flags() & (kFlagRead | kFlagWrite), kFlagRead | kFlagWrite);

  ui.answer(ui::Answer::No);
  session.disconnect();
  EXPECT_TRUE(session.connected());
  ui.answer(ui::Answer::Yes);
  session.disconnect();
  EXPECT_FALSE(session.connected());
  EXPECT_EQ(session.flags(), 0u);
  EXPECT_TRUE(session.view().table().rows.empty());
  EXPECT_FALSE(session.model().description().loaded());
  EXPECT_EQ(ui.lastStatus(), "Status: Disconnected");
  EXPECT_TRUE(session.links().profibus().isOpen()) << "disconnecting keeps the port";
}

TEST_F(SessionTest, AConfirmedReconnectThatFailsLeavesThePreviousTableCleared) {
  profibusDevice(82);
  describe("Profibus/01720A3101020000.bin");
  session.start();
  ui.select(1);
  ASSERT_TRUE(session.connect());
  EXPECT_EQ(firstColumn(), (Lines{"Maintenance", "Pressure"}));

  ui.answer(ui::Answer::No);
  EXPECT_FALSE(session.connect());
  EXPECT_TRUE(session.connected()) << "nothing changed";
  EXPECT_EQ(firstColumn().size(), 2u);

  folder.write("com.ini", replaced(folder.read("com.ini"), "ADDRESS=5", "ADDRESS=9"));
  ui.clearRecord();
  ui.answer(ui::Answer::Yes);
  EXPECT_FALSE(session.connect());
  EXPECT_EQ(ui.errors(), Lines{"Error: Cannot find PA transmitter!"});
  EXPECT_FALSE(session.connected());
  EXPECT_TRUE(session.view().table().rows.empty());
  EXPECT_TRUE(session.view().tree().empty());
  EXPECT_EQ(session.flags(), 0u);
  EXPECT_EQ(session.descriptionPath(), "");
  EXPECT_FALSE(session.model().description().loaded());
}

TEST_F(SessionTest, AUserTypeWithoutItsParameterTableIsNotConnected) {
  profibusDevice(83);
  describe("Profibus/01720A3101020000.bin",
           replaced(testing::kSampleDescription, "\"Table_Main_Maintenance\"", "\"Other_Table\""));
  session.start();
  ui.select(1);
  EXPECT_FALSE(session.connect());
  EXPECT_EQ(ui.errors(), (Lines{"Error: The variable \"Table_Main_Maintenance\" couldn't be found.",
                                "Error: The current version of the software does not support this function!"}));
  EXPECT_FALSE(session.connected());
  EXPECT_FALSE(session.model().description().loaded());
  EXPECT_EQ(session.userType(), UserType::None);

  ui.clearRecord();
  ui.cancel();
  EXPECT_FALSE(session.connect());
  EXPECT_EQ(ui.messages(), Lines{}) << "cancelling the user choice says nothing";
}

TEST_F(SessionTest, AShortSoftwareRevisionConnectsThroughTheDeviceTable) {
  std::ifstream in(kProfibusProfile);
  std::stringstream profile;
  profile << in.rdbuf();
  folder.write("short.ini", replaced(profile.str(), "SOFTWARE_REVISION = 3.02.017", "SOFTWARE_REVISION = 3.02"));
  profibusDevice(84, folder.file("short.ini"));
  folder.write("device.cfg", "[MANUFACTURER_0x0172]\nDEVICE_TYPE_0x0A31=PTX3100.bin\n");
  describe("Profibus/PTX3100.bin");
  session.start();
  ui.select(0);
  ASSERT_TRUE(session.connect()) << ::testing::PrintToString(ui.transcript());
  EXPECT_EQ(session.descriptionPath(), folder.file("Profibus/PTX3100.bin"));
  ASSERT_TRUE(session.blockDirectory());
  EXPECT_EQ(session.identification().manufacturer, 0x0172);
}

TEST_F(SessionTest, ModbusConnectWithALowerCasePaddedType) {
  comIni("TYPE = \" modbus \"\nPORT=85\n" + kLine + "[MODBUS_ADDR]\nADDRESS=257\n");
  sim = std::make_unique<Simulator>("modbus", folder.portLink(85), kModbusProfile);
  ASSERT_TRUE(sim->ready());
  folder.write("Modbus/00170A0101020021.bin", "revision 33 is never tried");
  describe("Modbus/00170A0101020020.bin");
  session.start();
  EXPECT_EQ(session.communicationType(), CommunicationType::Modbus);
  ui.select(0);
  ASSERT_TRUE(session.connect()) << ::testing::PrintToString(ui.transcript());
  EXPECT_EQ(session.busAddress(), 1) << "257 cut to one byte";
  EXPECT_EQ(session.descriptionPath(), folder.file("Modbus/00170A0101020020.bin"));
  EXPECT_TRUE(session.links().modbus().isOpen());
  EXPECT_FALSE(session.links().profibus().isOpen());
}

TEST_F(SessionTest, FunctionViewRunsMethodsAndOpensSubMenus) {
  profibusDevice(86);
  describe("Profibus/01720A3101020000.bin");
  session.start();
  ui.select(0);
  ASSERT_TRUE(session.connect());
  refresh.clear();
  ASSERT_TRUE(session.enterFunctionView());
  EXPECT_EQ(session.flags() & (kFlagRead | kFlagWrite), 0u);
  EXPECT_FALSE(session.contextMenuAt(0));
  EXPECT_EQ(script.reads, Lines{"Menu_Main_Specialist 8"}) << "the first tree item is read";
  EXPECT_EQ(firstColumn(), (Lines{"Damping", "Set damping", "Setup", "Configuration", "Set damping"}));
  EXPECT_EQ(refresh.back(), "start") << "the function view refreshes in the background";

  const int damping = rowOf("Damping");
  session.doubleClick(damping, 0);  // a variable: nothing
  session.doubleClick(rowOf("Set damping"), 1);  // not the label column
  session.doubleClick(4, 0);                      // a text row
  session.doubleClick(5, 0);                      // qualifier 2
  EXPECT_EQ(session.view().table().rows[0].cells[3].text, "Initial value");
  EXPECT_EQ(script.reads.size(), 1u);

  session.doubleClick(rowOf("Set damping"), 0);
  EXPECT_EQ(session.view().table().rows[0].cells[3].text, "Changed") << "the method ran, the table was rebuilt";
  EXPECT_EQ(session.view().table().rows[0].cells[1].text.substr(0, 3), "2.5");
  EXPECT_EQ(script.reads, (Lines{"Menu_Main_Specialist 8", "Menu_Main_Specialist 4"}))
      << "the refresh reads once; restoring the tree selection reads nothing";
  EXPECT_EQ(session.view().tree().selected(), 0);

  session.doubleClick(rowOf("Setup"), 0);
  EXPECT_EQ(script.reads.back(), "setup 8");
  EXPECT_EQ(firstColumn(), (Lines{"Damping", "Mode"}));
  EXPECT_EQ(session.currentMenu(), session.model().description().findObject(
                                       session.model().description().findId("setup")));
  EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 50), 3) << "the variable, the method, the sub-menu";

  session.shutdown();
  EXPECT_EQ(session.viewMode(), ViewMode::None);
  EXPECT_FALSE(session.links().profibus().isOpen());
}

TEST_F(SessionTest, CommunicationTypeAndAddressNotifications) {
  comIni("TYPE=HART\nPORT=87\n" + kLine);
  session.start();
  EXPECT_EQ(ui.errors(), Lines{"Error: The type of Communication is error!"});
  session.chooseCommunicationType(CommunicationType::Modbus);
  EXPECT_EQ(session.communicationType(), CommunicationType::None) << "an unknown type stays";
  session.storeBusAddress(7);
  session.reopenPort();
  EXPECT_FALSE(session.connect()) << "no bus: the connect only resets";
  EXPECT_EQ(ui.errors(), (Lines{"Error: The type of Communication is error!",
                                "Error: The Communication protocol is error!",
                                "Error: The Communication protocol is error!"}));
  EXPECT_EQ(readCommunicationType(folder.comIni()), CommunicationType::None);

  comIni("TYPE=PROFIBUS\nPORT=87\n" + kLine);
  DeviceSession other(folder.files(), ui, [this](model::Session& m) { return std::make_unique<ScriptedMenus>(m, script); });
  other.start();
  other.chooseCommunicationType(CommunicationType::Profibus);
  EXPECT_EQ(other.communicationType(), CommunicationType::Profibus);
  other.chooseCommunicationType(CommunicationType::Modbus);
  EXPECT_EQ(other.communicationType(), CommunicationType::Modbus);
  EXPECT_EQ(readCommunicationType(folder.comIni()), CommunicationType::Modbus);
  other.storeBusAddress(300);
  EXPECT_EQ(readBusAddress(folder.comIni(), CommunicationType::Modbus), 44);
  other.chooseCommunicationType(CommunicationType::Profibus);
  EXPECT_EQ(readCommunicationType(folder.comIni()), CommunicationType::Profibus);
  other.storeBusAddress(12);
  EXPECT_EQ(readBusAddress(folder.comIni(), CommunicationType::Profibus), 12);
}

// The sample library as the build makes it, with its device table.
class SampleLibraryTest : public SessionTest {
 protected:
  SampleLibraryTest() {
    namespace fs = std::filesystem;
    for (const char* library : {"Profibus", "Modbus"})
      fs::copy(TAVRIN_DIST_DIR + std::string(library), folder.file(library),
              fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy_file(TAVRIN_DIST_DIR "device.cfg", folder.file("device.cfg"), fs::copy_options::overwrite_existing);
  }
  void connectAt(const std::string& bus, int port, int address, const std::string& profile) {
    const std::string type = bus == "modbus" ? "MODBUS" : "PROFIBUS";
    comIni("TYPE=" + type + "\nPORT=" + std::to_string(port) + "\n" + kLine + "[" + type + "_ADDR]\nADDRESS=" +
           std::to_string(address) + "\n");
    sim = std::make_unique<Simulator>(bus, folder.portLink(port), TAVRIN_SOURCE_DIR "sim/profiles/" + profile,
                                      std::vector<std::string>{"--trace", folder.file("trace.txt")});
    ASSERT_TRUE(sim->ready());
    session.start();
    ui.select(0);
    ASSERT_TRUE(session.connect()) << ::testing::PrintToString(ui.transcript());
    EXPECT_EQ(ui.errors(), Lines{});
    EXPECT_EQ(session.flags(),
              kFlagRead | kFlagWrite | kFlagCalibration | kFlagFunction | kFlagParameter | kFlagDisconnect);
  }
};

TEST_F(SampleLibraryTest, FindsThePaSampleByTheFileNameRule) {
  connectAt("profibus", 88, 5, "profibus-pressure.ini");
  EXPECT_EQ(session.descriptionPath(), folder.file("Profibus/01720A3101020001.bin"));
  EXPECT_FALSE(session.blockDirectory()) << "the identification lookup reads no block directory";
}

TEST_F(SampleLibraryTest, FindsThePaVariantThroughTheDeviceTable) {
  connectAt("profibus", 89, 7, "profibus-table.ini");
  EXPECT_EQ(session.descriptionPath(), folder.file("Profibus/PTX3200.bin"));
  ASSERT_TRUE(session.blockDirectory());
  EXPECT_EQ(tavrin::testing::hex({session.blockDirectory()->begin(), session.blockDirectory()->begin() + 8}),
            "01 04 00 01 01 05 00 01");
  EXPECT_EQ(session.identification().deviceType, 0x0A32);
}

TEST_F(SampleLibraryTest, FindsTheModbusSample) {
  connectAt("modbus", 90, 1, "modbus-pressure.ini");
  EXPECT_EQ(session.descriptionPath(), folder.file("Modbus/00170A0101020001.bin"));
}

TEST_F(SessionTest, MethodsSetTheBusAddressAndOnlyListedBaudRates) {
  comIni("TYPE=MODBUS\nPORT=91\n" + kLine + "[MODBUS_ADDR]\nADDRESS=1\n");
  session.start();
  builtins::MethodHost& host = session;
  host.setBusAddress(9);
  EXPECT_EQ(session.busAddress(), 9);
  EXPECT_EQ(readBusAddress(folder.comIni(), CommunicationType::Modbus), 9);

  const std::string before = folder.read("com.ini");
  EXPECT_FALSE(host.setBaudRate(14400));
  EXPECT_EQ(folder.read("com.ini"), before) << "a refused rate is not stored";
  EXPECT_EQ(ui.errors(), Lines{"Error: The baud rate 14400 is not one of 600, 1200, 2400, 4800, 9600, 19200 and 38400!"});

  sim = std::make_unique<Simulator>("modbus", folder.portLink(91), kModbusProfile);
  ASSERT_TRUE(sim->ready());
  EXPECT_TRUE(host.setBaudRate(38400));
  EXPECT_EQ(readStoredSerialSettings(folder.comIni()).baudRate, 38400);
  EXPECT_TRUE(session.links().modbus().isOpen()) << "the port was reopened";
  EXPECT_EQ(ui.errors().size(), 1u);
}

TEST_F(SampleLibraryTest, UpdateModifiedWritesOnlyTheChangedVariables) {
  connectAt("modbus", 91, 1, "modbus-pressure.ini");
  ASSERT_TRUE(session.readAll());
  EXPECT_TRUE(session.hasRead());
  model::Session& model = session.model();
  ASSERT_TRUE(model.variables().assign(model.description().findId("damping"), methods::Entry::ofFloat(4.0f)));
  ui.answer(ui::Answer::Yes);
  ASSERT_TRUE(session.writeChanged()) << ::testing::PrintToString(ui.transcript());
  // Damping shares no request: one write of holding registers 6 and 7.
  std::vector<std::string> writes;
  std::istringstream trace(folder.read("trace.txt"));
  for (std::string line; std::getline(trace, line);)
    if (line.find(" request 01 10 ") != std::string::npos || line.find(" request 01 06 ") != std::string::npos)
      writes.push_back(line.substr(line.find("request")));
  EXPECT_EQ(writes, (Lines{"request 01 10 00 06 00 02 04 40 80 00 00 67 AD"}));
  EXPECT_EQ(session.view().table().rows.size(), session.view().rows().size()) << "the table was filled again";
}

TEST(SessionStart, BindsTheModbusDriverBeforeTheProfibusDriver) {
  TestProgramFolder empty;
  ui::FakeUserInterface ui;
  MenuScript script;
  DeviceSession session(empty.files(), ui, [&](model::Session& m) { return std::make_unique<ScriptedMenus>(m, script); });
  session.start();
  EXPECT_EQ(ui.errors(), (Lines{"Error: The type of Communication is error!", "Error: Cannot find the Modbus.dll file!",
                                "Error: Couldn't find PA communication library!"}));
  EXPECT_EQ(session.flags(), kFlagConnect);
}

}  // namespace
}  // namespace tavrin::app
