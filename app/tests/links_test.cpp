// The links over scripted driver libraries: what they call, how often, what
// they show, and how they wait.
#include "app/links.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "program_folder.h"
#include "testing/pty_pair.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using namespace std::chrono_literals;
using testing::FakeDriver;
using testing::kFakeKelvane;
using testing::kFakeKelvanePartial;
using testing::kFakeOstrelle;
using testing::kFakeOstrellePartial;
using testing::TestProgramFolder;
using Lines = std::vector<std::string>;

const std::string kSettings =
    "[COMMUNICATION]\nTYPE=PROFIBUS\nPORT=4\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n";

class LinkTest : public ::testing::Test {
 protected:
  explicit LinkTest(const std::string& kelvane = kFakeKelvane, const std::string& ostrelle = kFakeOstrelle)
      : kelvane_(kelvane), ostrelle_(ostrelle) {
    folder.linkDriver("Kelvane", kelvane);
    folder.linkDriver("Ostrelle", ostrelle);
    folder.write("com.ini", kSettings);
    kelvane_.reset();
    ostrelle_.reset();
    links.setPause([this](std::chrono::milliseconds d) { pauses.push_back(static_cast<int>(d.count())); });
    links.setBusAddress(5);
    links.bind();
  }
  void SetUp() override {
    ASSERT_TRUE(kelvane_.loaded() && ostrelle_.loaded());
    ASSERT_TRUE(links.profibus().isBound() && links.modbus().isBound()) << ::testing::PrintToString(ui.messages());
  }
  void setPort(int port) {
    std::string text = kSettings;
    text.replace(text.find("PORT=4"), 6, "PORT=" + std::to_string(port));
    folder.write("com.ini", text);
  }
  // Forgets what happened so far.
  void forget() {
    kelvane_.reset();
    ostrelle_.reset();
    ui.clearRecord();
    pauses.clear();
  }

  TestProgramFolder folder;
  ui::FakeUserInterface ui;
  FakeDriver kelvane_;
  FakeDriver ostrelle_;
  std::vector<int> pauses;
  DeviceLinks links{folder.files(), ui};
  std::array<uint8_t, 64> buffer{};
  size_t received = 0;
};

using ProfibusLinkTest = LinkTest;

TEST_F(ProfibusLinkTest, OpensLazilyAndFailsWithOneMessageAfterThreeAttempts) {
  kelvane_.replyTimes(3, 15);
  EXPECT_FALSE(links.profibusRead(1, 0x10, 20, buffer, received));
  EXPECT_EQ(ui.transcript(),
            Lines{"message Error error ok: Error: SLOT: 0x01, INDEX: 0x10; No response from slave"});
  EXPECT_EQ(kelvane_.log(), (Lines{"CloseComPort", "OpenComPort 4 0 0 0 0 0 800", "C3Read 5 1 16 20",
                                   "C3Read 5 1 16 20", "C3Read 5 1 16 20"}));
  EXPECT_EQ(pauses, std::vector<int>{200}) << "the adapter rests after every close";
  EXPECT_EQ(links.profibus().openPort(), 4);

  forget();
  kelvane_.reply(0x30);
  kelvane_.reply(0x30);
  kelvane_.reply(0, {0x0A, 0x0B, 0x0C});
  EXPECT_TRUE(links.profibusRead(1, 0x10, 20, buffer, received)) << "the third attempt succeeds";
  EXPECT_EQ(received, 3u);
  EXPECT_EQ(buffer[2], 0x0C);
  EXPECT_TRUE(ui.transcript().empty());
  EXPECT_EQ(kelvane_.log().size(), 3u) << "the open port is not reopened";

  forget();
  kelvane_.replyTimes(3, 0x30);
  EXPECT_FALSE(links.profibusWrite(0, 0xFF, std::vector<uint8_t>{1}));
  EXPECT_EQ(ui.errors(), Lines{"Error: SLOT: 0x00, INDEX: 0xFF; Undefined error status,Error code: 0X30"});
}

TEST_F(ProfibusLinkTest, ReadsNeverOverrunTheCallersBuffer) {
  std::vector<uint8_t> reply(239, 0xAB);
  kelvane_.reply(0, reply);
  std::array<uint8_t, 4> small{};
  EXPECT_TRUE(links.profibusRead(1, 1, 239, small, received));
  EXPECT_EQ(received, 4u);
  EXPECT_EQ(small, (std::array<uint8_t, 4>{0xAB, 0xAB, 0xAB, 0xAB}));
}

TEST_F(ProfibusLinkTest, NegativeRepliesAreDecodedAndABusyDeviceIsGivenTime) {
  uint8_t status = 0;
  std::string cause;
  kelvane_.replyTimes(3, 9, {0x80, 0xC2, 0x00});
  EXPECT_FALSE(links.profibus().quietWrite(3, 24, std::vector<uint8_t>{0x5A, 0x3C}, status, &cause));
  EXPECT_EQ(status, 9);
  EXPECT_EQ(cause, "Resource error : Resource busy");
  EXPECT_EQ(pauses, (std::vector<int>{500, 3000, 500, 3000, 500})) << "no wait after the last attempt";
  EXPECT_TRUE(ui.transcript().empty()) << "quiet";
  EXPECT_EQ(kelvane_.log().back(), "C3Write 5 3 24 5A 3C");

  forget();
  kelvane_.reply(9, {0x80, 0xB6, 0x00});
  kelvane_.reply(9, {0x80, 0xC2, 0x00});
  kelvane_.reply(15);
  cause.clear();
  EXPECT_FALSE(links.profibus().quietWrite(1, 26, std::vector<uint8_t>{1}, status, &cause));
  EXPECT_EQ(status, 15);
  EXPECT_EQ(cause, "Resource error : Resource busy") << "the last negative reply";
  EXPECT_EQ(pauses, (std::vector<int>{500, 3000}));

  forget();
  kelvane_.replyTimes(3, 9, {0x80, 0xB6, 0x00});
  EXPECT_FALSE(links.profibusWrite(1, 26, std::vector<uint8_t>{1}));
  EXPECT_EQ(ui.errors(), Lines{"Error: SLOT: 0x01, INDEX: 0x1A; Negative response with error code"});
  EXPECT_EQ(pauses, std::vector<int>{200}) << "only the rest of opening; access denied is not busy";

  forget();
  kelvane_.reply(9, {0x80});  // error bytes cut short
  kelvane_.reply(0, {7});
  EXPECT_TRUE(links.profibus().quietRead(1, 1, 1, buffer, received, status));
}

TEST_F(ProfibusLinkTest, APortFailureAsksWhetherToResend) {
  ASSERT_TRUE(links.profibus().open());
  forget();
  kelvane_.replyTimes(3, 103);
  kelvane_.reply(0, {0x42});
  ui.answer(ui::Answer::Yes);
  EXPECT_TRUE(links.profibusRead(1, 26, 5, buffer, received));
  EXPECT_EQ(buffer[0], 0x42);
  EXPECT_EQ(ui.transcript(), Lines{"message Error error yes-no: Error: Access serial port failed, resend? -> yes"});
  EXPECT_EQ(kelvane_.log(), (Lines{"C3Read 5 1 26 5", "C3Read 5 1 26 5", "C3Read 5 1 26 5", "CloseComPort",
                                   "OpenComPort 4 0 0 0 0 0 800", "C3Read 5 1 26 5"}));
  EXPECT_EQ(pauses, std::vector<int>{200});

  forget();
  kelvane_.replyTimes(3, 103);
  ui.answer(ui::Answer::No);
  EXPECT_FALSE(links.profibusWrite(1, 26, std::vector<uint8_t>{1}));
  EXPECT_FALSE(links.profibus().isOpen());
  EXPECT_EQ(ui.transcript(), Lines{"message Error error yes-no: Error: Access serial port failed, resend? -> no"})
      << "only the question";
  forget();
  kelvane_.reply(0, {1});
  EXPECT_TRUE(links.profibusRead(1, 26, 1, buffer, received)) << "the next operation reopens";
  EXPECT_EQ(kelvane_.log(), (Lines{"CloseComPort", "OpenComPort 4 0 0 0 0 0 800", "C3Read 5 1 26 1"}));

  forget();
  kelvane_.replyTimes(3, 103);
  kelvane_.setOpenResult(0);
  ui.answer(ui::Answer::Yes);
  EXPECT_FALSE(links.profibusRead(1, 26, 1, buffer, received));
  EXPECT_EQ(ui.transcript().back(), "message  none ok: Error: Open COM4 failed!");
}

TEST_F(ProfibusLinkTest, AnOpenPortIsKeptUntilThePortNumberChanges) {
  ASSERT_TRUE(links.profibus().open());
  ASSERT_TRUE(links.profibus().open());
  setPort(9);
  ASSERT_TRUE(links.profibus().open());
  EXPECT_EQ(kelvane_.log(), (Lines{"CloseComPort", "OpenComPort 4 0 0 0 0 0 800", "CloseComPort",
                                   "OpenComPort 9 0 0 0 0 0 800"}));
  EXPECT_EQ(links.heldPort(CommunicationType::Profibus), 9);
  EXPECT_EQ(links.heldPort(CommunicationType::Modbus), 0);

  kelvane_.setOpenResult(0);
  setPort(11);
  EXPECT_FALSE(links.profibus().open());
  EXPECT_FALSE(links.profibus().isOpen());
  EXPECT_EQ(ui.transcript(), Lines{"message  none ok: Error: Open COM11 failed!"});
}

TEST_F(ProfibusLinkTest, PresenceAsksWithAShortTimeout) {
  links.profibus().setResponseTimeout(1000);
  kelvane_.reply(0);
  kelvane_.reply(15);
  EXPECT_TRUE(links.profibus().devicePresent(7));
  EXPECT_FALSE(links.profibus().devicePresent(8));
  EXPECT_EQ(kelvane_.log(), (Lines{"SetRespondOutTime 120", "GetSlaveStatus 7", "SetRespondOutTime 1000",
                                   "SetRespondOutTime 120", "GetSlaveStatus 8", "SetRespondOutTime 1000"}));
}

TEST_F(ProfibusLinkTest, EveryTransferGoesToTheSessionsBusAddress) {
  links.setBusAddress(44);
  kelvane_.reply(0, {1});
  ASSERT_TRUE(links.profibusRead(0, 24, 16, buffer, received));
  ASSERT_TRUE(links.profibusWrite(0, 18, std::vector<uint8_t>{0x50, 0x54}));
  EXPECT_EQ(kelvane_.log()[2], "C3Read 44 0 24 16");
  EXPECT_EQ(kelvane_.log()[3], "C3Write 44 0 18 50 54");
}

TEST_F(ProfibusLinkTest, MoreDataThanTheDriverCanTakeIsRefusedBeforeSending) {
  EXPECT_FALSE(links.profibusWrite(1, 1, std::vector<uint8_t>(256, 0)));
  EXPECT_EQ(ui.errors(), Lines{"Error: SLOT: 0x01, INDEX: 0x01; Invalid parameter in request(from local)"});
  EXPECT_EQ(kelvane_.log(), (Lines{"CloseComPort", "OpenComPort 4 0 0 0 0 0 800"}));
}

using ModbusLinkTest = LinkTest;

TEST_F(ModbusLinkTest, OpensWithTheLineSettingsAndKeepsThemOnTheSamePort) {
  ASSERT_TRUE(links.modbus().open());
  folder.write("com.ini", "[COMMUNICATION]\nPORT=4\nBANDRATE=600\nDATABITS=7\nPARITY=3\nSTOPBITS=2\nFLOWCTRL=2\n");
  ASSERT_TRUE(links.modbus().open()) << "same port: the old baud rate stays";
  folder.write("com.ini", "[COMMUNICATION]\nPORT=5\nBANDRATE=600\nDATABITS=7\nPARITY=3\nSTOPBITS=2\nFLOWCTRL=2\n");
  ASSERT_TRUE(links.modbus().open());
  EXPECT_EQ(ostrelle_.log(), (Lines{"CloseComPort", "OpenComPort 4 19200 2 8 0 0 1000", "CloseComPort",
                                    "OpenComPort 5 600 3 7 2 2 1000"}));
  EXPECT_EQ(links.heldPort(CommunicationType::Modbus), 5);
  EXPECT_TRUE(pauses.empty()) << "no rest for the Modbus port";

  ostrelle_.setOpenResult(0);
  links.modbus().close();
  EXPECT_FALSE(links.modbus().open());
  EXPECT_EQ(ui.errors(), Lines{"Error: Failed to open the serial port!"});
}

TEST_F(ModbusLinkTest, FailuresShowTheReadOrTheWriteText) {
  ostrelle_.replyTimes(3, 2);
  EXPECT_FALSE(links.modbusRead(3, 0x0100, 4, buffer, received));
  ostrelle_.replyTimes(3, 2);
  EXPECT_FALSE(links.modbusWrite(16, 0x0100, std::vector<uint8_t>{0, 1, 0, 2}));
  EXPECT_EQ(ui.transcript(), (Lines{"message Error error ok: Error: Register address error",
                                    "message Error error ok: Comm Failure: Register address error!"}));
  EXPECT_EQ(ostrelle_.log(),
            (Lines{"CloseComPort", "OpenComPort 4 19200 2 8 0 0 1000", "Mb_Read 5 3 0x0100 4", "Mb_Read 5 3 0x0100 4",
                   "Mb_Read 5 3 0x0100 4", "Mb_Write 5 16 0x0100 00 01 00 02", "Mb_Write 5 16 0x0100 00 01 00 02",
                   "Mb_Write 5 16 0x0100 00 01 00 02"}));

  forget();
  ostrelle_.reply(25);
  ostrelle_.reply(0, {0x12, 0x34});
  EXPECT_TRUE(links.modbusRead(3, 0, 2, buffer, received));
  EXPECT_EQ(received, 2u);
  EXPECT_TRUE(ui.transcript().empty());
}

TEST_F(ModbusLinkTest, AnAbnormalPortIsReopenedByTheNextTransfer) {
  ostrelle_.replyTimes(3, 23);
  EXPECT_FALSE(links.modbusRead(3, 0, 2, buffer, received));
  EXPECT_EQ(ui.errors(), Lines{"Error: Serial port is abnormal!"});
  EXPECT_FALSE(links.modbus().isOpen());
  forget();
  EXPECT_TRUE(links.modbusWrite(6, 1, std::vector<uint8_t>{0, 7}));
  EXPECT_EQ(ostrelle_.log(), (Lines{"CloseComPort", "OpenComPort 4 19200 2 8 0 0 1000", "Mb_Write 5 6 0x0001 00 07"}));
}

TEST_F(ModbusLinkTest, IdentityProbeTriesOnceWithAShortTimeout) {
  std::array<uint8_t, 8> identity{};
  ostrelle_.reply(0, {0x00, 0x17, 0x0A, 0x01, 0x00, 0x00, 0x01, 0x02});
  EXPECT_TRUE(links.modbus().identityProbe(identity));
  EXPECT_EQ(identity, (std::array<uint8_t, 8>{0x00, 0x17, 0x0A, 0x01, 0x00, 0x00, 0x01, 0x02}));
  ostrelle_.reply(25);
  EXPECT_FALSE(links.modbus().identityProbe(identity));
  ostrelle_.reply(0, {0x00, 0x17});
  EXPECT_FALSE(links.modbus().identityProbe(identity)) << "a short reply identifies nothing";
  EXPECT_EQ(identity, (std::array<uint8_t, 8>{}));
  EXPECT_EQ(links.modbus().attempts(), 3);
  EXPECT_EQ(ostrelle_.log(), (Lines{"SetRespondOutTime 320", "Mb_Read 5 4 0x8000 8", "SetRespondOutTime 1000",
                                    "SetRespondOutTime 320", "Mb_Read 5 4 0x8000 8", "SetRespondOutTime 1000",
                                    "SetRespondOutTime 320", "Mb_Read 5 4 0x8000 8", "SetRespondOutTime 1000"}));
  EXPECT_TRUE(ui.transcript().empty());
}

class IncompleteDriverTest : public LinkTest {
 protected:
  IncompleteDriverTest() : LinkTest(kFakeKelvanePartial, kFakeOstrellePartial) {}
};

TEST_F(IncompleteDriverTest, AMissingFunctionIsNeverCalledAndNamed) {
  EXPECT_FALSE(links.profibusWrite(1, 26, std::vector<uint8_t>{1}));
  EXPECT_FALSE(links.profibus().devicePresent(5));
  uint8_t status = 0;
  EXPECT_FALSE(links.profibus().quietWrite(1, 26, std::vector<uint8_t>{1}, status));
  EXPECT_EQ(status, ProfibusLink::kRefusedLocally);
  kelvane_.reply(0, {9});
  EXPECT_TRUE(links.profibusRead(1, 26, 1, buffer, received)) << "what is there works";
  EXPECT_FALSE(links.modbusWrite(6, 1, std::vector<uint8_t>{0, 1}));
  std::array<uint8_t, 8> identity{};
  EXPECT_FALSE(links.modbus().identityProbe(identity));
  ASSERT_TRUE(links.modbus().open());
  links.modbus().close();
  EXPECT_EQ(ui.errors(), (Lines{"Error: The driver library has no function C3Write!",
                                "Error: The driver library has no function SetRespondOutTime!",
                                "Error: The driver library has no function C3Write!",
                                "Error: The driver library has no function Mb_Write!",
                                "Error: The driver library has no function SetRespondOutTime!",
                                "Error: The driver library has no function CloseComPort!"}));
  EXPECT_EQ(kelvane_.log(), (Lines{"CloseComPort", "OpenComPort 4 0 0 0 0 0 800", "C3Read 5 1 26 1"}));
  EXPECT_EQ(ostrelle_.log(), (Lines{"OpenComPort 4 19200 2 8 0 0 1000"}));
}

TEST(LinkBinding, MissingOrBrokenLibrariesAreReportedModbusFirst) {
  TestProgramFolder folder;
  ui::FakeUserInterface ui;
  {
    DeviceLinks links(folder.files(), ui);
    links.bind();
    EXPECT_FALSE(links.modbus().isBound());
    EXPECT_FALSE(links.profibus().isBound());
  }
  folder.write("Driver/Kelvane.so", "not a library");
  folder.write("Driver/Ostrelle.so", "not a library");
  {
    DeviceLinks links(folder.files(), ui);
    links.bind();
    size_t received = 0;
    std::array<uint8_t, 4> buffer{};
    EXPECT_FALSE(links.profibusRead(1, 1, 1, buffer, received)) << "an unbound link fails cleanly";
  }
  folder.linkDriver("Ostrelle", kFakeOstrelle);
  {
    DeviceLinks links(folder.files(), ui);
    links.bind();
    EXPECT_TRUE(links.modbus().isBound()) << "bound, though com.ini is missing";
  }
  EXPECT_EQ(ui.errors(), (Lines{"Error: Cannot find the Modbus.dll file!",
                                "Error: Couldn't find PA communication library!",
                                "Error: Failed to initialize Modbus library!!",
                                "Error: Initialize PA communication library failed!",
                                "Error: The driver library has no function C3Read!",
                                "Error: Cannot find Modbus configuration file!",
                                "Error: Initialize PA communication library failed!"}));
}

}  // namespace
}  // namespace tavrin::app
