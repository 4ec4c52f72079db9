// The polling worker and the address setting over scripted drivers.
#include "app/polling.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/links.h"
#include "program_folder.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using testing::FakeDriver;
using testing::kFakeKelvane;
using testing::kFakeOstrelle;
using testing::TestProgramFolder;
using Lines = std::vector<std::string>;

std::vector<uint8_t> text(const std::string& s, size_t size) {
  std::vector<uint8_t> out(s.begin(), s.end());
  out.resize(size, 0);
  return out;
}

class Polling : public ::testing::Test {
 protected:
  Polling() {
    folder.linkDriver("Kelvane", kFakeKelvane);
    folder.linkDriver("Ostrelle", kFakeOstrelle);
    folder.write("com.ini", "[COMMUNICATION]\nPORT=4\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\n"
                            "[PROFIBUS_ADDR]\nADDRESS=9\n");
    kelvane.reset();
    ostrelle.reset();
    links.setPause([](std::chrono::milliseconds) {});
    links.bind();
    poller.setObserver({[this](std::string_view s) { statuses.emplace_back(s); },
                        [this](int position, int range) {
                          progress.push_back(std::to_string(position) + "/" + std::to_string(range));
                        },
                        {}});
  }
  Lines reads(const FakeDriver& driver) const {
    Lines out;
    for (const auto& line : driver.log())
      if (line.rfind("Open", 0) != 0 && line.rfind("Close", 0) != 0 && line.rfind("Set", 0) != 0) out.push_back(line);
    return out;
  }

  TestProgramFolder folder;
  ui::FakeUserInterface ui;
  FakeDriver kelvane{kFakeKelvane};
  FakeDriver ostrelle{kFakeOstrelle};
  DeviceLinks links{folder.files(), ui};
  Poller poller{links, folder.files(), ui};
  Lines statuses, progress;
};

TEST_F(Polling, ProfibusListsOnlyStationsThatAnswerEveryIdentificationRead) {
  kelvane.reply(0);  // station 5 is there
  kelvane.reply(0, {0x01, 0x72});
  kelvane.reply(0, text("PTX 3100", 16));
  kelvane.reply(0, text("PT-PA-01", 32));
  kelvane.reply(0, text("PA2306-0005", 16));
  kelvane.reply(15);  // station 6 is not
  kelvane.reply(0);   // station 7 answers, but not its device name
  kelvane.reply(0, {0x01, 0x72});
  kelvane.replyTimes(3, 15);
  ASSERT_TRUE(poller.start(CommunicationType::Profibus, {"5", " 7"}));
  poller.wait();
  EXPECT_FALSE(poller.running());
  ASSERT_EQ(poller.devices().size(), 1u);
  EXPECT_EQ(poller.devices()[0].texts, (Lines{"5", "PT-PA-01", "PA2306-0005", "0x0172", "PTX 3100"}));
  EXPECT_EQ(reads(kelvane), (Lines{"GetSlaveStatus 5", "C3Read 5 0 26 2", "C3Read 5 0 27 16", "C3Read 5 0 18 32",
                                   "C3Read 5 0 28 16", "GetSlaveStatus 6", "GetSlaveStatus 7", "C3Read 7 0 26 2",
                                   "C3Read 7 0 27 16", "C3Read 7 0 27 16", "C3Read 7 0 27 16"}));
  EXPECT_EQ(statuses, (Lines{"Polling address 5... ...", "Polling address 6... ...", "Polling address 7... ...", ""}));
  EXPECT_EQ(progress, (Lines{"0/3", "1/3", "2/3", "3/3", "0/3"}));
  EXPECT_EQ(links.busAddress(), 7) << "left at the last address polled";
  EXPECT_TRUE(ui.messages().empty()) << "silent stations say nothing";
  EXPECT_EQ(readPollRange(folder.comIni()).start, "5");
  EXPECT_EQ(readPollRange(folder.comIni()).end, "7") << "stored as typed, trimmed by the key file";

  EXPECT_EQ(poller.choose(CommunicationType::Profibus, 0, {"5", "7"}), 5);
  EXPECT_EQ(readBusAddress(folder.comIni(), CommunicationType::Profibus), 5);
  EXPECT_EQ(poller.choose(CommunicationType::Profibus, 1, {"5", "7"}), std::nullopt);
  EXPECT_EQ(ui.errors(), Lines{"Error: Please select the transmitter!"});
}

TEST_F(Polling, ModbusShowsTheIdentityWordsAndOneAddressPollsOnce) {
  ostrelle.reply(0, {0x00, 0x17, 0x0A, 0x01, 0x00, 0x00, 0x01, 0x02});
  ASSERT_TRUE(poller.start(CommunicationType::Modbus, {"1", "1"}));
  poller.wait();
  ASSERT_EQ(poller.devices().size(), 1u);
  EXPECT_EQ(poller.devices()[0].texts, (Lines{"1", "0x0017", "0x0A01", "0x0102"}));
  EXPECT_EQ(reads(ostrelle), Lines{"Mb_Read 1 4 0x8000 8"});
  EXPECT_EQ(progress, (Lines{"0/1", "1/1", "0/1"}));
}

TEST_F(Polling, StopEndsAfterTheAddressInProgress) {
  kelvane.replyTimes(10, 15);
  poller.setObserver({[this](std::string_view) { poller.stop(); }, {}, {}});
  ASSERT_TRUE(poller.start(CommunicationType::Profibus, {"20", "29"}));
  poller.wait();
  EXPECT_EQ(reads(kelvane), Lines{"GetSlaveStatus 20"});
}

TEST_F(Polling, RangesOutsideOneByteOrBackwardsAreRefused) {
  const auto before = folder.read("com.ini");
  for (const PollRange& r : {PollRange{"10", "3"}, PollRange{"0", "256"}, PollRange{"-1", "3"},
                             PollRange{"abc", "3"}, PollRange{"", "3"}}) {
    EXPECT_FALSE(poller.start(CommunicationType::Profibus, r)) << r.start << " " << r.end;
  }
  EXPECT_FALSE(poller.start(CommunicationType::None, {"1", "2"}));
  EXPECT_FALSE(poller.running());
  const std::string range = "Error: The address range error,please input between 0~255!";
  EXPECT_EQ(ui.errors(), (Lines{"Error: The starting address couldn't larger than the ending address!", range, range,
                                range, range, "Error: The Port Type error!"}));
  EXPECT_EQ(folder.read("com.ini"), before);
  EXPECT_TRUE(reads(kelvane).empty());
}

TEST_F(Polling, TheAddressSettingTakesOnlyADecimalByte) {
  EXPECT_EQ(storedAddressText(folder.files(), CommunicationType::Profibus, ui), "9");
  EXPECT_EQ(storedAddressText(folder.files(), CommunicationType::None, ui), std::nullopt);
  EXPECT_EQ(addressFromText(" 17 ", ui), 17);
  EXPECT_EQ(addressFromText("0", ui), 0);
  EXPECT_EQ(addressFromText("255", ui), 255);
  for (const char* refused : {"  ", "256", "-1", "abc", "0x10", "12abc"}) EXPECT_EQ(addressFromText(refused, ui), std::nullopt);
  const std::string range = "Error: Address range is: 0 ~ 255!";
  EXPECT_EQ(ui.errors(), (Lines{"Error: Communication type incorrect!", "Error: The address can't be NULL!", range,
                                range, range, range, range}));
}

}  // namespace
}  // namespace tavrin::app
