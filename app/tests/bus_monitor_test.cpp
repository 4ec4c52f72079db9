// The bus monitor: the queue the drivers' threads fill, the decoded lines,
// and the frames of both real drivers against tavrin-sim's own trace, with
// the faults it injects.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "app/bus_monitor.h"
#include "app/frame_format.h"
#include "app/links.h"
#include "program_folder.h"
#include "testing/pty_pair.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;
using tavrin::testing::hex;
using tavrin::testing::unhex;

MonitorFrame frame(Bus bus, FrameDirection d, FrameOutcome o, const std::string& bytes) {
  return {bus, d, o, Clock::time_point{}, unhex(bytes)};
}

TEST(FrameQueue, KeepsOrderSplitsLongRunsAndDropsInsteadOfWaiting) {
  FrameQueue queue(4);
  const auto t = Clock::now();
  const std::vector<uint8_t> noise(FrameQueue::kSlotBytes + 10, 0xFF);
  EXPECT_TRUE(queue.push(Bus::Modbus, FrameDirection::Sent, FrameOutcome::Sent, t, unhex("01 03")));
  EXPECT_TRUE(queue.push(Bus::Modbus, FrameDirection::Received, FrameOutcome::Discarded, t, noise));
  EXPECT_TRUE(queue.push(Bus::Profibus, FrameDirection::Received, FrameOutcome::TimedOut, t, {}));
  // Full: the producer is told at once, nothing waits for the consumer.
  EXPECT_FALSE(queue.push(Bus::Modbus, FrameDirection::Sent, FrameOutcome::Sent, t, unhex("02")));
  EXPECT_EQ(queue.dropped(), 1u);

  auto frames = queue.take();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(hex(frames[0].bytes), "01 03");
  EXPECT_EQ(frames[1].bytes.size() + frames[2].bytes.size(), noise.size()) << "pieces, no byte lost";
  EXPECT_EQ(frames[2].outcome, FrameOutcome::Discarded);
  EXPECT_EQ(frames[3].bus, Bus::Profibus);
  EXPECT_TRUE(frames[3].bytes.empty());
  EXPECT_TRUE(queue.take().empty());
  EXPECT_TRUE(queue.push(Bus::Modbus, FrameDirection::Sent, FrameOutcome::Sent, t, unhex("03")));
  EXPECT_EQ(queue.take().size(), 1u) << "the ring is usable again after it wrapped";
}

TEST(FrameQueue, ManyProducersLoseNothingThatFits) {
  FrameQueue queue(8000);
  std::vector<std::thread> producers;
  for (int p = 0; p < 4; ++p)
    producers.emplace_back([&queue, p] {
      for (int i = 0; i < 1000; ++i)
        queue.push(Bus::Modbus, FrameDirection::Sent, FrameOutcome::Sent, Clock::now(),
                   std::vector<uint8_t>{static_cast<uint8_t>(p), static_cast<uint8_t>(i & 0xFF)});
    });
  size_t taken = 0;
  while (taken < 4000) {
    queue.waitFor(std::chrono::milliseconds(100));
    taken += queue.take().size();
  }
  for (auto& t : producers) t.join();
  EXPECT_EQ(taken, 4000u);
  EXPECT_EQ(queue.dropped(), 0u);
}

TEST(FrameDecoder, ModbusRequestsRepliesExceptionsAndTimeOuts) {
  FrameDecoder d;
  auto line = [&](const MonitorFrame& f) {
    const FrameDecoding x = d.decode(f);
    return (x.address ? std::to_string(*x.address) : "-") + " " + x.summary;
  };
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Sent, FrameOutcome::Sent, "01 03 00 00 00 02 C4 0B")),
            "1 Read holding registers 0x0000, count 2");
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Received, FrameOutcome::Reply, "01 03 04 00 0A 00 0B 9B F6")),
            "1 Read holding registers reply, 4 bytes");
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Received, FrameOutcome::Reply, "01 83 02 C0 F1")),
            "1 Exception 2 (illegal data address) to Read holding registers");
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Received, FrameOutcome::CrcError, "01 03 04 00 0A 00 0B 64 09")),
            "1 CRC error: Read holding registers reply, 4 bytes");
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Sent, FrameOutcome::Sent, "07 06 00 08 00 01 C9 AE")),
            "7 Write single register 0x0008 = 0x0001");
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Received, FrameOutcome::TimedOut, "")),
            "7 No reply (time-out)") << "the station asked";
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Received, FrameOutcome::Discarded, "FF FE FD")),
            "- Discarded 3 bytes");
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Received, FrameOutcome::Discarded, "01 03 04 00 0A 00 0B 9B F6")),
            "1 Discarded: Read holding registers reply, 4 bytes") << "a late reply says what it was";
  EXPECT_EQ(line(frame(Bus::Modbus, FrameDirection::Sent, FrameOutcome::Sent, "01 10 00 10 00 02 04 00 01 00 02 00 00")),
            "1 Write multiple registers 0x0010, count 2, 4 bytes, CRC wrong");
}

TEST(FrameDecoder, ProfibusServicesAndNegativeReplies) {
  FrameDecoder d;
  auto summary = [&](FrameDirection dir, FrameOutcome o, const std::string& bytes) {
    const FrameDecoding x = d.decode(frame(Bus::Profibus, dir, o, bytes));
    return (x.address ? std::to_string(*x.address) : "-") + " " + x.summary;
  };
  EXPECT_EQ(summary(FrameDirection::Sent, FrameOutcome::Sent, "68 09 09 68 85 81 44 00 00 5E 01 10 14 F1 0E"),
            "5 Read slot 1, index 16, length 20");
  EXPECT_EQ(summary(FrameDirection::Sent, FrameOutcome::Sent, "10 05 01 49 D4 83"), "5 Station status");
  EXPECT_EQ(summary(FrameDirection::Received, FrameOutcome::Reply, "10 01 05 00 56 74"),
            "5 Station status reply, function 0x00");
  // A negative read reply: decode 0x80, code 1 0xB6, code 2 0x00.
  std::vector<uint8_t> negative = unhex("68 0A 0A 68 81 85 08 00 00 DE 80 B6 00");
  negative.push_back(0);
  negative.push_back(0);
  const FrameDecoding n = d.decode({Bus::Profibus, FrameDirection::Received, FrameOutcome::Reply, {}, negative});
  EXPECT_EQ(n.address, 5);
  EXPECT_EQ(n.summary.substr(0, n.summary.find(", CRC")),
            "Read refused: decode 0x80, code 1 0xB6, code 2 0x00 (Access error : Access denied)");
  EXPECT_EQ(summary(FrameDirection::Received, FrameOutcome::Reply, "E5"), "5 Short acknowledge");
  // Whatever arrives decodes to a line without reading past it.
  for (const char* junk : {"68", "68 02 02 68", "68 00 00 68 00 00 00 00 00 00", "10", "68 FF FF 68 01 02 03 04 05",
                           "68 09 09 68 85 81 44 00 00 DE"})
    EXPECT_FALSE(d.decode(frame(Bus::Profibus, FrameDirection::Received, FrameOutcome::Reply, junk)).summary.empty())
        << junk;
}

TEST(FrameDecoder, LineHasTimeDirectionAddressSummaryAndBytes) {
  const auto origin = Clock::now();
  MonitorFrame f = frame(Bus::Modbus, FrameDirection::Sent, FrameOutcome::Sent, "01 03 00 00 00 02 C4 0B");
  f.at = origin + std::chrono::microseconds(350652);
  FrameDecoder d;
  EXPECT_EQ(frameLine(f, d.decode(f), origin),
            "0.350652\tTX\t1\tRead holding registers 0x0000, count 2\t01 03 00 00 00 02 C4 0B");
}

// The simulator's trace: "<seconds> request|reply|discard|fault <bytes>".
struct TraceLine {
  std::string kind;
  std::string bytes;
};
std::vector<TraceLine> simulatorTrace(const std::string& path) {
  std::vector<TraceLine> out;
  std::istringstream in(tavrin::testing::TempDir::slurp(path));
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string time, kind, rest, b;
    words >> time >> kind;
    while (words >> b) rest += (rest.empty() ? "" : " ") + b;
    out.push_back({kind, rest});
  }
  return out;
}

class MonitorAgainstSimulator : public ::testing::Test {
 protected:
  void useBus(const std::string& type, int port) {
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=" + type + "\nPORT=" + std::to_string(port) +
                                "\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n");
  }
  void start(const std::string& bus, int port, const std::string& profile, const Lines& faults = {}) {
    trace = folder.file("monitor-trace-" + std::to_string(port) + ".txt");
    Lines extra{"--trace", trace, "--no-noise"};
    for (const std::string& f : faults) extra.insert(extra.end(), {"--fault", f});
    useBus(bus == "modbus" ? "MODBUS" : "PROFIBUS", port);
    sim = std::make_unique<testing::Simulator>(bus, folder.portLink(port),
                                                TAVRIN_SOURCE_DIR "sim/profiles/" + profile, extra);
    ASSERT_TRUE(sim->ready());
    monitor.attach(links);
    links.bind();
  }
  // Everything the monitor has, once the simulator traced `lines` requests
  // and replies.
  std::vector<MonitorFrame> frames(size_t lines) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    auto traced = [&] {
      size_t n = 0;
      for (const TraceLine& t : simulatorTrace(trace)) n += t.kind == "request" || t.kind == "reply";
      return n;
    };
    while (traced() < lines && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return monitor.queue().take();
  }
  static std::string describe(const std::vector<MonitorFrame>& got) {
    std::string out;
    for (const MonitorFrame& f : got)
      out += std::to_string(static_cast<int>(f.outcome)) + ": " + hex(f.bytes) + "\n";
    return out;
  }
  void expectSameAsTrace(const std::vector<MonitorFrame>& got) {
    Lines ours, theirs;
    for (const MonitorFrame& f : got)
      ours.push_back(std::string(f.direction == FrameDirection::Sent ? "request " : "reply ") + hex(f.bytes));
    for (const TraceLine& t : simulatorTrace(trace))
      if (t.kind == "request" || t.kind == "reply") theirs.push_back(t.kind + " " + t.bytes);
    EXPECT_EQ(ours, theirs);
    for (const MonitorFrame& f : got)
      EXPECT_EQ(f.outcome, f.direction == FrameDirection::Sent ? FrameOutcome::Sent : FrameOutcome::Reply);
    for (size_t i = 1; i < got.size(); ++i) EXPECT_LE(got[i - 1].at, got[i].at) << "in time order";
  }

  testing::TestProgramFolder& folder = testing::realDrivers();
  ui::FakeUserInterface ui;
  std::unique_ptr<testing::Simulator> sim;
  DeviceLinks links{folder.files(), ui};
  BusMonitor monitor;  // after the links: it goes first and detaches
  std::string trace;
  std::array<uint8_t, 256> buffer{};
  size_t received = 0;
};

TEST_F(MonitorAgainstSimulator, ModbusFramesAreTheSimulatorsByteForByte) {
  start("modbus", 71, "modbus-pressure.ini");
  ASSERT_TRUE(monitor.supported(Bus::Modbus));
  links.setBusAddress(1);
  ASSERT_TRUE(links.modbus().open());
  std::array<uint8_t, 8> identity{};
  ASSERT_TRUE(links.modbus().identityProbe(identity));
  ASSERT_TRUE(links.modbusRead(3, 0, 4, buffer, received));
  ASSERT_TRUE(links.modbusRead(3, 0x10, 16, buffer, received));
  expectSameAsTrace(frames(6));
}

TEST_F(MonitorAgainstSimulator, ProfibusFramesAreTheSimulatorsByteForByte) {
  start("profibus", 72, "profibus-pressure.ini");
  ASSERT_TRUE(monitor.supported(Bus::Profibus));
  ASSERT_TRUE(links.profibus().open());
  ASSERT_TRUE(links.profibus().devicePresent(5));
  links.setBusAddress(5);
  ASSERT_TRUE(links.profibusRead(0, 79, 8, buffer, received));
  ASSERT_TRUE(links.profibusRead(0, 24, 16, buffer, received));
  expectSameAsTrace(frames(6));
}

TEST_F(MonitorAgainstSimulator, ModbusFaultsShowWithTheirOutcome) {
  start("modbus", 73, "modbus-pressure.ini", {"no-reply,register=8,count=1", "bad-crc,register=9,count=1"});
  links.setBusAddress(1);
  links.modbus().setAttempts(1);
  ASSERT_TRUE(links.modbus().open());
  uint8_t status = 0;
  EXPECT_FALSE(links.modbus().quietRead(3, 8, 2, buffer, received, status));
  EXPECT_EQ(status, 25);
  EXPECT_FALSE(links.modbus().quietRead(3, 9, 2, buffer, received, status));
  EXPECT_EQ(status, 20);
  std::vector<MonitorFrame> got = frames(3);
  ASSERT_EQ(got.size(), 4u) << describe(got);
  EXPECT_EQ(got[1].outcome, FrameOutcome::TimedOut);
  EXPECT_TRUE(got[1].bytes.empty());
  EXPECT_EQ(got[3].outcome, FrameOutcome::CrcError);
  const auto trace = simulatorTrace(this->trace);
  EXPECT_EQ(hex(got[3].bytes), trace.back().bytes) << "the broken reply as it went out";
  FrameDecoder d;
  for (const MonitorFrame& f : got) d.decode(f);
  EXPECT_EQ(d.decode(got[1]).summary, "No reply (time-out)");
}

TEST_F(MonitorAgainstSimulator, ProfibusFaultsShowWithTheirOutcome) {
  start("profibus", 74, "profibus-pressure.ini",
        {"negative=B0,slot=1,index=26,count=1", "no-reply,slot=1,index=27,count=1", "bad-crc,slot=1,index=26,after=1,count=1"});
  links.profibus().setAttempts(1);
  ASSERT_TRUE(links.profibus().open());
  links.setBusAddress(5);
  uint8_t status = 0;
  EXPECT_FALSE(links.profibus().quietRead(1, 26, 5, buffer, received, status));
  EXPECT_EQ(status, 9);
  EXPECT_FALSE(links.profibus().quietRead(1, 27, 5, buffer, received, status));
  EXPECT_EQ(status, 15);
  EXPECT_FALSE(links.profibus().quietRead(1, 26, 5, buffer, received, status));
  std::vector<MonitorFrame> got = frames(5);
  // The broken reply, then the wait for a good one runs out.
  ASSERT_EQ(got.size(), 7u) << describe(got);
  FrameDecoder d;
  std::vector<std::string> summaries;
  for (const MonitorFrame& f : got) summaries.push_back(d.decode(f).summary);
  EXPECT_EQ(got[1].outcome, FrameOutcome::Reply);
  EXPECT_EQ(summaries[1], "Read refused: decode 0x80, code 1 0xB0, code 2 0x00 (Access error : Invalid index)");
  EXPECT_EQ(got[3].outcome, FrameOutcome::TimedOut);
  EXPECT_EQ(got[5].outcome, FrameOutcome::CrcError);
  EXPECT_EQ(summaries[5].rfind("CRC error: Read reply, slot 1, index 26, length 5", 0), 0u) << summaries[5];
  EXPECT_EQ(got[6].outcome, FrameOutcome::TimedOut);
}

TEST(MonitorWithoutTheExport, LinksOfTheOriginalExportListStillWork) {
  testing::TestProgramFolder folder;
  folder.linkDriver("Kelvane", testing::kFakeKelvane);
  folder.linkDriver("Ostrelle", testing::kFakeOstrelle);
  folder.write("com.ini", "[COMMUNICATION]\nTYPE=PROFIBUS\nPORT=3\n");
  testing::FakeDriver kelvane(testing::kFakeKelvane);
  kelvane.reset();
  ui::FakeUserInterface ui;
  DeviceLinks links(folder.files(), ui);
  BusMonitor monitor;
  monitor.attach(links);
  links.bind();
  EXPECT_FALSE(monitor.supported(Bus::Profibus));
  EXPECT_FALSE(monitor.supported(Bus::Modbus));
  kelvane.reply(0, {1, 2, 3});
  std::array<uint8_t, 16> buffer{};
  size_t received = 0;
  EXPECT_TRUE(links.profibusRead(1, 2, 3, buffer, received));
  EXPECT_EQ(received, 3u);
  EXPECT_TRUE(ui.errors().empty());
  EXPECT_TRUE(monitor.queue().take().empty());
}

}  // namespace
}  // namespace tavrin::app
