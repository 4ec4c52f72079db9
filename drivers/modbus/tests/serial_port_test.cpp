#include "my_serial_port.h"

#include <poll.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <tuple>

#include "testing/pty_pair.h"
#include "testing/temp_dir.h"

namespace tavrin::ostrelle {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using tavrin::testing::PtyPair;
using tavrin::testing::TempDir;

termios deviceSettings(const PtyPair& pty) {
  termios t{};
  ::tcgetattr(pty.master(), &t);
  return t;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(port.setReopenPause(0ms)); }
  PtyPair pty;
  CMySerialPort port;
};

TEST_F(SerialPortTest, OpenAppliesTheSettingsAndKeepsAnIdenticalOpen) {
  ASSERT_EQ(port.Open(pty.slavePath(), 19200, 8, 2, 1), 1);
  EXPECT_TRUE(port.IsOpen());
  EXPECT_TRUE(port.WorkerRunning());
  EXPECT_EQ(port.Settings(), (PortSettings{19200, 8, 2, 1}));
  termios t = deviceSettings(pty);
  EXPECT_EQ(::cfgetospeed(&t), B19200);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & PARODD) << "odd parity";
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));

  // Someone changes the line behind the driver's back: an identical open
  // does not touch the port, so the change stays.
  cfsetospeed(&t, B9600);
  cfsetispeed(&t, B9600);
  ASSERT_EQ(::tcsetattr(pty.master(), TCSANOW, &t), 0);
  ASSERT_EQ(port.Open(pty.slavePath(), 19200, 8, 2, 1), 1);
  t = deviceSettings(pty);
  EXPECT_EQ(::cfgetospeed(&t), B9600);

  // Another parity alone reopens and configures again.
  ASSERT_EQ(port.Open(pty.slavePath(), 19200, 8, 2, 0), 1);
  t = deviceSettings(pty);
  EXPECT_EQ(::cfgetospeed(&t), B19200);
  EXPECT_FALSE(t.c_cflag & PARODD);
  EXPECT_EQ(port.Settings().parityCode, 0);
}

TEST_F(SerialPortTest, RefusedSettingsLeaveThePortClosed) {
  EXPECT_EQ(port.Open(pty.slavePath(), 12345, 8, 0, 0), 0) << "no such baud rate";
  EXPECT_EQ(port.Open(pty.slavePath(), 0, 8, 0, 0), 0);
  EXPECT_EQ(port.Open(pty.slavePath(), 9600, 9, 0, 0), 0);
  EXPECT_EQ(port.Open(pty.slavePath(), 9600, 8, 3, 0), 0) << "stop-bit code 3";
  EXPECT_EQ(port.Open(pty.slavePath(), 9600, 8, 0, 5), 0) << "parity code 5";
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.WorkerRunning());
  EXPECT_EQ(port.Settings(), PortSettings{});
  EXPECT_EQ(port.PortName(), "");
  // Nothing stays open behind a refused open, so the device can be taken.
  ASSERT_EQ(port.Open(pty.slavePath(), 9600, 8, 0, 0), 1);
}

TEST_F(SerialPortTest, PortNamesAreLookedUpBelowTheProgramFolder) {
  TempDir folder;
  std::filesystem::create_directory(folder.file("ports"));
  std::filesystem::create_symlink(pty.slavePath(), folder.file("ports/COM12"));
  std::filesystem::create_symlink("/nonexistent/tty", folder.file("ports/COM3"));
  port.setProgramFolder(folder.path());

  ASSERT_EQ(port.Open("COM12", 9600, 8, 0, 0), 1);
  EXPECT_EQ(port.PortName(), "COM12");
  EXPECT_EQ(port.Open("COM3", 9600, 8, 0, 0), 0) << "a dangling link is the port, and it fails";
  EXPECT_EQ(port.Open("COM", 9600, 8, 0, 0), 0);
  EXPECT_EQ(port.Open("COM0", 9600, 8, 0, 0), 0);
  EXPECT_EQ(port.Open("/nonexistent/device", 9600, 8, 0, 0), 0);
}

TEST_F(SerialPortTest, CloseIsHarmlessWhenNothingIsOpen) {
  EXPECT_EQ(port.Close(), -1);
  ASSERT_EQ(port.Open(pty.slavePath(), 9600, 8, 0, 0), 1);
  EXPECT_EQ(port.Close(), 1);
  EXPECT_FALSE(port.WorkerRunning());
  EXPECT_EQ(port.Settings(), PortSettings{});
  EXPECT_EQ(port.Close(), -1);
  uint8_t byte = 0x55;
  EXPECT_EQ(port.Write({&byte, 1}), 0) << "writing on a closed port";
}

TEST_F(SerialPortTest, WriteHoldsForTheLineTimeOfTheBlock) {
  std::vector<uint8_t> request{1, 3, 0, 0, 0, 2, 0xC4, 0x0B};
  // Slept through but for the end, never ended early: 85 ms at 1200 baud
  // with 2 stop bits and parity, 4.43 ms at 19200 baud.
  for (const auto& [baud, stopCode, parityCode, hold] :
       {std::tuple{1200, 2, 2, 85000us}, std::tuple{19200, 0, 0, 4427us}}) {
    ASSERT_EQ(port.Open(pty.slavePath(), baud, 8, stopCode, parityCode), 1);
    auto begin = Clock::now();
    ASSERT_NE(port.Write(request), 0);
    EXPECT_GE(Clock::now() - begin, hold) << baud;
    EXPECT_EQ(pty.receive(100, 8), request);
  }
}

// A line that takes one byte less than it is given.
class ShortLine : public SerialLine {
 public:
  bool open(const std::string&) override { return open_ = true; }
  bool configure(const platform::LineSettings&) override { return true; }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  bool kernelDrivesDirection() const override { return false; }
  void setRts(bool) override {}
  void setDtr(bool) override {}
  void purge() override {}
  size_t write(std::span<const uint8_t> bytes) override { return bytes.empty() ? 0 : bytes.size() - 1; }
  Wait waitReadable(const platform::EventSignal& stop) override {
    pollfd p{stop.fd(), POLLIN, 0};
    ::poll(&p, 1, -1);
    return Wait::Stopped;
  }
  Read readQueued(std::span<uint8_t>) override { return {}; }

 private:
  bool open_ = false;
};

TEST(SerialPortLine, ShortWriteFailsWithoutTheHold) {
  CMySerialPort port(std::make_unique<ShortLine>());
  ASSERT_TRUE(port.setReopenPause(0ms));
  ASSERT_EQ(port.Open("any", 1200, 8, 2, 2), 1);
  std::vector<uint8_t> request(8, 0x11);
  auto begin = Clock::now();
  EXPECT_EQ(port.Write(request), 0);
  EXPECT_LT(Clock::now() - begin, 80ms);
}

// A line that always says it is readable and never has a byte.
class ChatteringLine : public ShortLine {
 public:
  Wait waitReadable(const platform::EventSignal& stop) override {
    pollfd p{stop.fd(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 ? Wait::Stopped : Wait::Readable;
  }
  Read readQueued(std::span<uint8_t>) override {
    ++reads;
    return {};
  }
  std::atomic<int> reads{0};
};

TEST(SerialPortLine, AWorkerWokenForNothingDoesNotSpin) {
  auto line = std::make_unique<ChatteringLine>();
  auto& chattering = *line;
  CMySerialPort port(std::move(line));
  ASSERT_TRUE(port.setReopenPause(0ms));
  ASSERT_EQ(port.Open("any", 19200, 8, 0, 0), 1);
  std::this_thread::sleep_for(200ms);
  port.Close();
  // A pause after each empty read: about 200 of them, where a spinning
  // worker makes millions.
  EXPECT_GT(chattering.reads.load(), 0);
  EXPECT_LT(chattering.reads.load(), 1000);
}

}  // namespace
}  // namespace tavrin::ostrelle
