// Finding the description file of a transmitter of the simulator through the
// real drivers: the file-name rules with their revision limits, and the
// device table.
#include "app/device_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/links.h"
#include "program_folder.h"
#include "testing/pty_pair.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using testing::realDrivers;
using testing::Simulator;
using testing::TestProgramFolder;
using tavrin::testing::hex;
using Lines = std::vector<std::string>;

const std::string kProfibusProfile = TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini";
const std::string kModbusProfile = TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini";


class LookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* library : {"Profibus", "Modbus"}) {
      std::filesystem::remove_all(folder.file(library));
      std::filesystem::create_directories(folder.file(library));
    }
    std::filesystem::remove(folder.file("device.cfg"));
  }
  void start(const std::string& bus, int port, const std::string& profile, const std::vector<std::string>& extra = {}) {
    folder.write("com.ini", "[COMMUNICATION]\nPORT=" + std::to_string(port) +
                                "\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n");
    sim = std::make_unique<Simulator>(bus, folder.portLink(port), profile, extra);
    ASSERT_TRUE(sim->ready());
    links.bind();
    links.profibus().setResponseTimeout(200);
    ASSERT_TRUE(bus == "modbus" ? links.modbus().open() : links.profibus().open());
  }
  void library(const std::string& name) const { folder.write(name, "description"); }
  // The Profibus sample with another software revision text.
  std::string profileWithRevision(const std::string& revision) const {
    std::ifstream in(kProfibusProfile);
    std::stringstream text;
    text << in.rdbuf();
    std::string profile = text.str();
    const std::string key = "SOFTWARE_REVISION = 3.02.017";
    profile.replace(profile.find(key), key.size(), "SOFTWARE_REVISION = " + revision);
    folder.write("short-revision.ini", profile);
    return folder.file("short-revision.ini");
  }

  TestProgramFolder& folder = realDrivers();
  ui::FakeUserInterface ui;
  DeviceLinks links{folder.files(), ui};
  std::unique_ptr<Simulator> sim;
};

TEST_F(LookupTest, ModbusTakesTheHighestRevisionUpTo32) {
  start("modbus", 71, kModbusProfile);
  links.setBusAddress(1);
  library("Modbus/00170A0101020021.bin");
  EXPECT_EQ(modbusLookup(links, folder.files(), ui).path, "");
  EXPECT_EQ(ui.errors(), Lines{"Error: Cannot find Manufacture Code:0x0017, device type:0x0A01, device "
                               "version:0x0102 file!\nPlease update the software!"});
  library("Modbus/00170A0101020003.bin");
  library("Modbus/00170A0101020020.bin");
  EXPECT_EQ(modbusLookup(links, folder.files(), ui).path, folder.file("Modbus/00170A0101020020.bin"));

  ui.clearRecord();
  links.setBusAddress(2);
  links.modbus().setAttempts(1);  // the driver's own time limits are long
  EXPECT_EQ(modbusLookup(links, folder.files(), ui).path, "");
  EXPECT_EQ(ui.errors(), Lines{"Error: connecting to the transmitter failed. Pls check the following items: \n1. "
                               "The COM port\n2. The COM baud rate\n3. The communication address\n4. Hardware "
                               "connection"});
}

TEST_F(LookupTest, ProfibusIdentificationTakesTheHighestRevisionUpTo511) {
  start("profibus", 72, kProfibusProfile);
  links.setBusAddress(5);
  library("Profibus/01720A3101020200.bin");
  auto result = profibusLookup(links, folder.files(), ui);
  EXPECT_EQ(result.path, "");
  EXPECT_EQ(ui.errors(), Lines{"Error: Cannot find the file [01720A310102], please update software!"});
  ASSERT_TRUE(result.identification);
  EXPECT_EQ(result.identification->manufacturer, 0x0172);
  EXPECT_EQ(result.identification->deviceType, 0x0A31);
  EXPECT_FALSE(result.blockDirectory) << "this way never reads the block directory";

  library("Profibus/01720A3101020001.bin");
  library("Profibus/01720A3101020003.bin");
  library("Profibus/01720A3101020100.bin");  // revision 256 is a hexadecimal 0100
  EXPECT_EQ(profibusLookup(links, folder.files(), ui).path, folder.file("Profibus/01720A3101020100.bin"));
  std::filesystem::remove(folder.file("Profibus/01720A3101020100.bin"));
  EXPECT_EQ(profibusLookup(links, folder.files(), ui).path, folder.file("Profibus/01720A3101020003.bin"));
}

TEST_F(LookupTest, ProfibusFailuresSayWhichStepFailed) {
  start("profibus", 73, kProfibusProfile, {"--fault", "no-reply,service=read,slot=0,index=79"});
  links.setBusAddress(9);
  EXPECT_EQ(profibusLookup(links, folder.files(), ui).path, "");
  links.setBusAddress(5);
  EXPECT_EQ(profibusLookup(links, folder.files(), ui).path, "");
  EXPECT_EQ(ui.errors(), (Lines{"Error: Cannot find PA transmitter!", "Error: Cannot find the PA transmitter!"}));
}

TEST_F(LookupTest, AShortSoftwareRevisionGoesThroughTheDeviceTable) {
  start("profibus", 74, profileWithRevision("3.02"));
  links.setBusAddress(5);
  auto result = profibusLookup(links, folder.files(), ui);
  EXPECT_EQ(result.path, "");
  ASSERT_TRUE(result.blockDirectory);
  EXPECT_EQ(hex({result.blockDirectory->begin(), result.blockDirectory->begin() + 4}).substr(0, 2), "01")
      << hex({result.blockDirectory->begin(), result.blockDirectory->end()});
  const std::string missingEntry = "Cannot find the information of transmitter[MANU=0X0172,DEV=0X0A31] in " +
                                   folder.path() + "Device.cfg file!";
  EXPECT_EQ(ui.errors(), Lines{missingEntry});

  folder.write("device.cfg", "[MANUFACTURER_0x0172]\nDEVICE_TYPE_0x0A31=PT3100.bin\n");
  ui.clearRecord();
  EXPECT_EQ(profibusLookup(links, folder.files(), ui).path, "");
  EXPECT_EQ(ui.errors(), Lines{folder.file("Profibus/PT3100.bin") + " file does not exist!"});

  library("Profibus/PT3100.bin");
  result = profibusLookup(links, folder.files(), ui);
  EXPECT_EQ(result.path, folder.file("Profibus/PT3100.bin"));
  EXPECT_EQ(result.identification->manufacturer, 0x0172);
  EXPECT_EQ(result.identification->deviceType, 0x0A31);
}

TEST_F(LookupTest, DeviceTableNeedsBothCodesAndTheBlockDirectory) {
  start("profibus", 75, profileWithRevision("V1"),
        {"--fault", "no-reply,service=read,slot=0,index=56,count=3", "--fault",
         "no-reply,service=read,slot=1,index=1,count=3,after=0"});
  links.setBusAddress(5);
  EXPECT_EQ(profibusLookup(links, folder.files(), ui).path, "");
  EXPECT_EQ(ui.errors(), Lines{"Error: Connect the transmitter failure!"});
  ui.clearRecord();
  EXPECT_EQ(profibusLookup(links, folder.files(), ui).path, "");
  EXPECT_EQ(ui.errors(), (Lines{"Error: SLOT: 0x01, INDEX: 0x01; No response from slave",
                                "Error: Transmitter table read failure!"}));
}

}  // namespace
}  // namespace tavrin::app
