#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "kelvane/async_serial_port.h"
#include "kelvane/runtime_exception.h"
#include "port_gate.h"
#include "testing/pty_pair.h"
#include "testing/temp_dir.h"

namespace tavrin::kelvane {
namespace {

using namespace std::chrono_literals;
using platform::FlowControl;
using platform::LineSettings;
using platform::Parity;
using platform::StopBits;
using tavrin::testing::PtyPair;
using tavrin::testing::TempDir;
using testing::PortGate;

constexpr int kPort = 3;

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(folder.file("ports"));
    std::filesystem::create_symlink(pty.slavePath(), folder.file("ports/COM3"));
    port.setProgramFolder(folder.path());
  }
  bool openPort(int flowIndex = 0) { return port.open(kPort, 38400, 2, 8, 0, flowIndex); }

  TempDir folder;
  PtyPair pty;
  CAsyncSerialPort port;
};

TEST(LineSettingsTest, FlowIndexesWithoutATermiosFormAndUnknownIndexesKeepTheLine) {
  LineSettings current;
  current.parity = Parity::Odd;
  current.stopBits = StopBits::Two;
  current.flow = FlowControl::XonXoff;
  EXPECT_EQ(applyIndexes(current, 9600, 2, 8, 0, 2).flow, FlowControl::RtsCts) << "CTS/DTR";
  EXPECT_EQ(applyIndexes(current, 9600, 2, 8, 0, 3).flow, FlowControl::None) << "DSR/RTS";
  EXPECT_EQ(applyIndexes(current, 9600, 2, 8, 0, 4).flow, FlowControl::None) << "DSR/DTR";
  EXPECT_EQ(applyIndexes(current, 9600, 1, 8, 1, 0).parity, Parity::Mark);
  EXPECT_EQ(applyIndexes(current, 9600, 4, 8, 1, 0).parity, Parity::Space);
  EXPECT_EQ(applyIndexes(current, 9600, 4, 8, 1, 0).stopBits, StopBits::OnePointFive);
  auto untouched = applyIndexes(current, 9600, 5, 8, 3, 6);
  EXPECT_EQ(untouched.parity, Parity::Odd);
  EXPECT_EQ(untouched.stopBits, StopBits::Two);
  EXPECT_EQ(untouched.flow, FlowControl::XonXoff);
}

TEST_F(TransportTest, OpenSetsTheLineUpRawAndExclusive) {
  ASSERT_TRUE(port.open(kPort, 38400, 3, 8, 2, 1));
  termios t{};
  ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B38400);
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_EQ(port.portNumber(), kPort);

  ASSERT_TRUE(port.open(kPort, 38400, 2, 8, 0, 5)) << "reopening closes first";
  ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);
  EXPECT_FALSE(t.c_cflag & (PARODD | CSTOPB | CRTSCTS));
  EXPECT_TRUE(t.c_iflag & IXON);
  port.close();
  port.close();
  EXPECT_FALSE(port.isOpen());
}

TEST_F(TransportTest, OpenFailuresLeaveNothingOpen) {
  EXPECT_FALSE(port.open(0, 38400, 2, 8, 0, 0)) << "no device for COM0";
  EXPECT_EQ(port.lastReportedError(), CRuntimeException(ENODEV).message());
  std::filesystem::create_symlink(folder.file("nowhere"), folder.file("ports/COM4"));
  EXPECT_FALSE(port.open(4, 38400, 2, 8, 0, 0)) << "a dangling override never falls back";
  EXPECT_FALSE(port.open(kPort, 12345, 2, 8, 0, 0)) << "a rate termios does not have";
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(port.hasThread());
}

// Starts the I/O thread twice, as a broken start would.
class TwiceStartedPort : public CAsyncSerialPort {
 protected:
  void launchIoThread() override {
    CAsyncSerialPort::launchIoThread();
    CAsyncSerialPort::launchIoThread();
  }
};

TEST_F(TransportTest, AFailedThreadStartClosesThePort) {
  TwiceStartedPort twice;
  twice.setProgramFolder(folder.path());
  EXPECT_FALSE(twice.open(kPort, 38400, 2, 8, 0, 0));
  EXPECT_EQ(twice.lastReportedError(), kThreadAlreadyRunning);
  EXPECT_FALSE(twice.isOpen());
  EXPECT_FALSE(twice.hasThread()) << "the first thread was stopped and joined";
  EXPECT_TRUE(openPort()) << "the exclusive hold was released";
}

TEST_F(TransportTest, WritesUpToTheBufferSizeGoOut) {
  int error = -1;
  std::vector<uint8_t> data(CAsyncSerialPort::kBufferSize, 0x5A);
  EXPECT_FALSE(port.write(data, &error));
  EXPECT_EQ(error, CAsyncSerialPort::kDeviceNotConnected);
  EXPECT_EQ(port.lastReportedError(), kNotConnected);

  ASSERT_TRUE(openPort());
  port.beginExchange();
  ASSERT_TRUE(port.write(data, &error));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(port.waitWriteCompletion(5s), CAsyncSerialPort::WriteOutcome::Done);
  EXPECT_EQ(pty.receive(200, data.size()).size(), data.size());

  data.push_back(0x5A);
  EXPECT_FALSE(port.write(data, &error));
  EXPECT_EQ(error, CAsyncSerialPort::kTooLong);
  EXPECT_EQ(port.lastReportedError(), kWriteTooLong);
  EXPECT_FALSE(port.busy());
}

TEST_F(TransportTest, AWriteInFlightKeepsItsBusyFlag) {
  ASSERT_TRUE(openPort());
  const std::vector<uint8_t> first{0x10, 0x05, 0x01, 0x49, 0xD4, 0x83};
  int error = -1;
  {
    PortGate held(pty.slavePath(), PortGate::Mode::HoldWrites);
    port.beginExchange();
    ASSERT_TRUE(port.write(first, &error));
    ASSERT_TRUE(held.waitForCall(5000));
    EXPECT_EQ(port.waitWriteCompletion(port.writeWait()), CAsyncSerialPort::WriteOutcome::TimedOut);
    for (int i = 0; i < 2; ++i) {
      EXPECT_FALSE(port.write(std::vector<uint8_t>{0xEE}, &error)) << "refusal " << i;
      EXPECT_EQ(error, CAsyncSerialPort::kBusy);
      EXPECT_EQ(port.lastReportedError(), kWriteBusy);
      EXPECT_TRUE(port.busy()) << "a refusal must not free the write in flight";
    }
  }
  EXPECT_EQ(port.waitWriteCompletion(5s), CAsyncSerialPort::WriteOutcome::Done);
  EXPECT_FALSE(port.busy());
  EXPECT_EQ(pty.receive(200), first) << "sent whole, nothing of the refused writes";
}

TEST_F(TransportTest, AFailedWriteCompletesAsFailed) {
  ASSERT_TRUE(openPort());
  PortGate failing(pty.slavePath(), PortGate::Mode::FailWrites, EIO);
  port.beginExchange();
  int error = -1;
  ASSERT_TRUE(port.write(std::vector<uint8_t>{1, 2, 3}, &error));
  EXPECT_EQ(port.waitWriteCompletion(5s), CAsyncSerialPort::WriteOutcome::Failed);
  EXPECT_FALSE(port.busy());
  EXPECT_EQ(port.lastReportedError(), CRuntimeException(EIO).message());
}

TEST_F(TransportTest, AReceptionEndsWhenTheLineFallsQuiet) {
  ASSERT_TRUE(openPort());
  std::vector<uint8_t> bytes;
  EXPECT_EQ(port.waitReception(60ms, bytes), CAsyncSerialPort::ReceiveOutcome::TimedOut);

  pty.send({1, 2, 3, 4, 5});
  ASSERT_EQ(port.waitReception(5s, bytes), CAsyncSerialPort::ReceiveOutcome::Received);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));

  // Bytes after a finished reception start the next one.
  pty.send({6, 7});
  ASSERT_EQ(port.waitReception(5s, bytes), CAsyncSerialPort::ReceiveOutcome::Received);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{6, 7}));
  pty.send({8, 9});
  ASSERT_EQ(port.waitReception(5s, bytes), CAsyncSerialPort::ReceiveOutcome::Received);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{8, 9}));
  EXPECT_EQ(port.waitReception(60ms, bytes), CAsyncSerialPort::ReceiveOutcome::TimedOut) << "each is handed over once";
}

TEST_F(TransportTest, AFullBufferEndsAReception) {
  ASSERT_TRUE(openPort());
  pty.send(std::vector<uint8_t>(CAsyncSerialPort::kBufferSize + 500, 0x33));
  std::vector<uint8_t> bytes;
  ASSERT_EQ(port.waitReception(5s, bytes), CAsyncSerialPort::ReceiveOutcome::Received);
  EXPECT_EQ(bytes.size(), CAsyncSerialPort::kBufferSize);
}

TEST_F(TransportTest, AVanishedPortEndsTheThreadAndRefusesWrites) {
  ASSERT_TRUE(openPort());
  pty.closeMaster();
  std::vector<uint8_t> bytes;
  EXPECT_EQ(port.waitReception(5s, bytes), CAsyncSerialPort::ReceiveOutcome::PortLost);
  EXPECT_TRUE(port.portLost());
  int error = 0;
  EXPECT_FALSE(port.write(std::vector<uint8_t>{1}, &error));
  EXPECT_EQ(error, CAsyncSerialPort::kDeviceNotConnected);
  port.close();
  EXPECT_FALSE(port.portLost());
  EXPECT_FALSE(port.hasThread());
}

}  // namespace
}  // namespace tavrin::kelvane
