#include "app/configuration.h"

#include <gtest/gtest.h>

#include "app/commands.h"
#include "testing/temp_dir.h"

namespace tavrin::app {
namespace {

using tavrin::testing::TempDir;

TEST(Configuration, CommunicationTypeIsComparedUpperCasedAndTrimmed) {
  TempDir dir;
  const std::string ini = dir.file("com.ini");
  EXPECT_EQ(readCommunicationType(ini), CommunicationType::None) << "no file";
  dir.write("com.ini", "[COMMUNICATION]\nTYPE = \"  modbus\t\"\n");
  EXPECT_EQ(readCommunicationType(ini), CommunicationType::Modbus);
  dir.write("com.ini", "[communication]\ntype=Profibus\n");
  EXPECT_EQ(readCommunicationType(ini), CommunicationType::Profibus);
  for (const char* other : {"HART", "MOD BUS", "NULL", "PROFIBUS2", ""}) {
    dir.write("com.ini", std::string("[COMMUNICATION]\nTYPE=") + other + "\n");
    EXPECT_EQ(readCommunicationType(ini), CommunicationType::None) << other;
  }
  ASSERT_TRUE(writeCommunicationType(ini, CommunicationType::Profibus));
  EXPECT_EQ(dir.read("com.ini"), "[COMMUNICATION]\nTYPE=PROFIBUS\n");
  EXPECT_FALSE(writeCommunicationType(ini, CommunicationType::None));
}

TEST(Configuration, BusAddressIsOneByteOfTheDecimalText) {
  TempDir dir;
  const std::string ini = dir.file("com.ini");
  dir.write("com.ini",
            "[PROFIBUS_ADDR]\nADDRESS=300\n[MODBUS_ADDR]\nADDRESS= 17abc\n[START_ADDR]\nADDRESS=-1\n");
  EXPECT_EQ(readBusAddress(ini, CommunicationType::Profibus), 44);
  EXPECT_EQ(readBusAddress(ini, CommunicationType::Modbus), 17);
  EXPECT_EQ(readBusAddress(ini, CommunicationType::None), 0);
  dir.write("com.ini", "[PROFIBUS_ADDR]\nADDRESS=NULL\n[MODBUS_ADDR]\nADDRESS=-1\n");
  EXPECT_EQ(readBusAddress(ini, CommunicationType::Profibus), 0);
  EXPECT_EQ(readBusAddress(ini, CommunicationType::Modbus), 255);

  ASSERT_TRUE(storeBusAddress(ini, CommunicationType::Modbus, 9));
  EXPECT_EQ(readBusAddress(ini, CommunicationType::Modbus), 9);
  EXPECT_EQ(readBusAddress(ini, CommunicationType::Profibus), 0) << "the other bus keeps its own";
  EXPECT_FALSE(storeBusAddress(ini, CommunicationType::None, 9));
}

TEST(Configuration, DecimalValueBehavesLikeAtoiWithoutOverflow) {
  EXPECT_EQ(decimalValue("  -42x"), -42);
  EXPECT_EQ(decimalValue("+7"), 7);
  EXPECT_EQ(decimalValue("x7"), 0);
  EXPECT_EQ(decimalValue(""), 0);
  EXPECT_GT(decimalValue("99999999999999999999999999"), 1'000'000'000'000LL);
}

TEST(Configuration, TitleReadsWithLineBreaks) {
  TempDir dir;
  dir.write("com.ini", "[TITLE]\nNAME=Tavrin\\nPlant 3\n");
  EXPECT_EQ(readTitle(dir.file("com.ini")), "Tavrin\nPlant 3");
  EXPECT_EQ(readTitle(dir.file("missing.ini")), "");
}

TEST(Commands, FlagsEnableTheirGroups) {
  CommandState idle;
  EXPECT_TRUE(commandEnabled(Command::Connect, idle)) << "even without its flag";
  EXPECT_TRUE(commandEnabled(Command::ComSetting, idle));
  EXPECT_FALSE(commandEnabled(Command::Read, idle));
  EXPECT_FALSE(commandEnabled(Command::Disconnect, idle));
  EXPECT_TRUE(commandEnabled(Command::Modbus, idle));
  EXPECT_FALSE(commandEnabled(Command::Hart, idle));
  EXPECT_TRUE(commandEnabled(Command::AddressSetting, idle));

  CommandState parameterView{kFlagConnect | kFlagRead | kFlagWrite | kFlagParameter | kFlagFunction | kFlagDisconnect,
                             true, CommunicationType::Profibus, ViewMode::Parameter};
  for (Command c : {Command::Read, Command::Import, Command::Export, Command::Write, Command::UpdateModified,
                    Command::UpdateAll, Command::Parameter, Command::Function, Command::Disconnect})
    EXPECT_TRUE(commandEnabled(c, parameterView)) << static_cast<int>(c);
  EXPECT_FALSE(commandEnabled(Command::ComSetting, parameterView)) << "only while bit 1 is clear";
  EXPECT_FALSE(commandEnabled(Command::Calibration, parameterView));
  EXPECT_FALSE(commandEnabled(Command::Modbus, parameterView)) << "connected";
  EXPECT_TRUE(commandChecked(Command::Profibus, parameterView));
  EXPECT_FALSE(commandChecked(Command::Modbus, parameterView));
  EXPECT_TRUE(commandChecked(Command::Parameter, parameterView));
  EXPECT_FALSE(commandChecked(Command::Function, parameterView));
}

}  // namespace
}  // namespace tavrin::app
