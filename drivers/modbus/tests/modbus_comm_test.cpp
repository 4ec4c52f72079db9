#include "my_modbus_comm.h"

#include <sys/prctl.h>
#include <termios.h>
#include <time.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "test_frames.h"
#include "testing/temp_dir.h"

namespace tavrin::ostrelle {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using tavrin::testing::hex;
using tavrin::testing::PtyPair;
using tavrin::testing::unhex;

const std::vector<uint8_t> kReadTwo = unhex("01 03 00 00 00 02 C4 0B");
const std::vector<uint8_t> kTwoRegisters = unhex("01 03 04 00 0A 00 0B 9B F6");

// Plays the slave once: takes a request of the given size from the device
// side of the pty and answers with reply (nothing when empty). The future
// holds the request as it arrived.
std::future<std::vector<uint8_t>> answerOnce(const PtyPair& pty, size_t requestSize, std::vector<uint8_t> reply) {
  return std::async(std::launch::async, [&pty, requestSize, reply] {
    auto request = pty.receive(3000, requestSize);
    if (!reply.empty() && request.size() == requestSize) pty.send(reply);
    return request;
  });
}

double processCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The worker notices a lost device on its own; give it a bounded time.
bool workerEnds(const CMySerialPort& port) {
  for (auto deadline = Clock::now() + 3s; Clock::now() < deadline; std::this_thread::sleep_for(1ms))
    if (!port.WorkerRunning()) return true;
  return false;
}

class ModbusCommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(comm.setReopenPause(0ms));
    ASSERT_TRUE(comm.setTiming(fast));
    ASSERT_EQ(comm.Open(pty.slavePath(), 19200, 8, 0, 0), 1);
  }

  uint8_t read(uint8_t function, uint16_t start, uint16_t byteCount) {
    data.fill(0xCC);
    length = 0xEE;
    return comm.MbRead(1, function, start, byteCount, data.data(), &length);
  }
  std::string dataHex() const { return hex({data.begin(), data.begin() + length}); }

  const ModbusTiming fast{500ms, 500ms, 2ms, 4ms};
  PtyPair pty;
  CMyModbusComm comm;
  std::array<uint8_t, 300> data{};
  uint8_t length = 0;
};

TEST_F(ModbusCommTest, ReadsHoldingRegisters) {
  auto slave = answerOnce(pty, 8, kTwoRegisters);
  EXPECT_EQ(read(3, 0, 4), 0);
  EXPECT_EQ(hex(slave.get()), "01 03 00 00 00 02 C4 0B");
  EXPECT_EQ(length, 4);
  EXPECT_EQ(dataHex(), "00 0A 00 0B");
  EXPECT_EQ(data[4], 0xCC) << "nothing beyond the reply's data";
}

// A transaction sharpens its own timers on the caller's thread; the
// program's thread keeps its own setting after an answer or a silence.
TEST_F(ModbusCommTest, TheCallersTimerSlackComesBack) {
  const long previous = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  ASSERT_EQ(::prctl(PR_SET_TIMERSLACK, 123456UL, 0, 0, 0), 0);
  auto slave = answerOnce(pty, 8, kTwoRegisters);
  EXPECT_EQ(read(3, 0, 4), 0);
  slave.get();
  EXPECT_EQ(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), 123456);
  EXPECT_NE(read(3, 0, 4), 0) << "nobody answers";
  EXPECT_EQ(::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0), 123456);
  ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(previous), 0, 0, 0);
}

TEST_F(ModbusCommTest, CoilsAndDiscreteInputsReturnTheirData) {
  auto coils = answerOnce(pty, 8, framed("01 01 02 49 02"));
  EXPECT_EQ(read(1, 0, 20), 0);
  EXPECT_EQ(hex(coils.get()), hex(framed("01 01 00 00 00 0A")));
  EXPECT_EQ(length, 2);
  EXPECT_EQ(dataHex(), "49 02");

  auto inputs = answerOnce(pty, 8, framed("01 02 01 55"));
  EXPECT_EQ(read(2, 0, 16), 0);
  inputs.get();
  EXPECT_EQ(length, 1);
  EXPECT_EQ(dataHex(), "55");
}

TEST_F(ModbusCommTest, ExceptionRepliesGiveTheirCode) {
  auto slave = answerOnce(pty, 8, unhex("01 83 02 C0 F1"));
  EXPECT_EQ(read(3, 0, 4), 2);
  slave.get();
  EXPECT_EQ(length, 0xEE) << "no data on failure";

  // Code 0 names no exception; it must not read as success.
  auto zero = answerOnce(pty, 8, framed("01 83 00"));
  EXPECT_EQ(read(3, 0, 4), code(Status::BadFunction));
  zero.get();
}

TEST_F(ModbusCommTest, WritesSingleAndMultipleRegisters) {
  uint8_t value[] = {0x12, 0x34};
  auto single = answerOnce(pty, 8, framed("01 06 00 10 12 34"));
  EXPECT_EQ(comm.MbWrite(1, 6, 0x10, value, 2), 0);
  EXPECT_EQ(hex(single.get()), hex(framed("01 06 00 10 12 34")));

  uint8_t four[] = {0, 1, 0, 2};
  auto multiple = answerOnce(pty, 13, framed("01 10 01 00 00 02"));
  EXPECT_EQ(comm.MbWrite(1, 16, 0x100, four, 4), 0);
  EXPECT_EQ(hex(multiple.get()), hex(framed("01 10 01 00 00 02 04 00 01 00 02")));

  // Read with a write function: the echo is a success without data.
  auto echo = answerOnce(pty, 8, framed("01 06 00 10 00 01"));
  EXPECT_EQ(read(6, 0x10, 2), 0);
  echo.get();
  EXPECT_EQ(length, 0xEE);
}

TEST_F(ModbusCommTest, WritesThatCannotBeBuiltSendNothing) {
  uint8_t four[] = {0, 1, 0, 2};
  auto slave = answerOnce(pty, 8, framed("01 06 00 10 00 01"));
  ASSERT_EQ(comm.MbWrite(1, 6, 0x10, four, 2), 0);
  slave.get();

  EXPECT_EQ(comm.MbWrite(1, 6, 0x10, four, 4), code(Status::CannotBuild));
  EXPECT_EQ(comm.MbWrite(1, 5, 0x10, four, 2), code(Status::CannotBuild));
  EXPECT_EQ(comm.MbWrite(1, 16, 0x10, nullptr, 2), code(Status::CannotBuild));
  for (uint8_t function : {3, 6, 16})
    EXPECT_EQ(comm.MbWrite(1, function, 0x10, four, 3), code(Status::OddByteCount));
  EXPECT_EQ(comm.lastError(), code(Status::OddByteCount));
  EXPECT_TRUE(pty.receive(30).empty()) << "nothing went out";

  // The previous transaction's error is what a refused request reports.
  EXPECT_EQ(comm.MbWrite(1, 6, 0x10, four, 4), code(Status::OddByteCount));
}

TEST_F(ModbusCommTest, QuantityEchoMismatchEndsInItsStatus) {
  uint8_t four[] = {0, 1, 0, 2};
  auto slave = answerOnce(pty, 13, framed("01 10 00 20 00 03"));
  auto begin = Clock::now();
  EXPECT_EQ(comm.MbWrite(1, 16, 0x20, four, 4), code(Status::QuantityMismatch));
  EXPECT_GE(Clock::now() - begin, fast.frameWait) << "waits for a valid reply until the limit";
  slave.get();
}

TEST_F(ModbusCommTest, CrcFailureFollowedByAValidReplySucceeds) {
  auto slave = answerOnce(pty, 8, unhex("01 03 04 00 0A 00 0B 9B F7") + kTwoRegisters);
  EXPECT_EQ(read(3, 0, 4), 0);
  EXPECT_EQ(dataHex(), "00 0A 00 0B");
  slave.get();

  auto bad = answerOnce(pty, 8, unhex("01 03 04 00 0A 00 0B 9B F7"));
  EXPECT_EQ(read(3, 0, 4), code(Status::CrcError));
  bad.get();
}

TEST_F(ModbusCommTest, SilenceAndAClosedPortGiveNoResponse) {
  auto slave = answerOnce(pty, 8, {});
  EXPECT_EQ(read(3, 0, 4), code(Status::NoResponse));
  slave.get();

  comm.Close();
  auto begin = Clock::now();
  EXPECT_EQ(read(3, 0, 4), code(Status::NoResponse));
  EXPECT_LT(Clock::now() - begin, fast.addressWait) << "a closed port waits for nothing";
  EXPECT_TRUE(pty.receive(30).empty());
}

TEST_F(ModbusCommTest, BytesOutsideATransactionNeverCount) {
  // A complete, valid reply that arrives before the request: the worker
  // drops it or the transmit discards it; either way the read finds nothing.
  pty.send(kTwoRegisters);
  std::this_thread::sleep_for(20ms);
  auto silent = answerOnce(pty, 8, {});
  EXPECT_EQ(read(3, 0, 4), code(Status::NoResponse));
  silent.get();

  pty.send(framed("01 03 04 77 77 77 77"));
  auto slave = answerOnce(pty, 8, kTwoRegisters);
  EXPECT_EQ(read(3, 0, 4), 0);
  EXPECT_EQ(dataHex(), "00 0A 00 0B");
  slave.get();
}

// A late reply to an earlier request arrives just before the reply to this
// one, as a slave that answers in turn sends them.
TEST_F(ModbusCommTest, ALateReplyToAnotherRequestIsNeverTakenForData) {
  const auto damping = framed("01 03 04 3F 00 00 00");  // two registers at 6
  auto slave = answerOnce(pty, 8, damping + framed("01 03 02 00 00"));
  EXPECT_EQ(read(3, 8, 2), 0);
  EXPECT_EQ(dataHex(), "00 00");
  slave.get();

  // Alone, it is a failure, never data.
  auto alone = answerOnce(pty, 8, damping);
  EXPECT_EQ(read(3, 8, 2), code(Status::FrameFormat));
  alone.get();
  EXPECT_EQ(length, 0xEE);

  // Of the same size but another value: which one answers cannot be told.
  auto same = answerOnce(pty, 8, framed("01 03 02 3F 00") + framed("01 03 02 00 0F"));
  EXPECT_EQ(read(3, 9, 2), code(Status::FrameFormat));
  same.get();
  EXPECT_EQ(length, 0xEE);

  // A write's echo must carry the value written.
  uint8_t one[] = {0x00, 0x01};
  auto echo = answerOnce(pty, 8, framed("01 06 00 08 00 00"));
  EXPECT_EQ(comm.MbWrite(1, 6, 8, one, 2), code(Status::FrameFormat));
  echo.get();
}

// A reply that comes after its attempt ended lands in the next request's
// window; when the reply to that one is lost, it is alone there and of the
// same size, and only the count of unanswered requests tells it apart.
TEST_F(ModbusCommTest, ALateReplyAloneInAnotherRequestsWindowIsNotTaken) {
  auto lost = answerOnce(pty, 8, {});
  EXPECT_EQ(read(3, 0, 2), code(Status::NoResponse));
  lost.get();

  auto late = answerOnce(pty, 8, framed("01 03 02 04 6D"));  // register 0's value
  EXPECT_EQ(read(3, 1, 2), code(Status::FrameFormat));
  EXPECT_EQ(length, 0xEE);
  late.get();

  auto right = answerOnce(pty, 8, framed("01 03 02 03 E9") + framed("01 03 02 03 E9"));
  EXPECT_EQ(read(3, 1, 2), 0) << "register 1's late reply, then its own";
  EXPECT_EQ(dataHex(), "03 E9");
  right.get();
}

TEST_F(ModbusCommTest, ASecondReplyJustAfterTheFirstIsHeardBeforeTheAttemptEnds) {
  ASSERT_TRUE(comm.setTiming({500ms, 500ms, 100ms, 100ms}));
  auto slave = std::async(std::launch::async, [this] {
    auto request = pty.receive(3000, 8);
    pty.send(framed("01 03 02 3F 00"));
    std::this_thread::sleep_for(30ms);
    pty.send(framed("01 03 02 00 0F"));
  });
  EXPECT_EQ(read(3, 9, 2), code(Status::FrameFormat));
  slave.get();

  auto twice = std::async(std::launch::async, [this] {
    auto request = pty.receive(3000, 8);
    pty.send(framed("01 03 02 00 0F"));
    std::this_thread::sleep_for(30ms);
    pty.send(framed("01 03 02 00 0F"));
  });
  EXPECT_EQ(read(3, 9, 2), 0);
  twice.get();
  EXPECT_EQ(dataHex(), "00 0F");
}

TEST_F(ModbusCommTest, CopiesAtMostTheDataTheReplyCarried) {
  std::string reply = "01 03 FA";
  for (int i = 0; i < 250; ++i) reply += " 42";
  auto slave = answerOnce(pty, 8, framed(reply));
  EXPECT_EQ(read(3, 0, 250), 0);
  slave.get();
  EXPECT_EQ(length, 250);
  EXPECT_EQ(data[249], 0x42);
  EXPECT_EQ(data[250], 0xCC);

  // A reply too long for the 8-bit lengths is no reply.
  reply = "01 03 FE";
  for (int i = 0; i < 254; ++i) reply += " 42";
  auto tooLong = answerOnce(pty, 8, framed(reply));
  EXPECT_EQ(read(3, 0, 254), code(Status::NoResponse));
  tooLong.get();
  EXPECT_EQ(data[0], 0xCC);
}

TEST_F(ModbusCommTest, VanishedPortEndsTheWorkerAndFailsUntilReopened) {
  pty.closeMaster();
  ASSERT_TRUE(workerEnds(comm)) << "the worker must notice the hang-up";
  EXPECT_TRUE(comm.LineLost());

  double cpuBefore = processCpuMs();
  auto begin = Clock::now();
  EXPECT_EQ(read(3, 0, 4), code(Status::NoResponse));
  std::this_thread::sleep_for(200ms);
  double cpu = processCpuMs() - cpuBefore;
  double wall = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
  EXPECT_LT(cpu, wall / 2) << "nothing spins on the dead port";

  // Opening with the same settings again reopens a lost port.
  PtyPair replacement;
  ASSERT_EQ(comm.Open(replacement.slavePath(), 19200, 8, 0, 0), 1);
  auto slave = answerOnce(replacement, 8, kTwoRegisters);
  EXPECT_EQ(read(3, 0, 4), 0);
  slave.get();
  EXPECT_EQ(dataHex(), "00 0A 00 0B");
}

TEST(ModbusTiming, SetterRefusesWhatCannotWork) {
  CMyModbusComm comm;
  EXPECT_FALSE(comm.setTiming({-1ms, 2000ms, 50ms, 500ms}));
  EXPECT_FALSE(comm.setTiming({600ms, 61s, 50ms, 500ms}));
  EXPECT_FALSE(comm.setTiming({600ms, 2000ms, 50ms, 40ms})) << "retry period shorter than the pause";
  EXPECT_EQ(comm.timing().addressWait, 600ms);
  EXPECT_EQ(comm.timing().frameWait, 2000ms);
  EXPECT_EQ(comm.timing().postAttemptPause, 50ms);
  EXPECT_EQ(comm.timing().retryPeriod, 500ms);
  EXPECT_FALSE(comm.setReopenPause(-1ms));
  EXPECT_FALSE(comm.setReopenPause(11s));
}

TEST(ModbusTiming, NoReplyCostsTheLimitAndBothPauses) {
  PtyPair pty;
  CMyModbusComm comm;
  ASSERT_TRUE(comm.setReopenPause(0ms));
  ASSERT_EQ(comm.Open(pty.slavePath(), 19200, 8, 0, 0), 1);
  auto begin = Clock::now();
  uint8_t data[8];
  uint8_t length = 0;
  EXPECT_EQ(comm.MbRead(1, 3, 0, 4, data, &length), code(Status::NoResponse));
  EXPECT_GE(Clock::now() - begin, 600ms + 50ms + 450ms);
}

}  // namespace
}  // namespace tavrin::ostrelle
