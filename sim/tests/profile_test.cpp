#include <gtest/gtest.h>

#include "rig.h"
#include "sim/values.h"
#include "testing/temp_dir.h"

namespace tavrin::sim {
namespace {

using test::framed;
using test::hex;
using test::Rig;

std::string profileDir() { return std::string(TAVRIN_SOURCE_DIR) + "sim/profiles/"; }

TEST(ProfileTest, TheSampleProfilesLoad) {
  std::string why;
  auto modbus = loadProfile(profileDir() + "modbus-pressure.ini", Bus::Modbus, &why);
  ASSERT_TRUE(modbus) << why;
  ASSERT_EQ(modbus->setup.modbus.size(), 1u);
  const ModbusSlave& slave = modbus->setup.modbus[0];
  EXPECT_EQ(slave.address(), 1);
  EXPECT_EQ(slave.reg(ModbusTable::Input, 0x8000), 0x0017);
  EXPECT_EQ(slave.reg(ModbusTable::Input, 0x8002), 0);
  EXPECT_TRUE(slave.isReadOnly(0x0107));
  EXPECT_TRUE(slave.isDynamic(ModbusTable::Input, 1));

  auto profibus = loadProfile(profileDir() + "profibus-pressure.ini", Bus::Profibus, &why);
  ASSERT_TRUE(profibus) << why;
  ASSERT_EQ(profibus->setup.profibus.size(), 2u);
  EXPECT_NE(profibus->setup.profibus[0].calibration(), nullptr);

  EXPECT_FALSE(loadProfile(profileDir() + "modbus-pressure.ini", Bus::Profibus, &why)) << "BUS says otherwise";
  EXPECT_FALSE(loadProfile(profileDir() + "missing.ini", Bus::Modbus, &why));
  EXPECT_NE(why.find("missing.ini"), std::string::npos);
}

TEST(ProfileTest, MistakesAreNamedNotIgnored) {
  struct Bad {
    Bus bus;
    std::string text;
    const char* says;
  };
  const Bad cases[] = {
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\nholding.0 = 1\nholdng.1 = 2\n", "holdng.1"},
      {Bus::Modbus, "[DEVICE a]\nholding.0 = 1\n", "ADDRESS"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 248\n", "ADDRESS"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\n[DEVICE b]\nADDRESS = 1\n", "two devices"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\nholding.0 = f32:1\nholding.1 = 5\n", "defined twice"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\nholding.0 = u8: 1\n", "even"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\nholding.65535 = 1 2\n", "65535"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\ncoil.0 = 2\n", "0 or 1"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\nREADONLY = holding.4\n", "not defined"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\nholding.0 = 1\nrange.holding.0 = f32 0 1\n", "spans"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\ninput.0 = 1\nrange.input.0 = 0 1\n", "holding"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\ndynamic.input.0 = f32 wobble\n", "wobble"},
      {Bus::Modbus, "[DEVICE a]\nADDRESS = 1\nslot.0.1 = 1\n", "slot.0.1"},
      {Bus::Modbus, "[DEVICES]\n", "unknown section"},
      {Bus::Modbus, "[SIMULATOR]\nBUS = PROFIBUS\n[DEVICE a]\nADDRESS = 1\n", "another bus"},
      {Bus::Modbus, "[FAULTS]\nf = late\n[DEVICE a]\nADDRESS = 1\n", "late"},
      {Bus::Modbus, "; nothing\n", "no [DEVICE"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\n", "IDENT_NUMBER"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 126\nIDENT_NUMBER = 1\n", "ADDRESS"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 1\nTAG = 0123456789012345678901234567890123\n", "32"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 1\nREVISION = 1\n", "two bytes"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 1\nslot.1.1 = hex:" + std::string(482, '0') + "\n", "240"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 1\nOUTPUT = slot.1.26\n", "CALIBRATION"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 1\nCALIBRATION = 1\nOUTPUT = slot.1.26\n", "at least 4"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 1\nslot.1.2 = 1\nrange.slot.1.2 = u16 0 1\n", "outside"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 1\nDIAGNOSIS = 1 2\n", "DIAGNOSIS"},
      {Bus::Profibus, "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 1\nholding.0 = 1\n", "holding.0"},
  };
  for (const Bad& c : cases) {
    std::string why;
    EXPECT_FALSE(parseProfile(c.text, c.bus, &why).has_value()) << c.text;
    EXPECT_NE(why.find(c.says), std::string::npos) << c.text << "\n said: " << why;
  }
}

TEST(ProfileTest, ExplicitEntriesOverrideTheIdentificationDefaults) {
  Rig rig("[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 0x1234\nMANUFACTURER = 0x0172\nslot.0.26 = 0xAB 0xCD\n"
          "DIAGNOSIS = hex: 00 0C 00 02 12 34 07\nslot.1.50 = 1 2 3\nREADONLY = slot.1.40-60\n",
          Bus::Profibus);
  EXPECT_EQ(hex(std::get<Bytes>(rig.device().read(0, 26, 2, 0))), "AB CD");
  EXPECT_EQ(hex(std::get<Bytes>(rig.device().read(0, 79, 8, 0))), "01 72 00 00 00 00 00 00");
  EXPECT_EQ(hex(rig.device().diagnosis()), "00 0C 00 02 12 34 07");
  EXPECT_TRUE(rig.device().entries().at({1, 50}).readOnly);
}

TEST(ProfileTest, SavingWritesBackWhatChanged) {
  const std::string modbusText =
      "; kept\n[DEVICE a]\nADDRESS = 1\nholding.0 = f32: 1.5\nholding.2 = 7\ncoil.0 = 1 0\n"
      "dynamic.holding.10 = u16 ramp from=0 to=100 period=10\n";
  Rig modbus(modbusText, Bus::Modbus);
  modbus.ask("01 10 00 00 00 02 04 40 00 00 00", 20);
  std::string saved = savedProfileText(*modbus.profile);
  EXPECT_NE(saved.find("holding.0=0x4000 0x0000"), std::string::npos) << saved;
  EXPECT_NE(saved.find("holding.2 = 7"), std::string::npos) << "unchanged text stays";
  EXPECT_NE(saved.find("; kept"), std::string::npos);
  EXPECT_NE(saved.find("ramp from=0"), std::string::npos) << "dynamic values are not memory";
  Rig again(saved, Bus::Modbus);
  EXPECT_EQ(again.ask("01 03 00 00 00 03"), hex(framed("01 03 06 40 00 00 00 00 07")));

  const std::string paText =
      "[DEVICE a]\nADDRESS = 5\nIDENT_NUMBER = 0x0A31\nTAG = old\nslot.1.36 = f32: 0.5\n"
      "slot.1.26 = f32:0 u8:0x80\nCALIBRATION = 1\nOUTPUT = slot.1.26\ndynamic.slot.3.37 = constant value=10\n";
  Rig pa(paText, Bus::Profibus);
  PaTransmitter& pt = pa.device();
  std::string newTag = "new tag";
  newTag.resize(32, ' ');
  ASSERT_EQ(pt.write(0, 18, Bytes(newTag.begin(), newTag.end()), 0), std::nullopt);
  ASSERT_EQ(pt.write(1, 36, Bytes{0x40, 0, 0, 0}, 0), std::nullopt);
  ASSERT_EQ(pt.write(3, 24, Bytes{0x5A, 0x3C, 0x9E, 0x17}, 0), std::nullopt);
  ASSERT_EQ(pt.write(3, 28, Bytes{1, 1}, 0), std::nullopt);
  ASSERT_EQ(pt.write(3, 34, Bytes{2}, 0), std::nullopt);
  Bytes collected(84, 0), reference(84, 0);
  encodeValue(Encoding::F32, 20, collected.data() + 4);
  encodeValue(Encoding::F32, 40, reference.data() + 4);
  ASSERT_EQ(pt.write(3, 35, collected, 0), std::nullopt);
  ASSERT_EQ(pt.write(3, 36, reference, 0), std::nullopt);
  ASSERT_EQ(pt.write(3, 28, Bytes{1, 3}, 0), std::nullopt);
  ASSERT_EQ(pa.ask("68 09 09 68 85 81 4D 37 3E 09 0A 31 00"), "E5");
  saved = savedProfileText(*pa.profile);
  EXPECT_NE(saved.find("ADDRESS=9"), std::string::npos) << saved;
  EXPECT_NE(saved.find("slot.0.18=text32:new tag"), std::string::npos) << saved;
  EXPECT_NE(saved.find("slot.1.36=hex: 40000000"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("slot.1.26="), std::string::npos) << "the output is measured, not saved";
  EXPECT_EQ(saved.find("slot.3.29"), std::string::npos);
  EXPECT_EQ(saved.find("slot.3.24"), std::string::npos) << "the access code is never stored";

  // The saved device powers up as it was left: moved, renamed, trimmed.
  Rig reloaded(saved, Bus::Profibus);
  PaTransmitter& back = reloaded.device();
  EXPECT_EQ(back.address(), 9);
  EXPECT_EQ(std::get<Bytes>(back.read(0, 18, 32, 0)), Bytes(newTag.begin(), newTag.end()));
  EXPECT_DOUBLE_EQ(decodeValue(Encoding::F32, std::get<Bytes>(back.read(1, 26, 4, 0)).data()), 20);

  testing::TempDir dir;
  ASSERT_TRUE(saveProfile(*reloaded.profile, dir.file("out.ini")));
  EXPECT_EQ(dir.read("out.ini"), savedProfileText(*reloaded.profile));
}

}  // namespace
}  // namespace tavrin::sim
