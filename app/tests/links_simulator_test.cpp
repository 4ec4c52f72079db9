// The links over the real driver libraries, talking to tavrin-sim on a
// pseudo-terminal behind ports/COM<n> of a program folder of the test's own.
#include <gtest/gtest.h>

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


class SimulatorLinkTest : public ::testing::Test {
 protected:
  void useBus(const std::string& type, int port) {
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=" + type + "\nPORT=" + std::to_string(port) +
                                "\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n");
  }

  TestProgramFolder& folder = realDrivers();
  ui::FakeUserInterface ui;
  DeviceLinks links{folder.files(), ui};
  std::array<uint8_t, 256> buffer{};
  size_t received = 0;
};

TEST_F(SimulatorLinkTest, ProfibusIdentifiesAndDecodesARefusedWrite) {
  useBus("PROFIBUS", 61);
  Simulator sim("profibus", folder.portLink(61), TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini");
  ASSERT_TRUE(sim.ready());
  links.bind();
  ASSERT_TRUE(links.profibus().open());
  EXPECT_TRUE(links.profibus().devicePresent(5));
  EXPECT_FALSE(links.profibus().devicePresent(7));

  links.setBusAddress(5);
  ASSERT_TRUE(links.profibusRead(0, 79, 8, buffer, received));
  EXPECT_EQ(hex({buffer.begin(), buffer.begin() + static_cast<long>(received)}), "01 72 0A 31 00 00 01 02");
  ASSERT_TRUE(links.profibusRead(0, 24, 16, buffer, received));
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 8), "3.02.017");

  const std::vector<uint8_t> tag{'P', 'T', '-', '9'};
  EXPECT_FALSE(links.profibusWrite(0, 26, tag));
  uint8_t status = 0;
  std::string cause;
  EXPECT_FALSE(links.profibus().quietWrite(0, 26, tag, status, &cause));
  EXPECT_EQ(status, 9);
  EXPECT_EQ(cause, "Access error : Access denied");
  EXPECT_EQ(ui.errors(), Lines{"Error: SLOT: 0x00, INDEX: 0x1A; Negative response with error code"});

  links.setBusAddress(6);
  ASSERT_TRUE(links.profibusRead(0, 18, 8, buffer, received));
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 8), "PT-PA-02") << "the other transmitter";
}

TEST_F(SimulatorLinkTest, ModbusProbesReadsAndWrites) {
  useBus("MODBUS", 62);
  Simulator sim("modbus", folder.portLink(62), TAVRIN_SOURCE_DIR "sim/profiles/modbus-pressure.ini");
  ASSERT_TRUE(sim.ready());
  links.bind();
  links.setBusAddress(1);
  ASSERT_TRUE(links.modbus().open());
  std::array<uint8_t, 8> identity{};
  ASSERT_TRUE(links.modbus().identityProbe(identity));
  EXPECT_EQ(hex({identity.begin(), identity.end()}), "00 17 0A 01 00 00 01 02");

  ASSERT_TRUE(links.modbusWrite(6, 8, std::vector<uint8_t>{0x00, 0x01}));
  ASSERT_TRUE(links.modbusRead(3, 8, 2, buffer, received));
  EXPECT_EQ(hex({buffer.begin(), buffer.begin() + static_cast<long>(received)}), "00 01");

  EXPECT_FALSE(links.modbusWrite(6, 0x0100, std::vector<uint8_t>{0x00, 0x01})) << "read-only";
  EXPECT_EQ(ui.errors(), Lines{"Comm Failure: Register address error!"});

  links.setBusAddress(2);
  EXPECT_FALSE(links.modbus().identityProbe(identity)) << "nobody at 2";
  EXPECT_EQ(ui.errors().size(), 1u) << "the probe is quiet";
}

TEST_F(SimulatorLinkTest, AVanishedAdapterIsResentAfterTheQuestion) {
  useBus("PROFIBUS", 63);
  Simulator sim("profibus", folder.portLink(63), TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini",
                {"--fault", "hangup,service=read,slot=1,index=26,count=1"});
  ASSERT_TRUE(sim.ready());
  links.bind();
  links.setBusAddress(5);
  ui.answer(ui::Answer::Yes);
  ASSERT_TRUE(links.profibusRead(1, 26, 5, buffer, received));
  EXPECT_EQ(received, 5u);
  EXPECT_EQ(ui.transcript(), Lines{"message Error error yes-no: Error: Access serial port failed, resend? -> yes"});
}

}  // namespace
}  // namespace tavrin::app
