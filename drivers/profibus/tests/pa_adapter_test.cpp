#include "kelvane/pa_adapter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <mutex>

#include "adapter_peer.h"
#include "kelvane/runtime_exception.h"
#include "port_gate.h"
#include "testing/pty_pair.h"
#include "testing/temp_dir.h"

namespace tavrin::kelvane {
namespace {

using namespace std::chrono_literals;
using tavrin::kelvane::testing::AdapterPeer;
using tavrin::kelvane::testing::framed;
using tavrin::kelvane::testing::say;
using tavrin::kelvane::testing::PortGate;
using tavrin::testing::hex;
using tavrin::testing::PtyPair;
using tavrin::testing::TempDir;
using tavrin::testing::unhex;

constexpr int kPort = 7;

std::string shown(const Payload& p) { return hex({p.bytes.begin(), p.bytes.begin() + p.size}); }
const std::vector<uint8_t> kStatusRequest = unhex("10 05 01 49 D4 83");

class PaAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(folder.file("ports"));
    std::filesystem::create_symlink(pty.slavePath(), folder.file("ports/COM7"));
  }
  bool open(int responseTimeoutMs = 1000) { return adapter.open(folder.path(), kPort, 0, responseTimeoutMs); }
  std::array<uint32_t, kCounterCount> counters(uint32_t written, uint32_t late, uint32_t ok, uint32_t waits,
                                               uint32_t failed) {
    return {written, late, ok, waits, 0, failed};
  }

  TempDir folder;
  PtyPair pty;
  PaAdapter adapter;
};

TEST_F(PaAdapterTest, OpenRunsTheFixedLineAndLimitsTheResponseTimeout) {
  ASSERT_TRUE(adapter.open(folder.path(), kPort, 0, 50));
  EXPECT_EQ(adapter.responseTimeout(), 1000ms);
  termios t{};
  ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B38400);
  ASSERT_TRUE(adapter.open(folder.path(), kPort, 0, 5000));
  EXPECT_EQ(adapter.responseTimeout(), 3000ms);
  EXPECT_EQ(adapter.setResponseTimeout(99), 1000ms);
  EXPECT_EQ(adapter.setResponseTimeout(100), 100ms);
  EXPECT_EQ(adapter.setResponseTimeout(3001), 3000ms);
}

TEST_F(PaAdapterTest, ALateWriteGivesFourteenAndBlocksTheNextRequest) {
  ASSERT_TRUE(open());
  AdapterPeer peer(pty.master(), [](const auto&) { return say(unhex("10 01 05 00 56 74")); });
  {
    PortGate held(pty.slavePath(), PortGate::Mode::HoldWrites);
    EXPECT_EQ(adapter.stationStatus(5), Status::SendTimeout);
    EXPECT_EQ(adapter.counters(), counters(1, 1, 0, 0, 1));
    EXPECT_EQ(adapter.stationStatus(5), Status::NotSent) << "the first write is still in flight";
    EXPECT_EQ(adapter.counters(), counters(2, 1, 0, 0, 2));
  }
  ASSERT_TRUE(peer.waitForRequests(1));
  // The held request goes out late; its reply belongs to no transaction.
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (adapter.port().busy() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(adapter.stationStatus(5), Status::Ok);
  EXPECT_EQ(peer.requests().size(), 2u);
  EXPECT_EQ(peer.requests()[0], kStatusRequest);
}

TEST_F(PaAdapterTest, AFailedWriteIsAPortFailure) {
  ASSERT_TRUE(open());
  {
    PortGate failing(pty.slavePath(), PortGate::Mode::FailWrites, EIO);
    EXPECT_EQ(adapter.stationStatus(5), Status::PortFailure);
    EXPECT_EQ(adapter.counters(), counters(1, 0, 0, 0, 1));
  }
  AdapterPeer peer(pty.master(), [](const auto&) { return say(unhex("10 01 05 00 56 74")); });
  EXPECT_EQ(adapter.stationStatus(5), Status::Ok) << "the port itself is still there";
}

TEST_F(PaAdapterTest, AFailedWaitOfTheIoThreadIsAPortFailure) {
  ASSERT_TRUE(open(3000));
  AdapterPeer peer(pty.master(), nullptr);
  auto status = std::async(std::launch::async, [&] { return adapter.stationStatus(5); });
  ASSERT_TRUE(peer.waitForRequests(1));
  {
    PortGate failing(pty.slavePath(), PortGate::Mode::FailWaits, EINVAL);
    pty.send({0x00});  // the I/O thread takes it and waits anew
    ASSERT_TRUE(failing.waitForCall(10000));
    ASSERT_EQ(status.wait_for(10s), std::future_status::ready);
  }
  EXPECT_EQ(status.get(), Status::PortFailure) << "at once, not after the response time-out";
  EXPECT_TRUE(adapter.port().portLost());
  EXPECT_EQ(adapter.port().lastReportedError(), systemErrorText(EINVAL));
  EXPECT_EQ(adapter.stationStatus(5), Status::PortFailure) << "until the port is reopened";
  adapter.close();
  ASSERT_TRUE(open());
  EXPECT_FALSE(adapter.port().portLost());
}

TEST_F(PaAdapterTest, TheLongestReplyThatFitsIsHandedBackWhole) {
  ASSERT_TRUE(open());
  std::string reply = "68 F4 F4 68 81 85 08 00 00 5E 01 10 EB";
  for (int i = 0; i < 235; ++i) reply += " 4" + std::to_string(i % 10);
  AdapterPeer peer(pty.master(), [&](const auto&) { return say(framed(reply)); });
  Payload data;
  EXPECT_EQ(adapter.read(5, 1, 0x10, 235, data), Status::Ok);
  ASSERT_EQ(data.size, 235);
  EXPECT_EQ(data.bytes[234], 0x44);
}

// A late reply to an earlier request and the reply to this one arrive back
// to back, as an adapter that answers in turn sends them.
TEST_F(PaAdapterTest, ALateReplyToAnotherRequestIsNeverTakenForData) {
  ASSERT_TRUE(open());
  const auto damping = framed("68 0D 0D 68 81 85 08 00 00 5E 01 24 04 3F 00 00 00");
  const auto unit = framed("68 0B 0B 68 81 85 08 00 00 5E 01 6A 02 04 6D");
  const auto older = framed("68 0D 0D 68 81 85 08 00 00 5E 01 24 04 3F 80 00 00");
  std::mutex mutex;
  std::vector<uint8_t> answer;
  auto answerWith = [&](std::initializer_list<std::vector<uint8_t>> parts) {
    std::lock_guard lock(mutex);
    answer.clear();
    for (const auto& p : parts) answer.insert(answer.end(), p.begin(), p.end());
  };
  AdapterPeer peer(pty.master(), [&](const auto&) {
    std::lock_guard lock(mutex);
    return say(answer);
  });
  Payload data;

  answerWith({damping, unit});
  EXPECT_EQ(adapter.read(5, 1, 0x6A, 2, data), Status::Ok);
  EXPECT_EQ(shown(data), "04 6D");

  answerWith({damping});
  EXPECT_EQ(adapter.read(5, 1, 0x6A, 2, data), Status::BadReply) << "alone, a failure, never data";
  EXPECT_EQ(data.size, 0);
  EXPECT_EQ(adapter.read(5, 3, 0x20, 4, data), Status::BadReply) << "another slot";

  // Two replies to this very index that differ: which one is ours cannot be
  // told. Two that are equal tell the same.
  answerWith({older, damping});
  EXPECT_EQ(adapter.read(5, 1, 0x24, 4, data), Status::BadReply);
  answerWith({damping, damping});
  EXPECT_EQ(adapter.read(5, 1, 0x24, 4, data), Status::Ok);
  EXPECT_EQ(shown(data), "3F 00 00 00");

  // A write's echo must name the slot and index written.
  answerWith({framed("68 09 09 68 81 85 08 00 00 5F 01 24 04")});
  const std::vector<uint8_t> value{0x40, 0, 0, 0};
  EXPECT_EQ(adapter.write(5, 1, 0x20, value, data), Status::BadReply);
  EXPECT_EQ(adapter.write(5, 1, 0x24, value, data), Status::Ok);
}

// Whatever arrived before a request was sent belongs to no transaction,
// also bytes the port is still collecting into a reception.
TEST_F(PaAdapterTest, BytesWaitingBeforeTheRequestAreDiscarded) {
  ASSERT_TRUE(open());
  const auto stale = framed("68 0D 0D 68 81 85 08 00 00 5E 01 24 04 3F 80 00 00");
  AdapterPeer peer(pty.master(),
                   [](const auto&) { return say(framed("68 0D 0D 68 81 85 08 00 00 5E 01 24 04 3F 00 00 00")); });
  pty.send(stale);  // half a read interval before the request
  std::this_thread::sleep_for(20ms);
  Payload data;
  EXPECT_EQ(adapter.read(5, 1, 0x24, 4, data), Status::Ok);
  EXPECT_EQ(shown(data), "3F 00 00 00");
}

TEST_F(PaAdapterTest, ModifyNeedsTheIdentNumberInTheDiagnosis) {
  ASSERT_TRUE(open());
  AdapterPeer peer(pty.master(), [](const auto&) { return say(framed("68 09 09 68 81 85 08 3E 3C 00 0C 00 02")); });
  EXPECT_EQ(adapter.modifySlaveAddress(5, 9), Status::BadReply);
  EXPECT_EQ(peer.requests().size(), 1u) << "nothing more is sent";
}

TEST_F(PaAdapterTest, RequestsBeforeOpenFailAsPortFailures) {
  EXPECT_EQ(adapter.stationStatus(5), Status::PortFailure);
  Payload data;
  std::vector<uint8_t> tooMuch(247, 1);
  EXPECT_EQ(adapter.write(5, 1, 1, tooMuch, data), Status::InvalidRequest);
  EXPECT_EQ(adapter.counters(), counters(1, 0, 0, 0, 1)) << "the refused write never started";
}

}  // namespace
}  // namespace tavrin::kelvane
