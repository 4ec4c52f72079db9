#include "platform/serial_port.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "testing/pty_pair.h"

namespace tavrin::platform {
namespace {

using testing::PtyPair;

TEST(SerialPortTest, SettingsReadBackThroughTheMaster) {
  PtyPair pty;
  SerialPort port;
  ASSERT_TRUE(port.open(pty.slavePath(), true));
  LineSettings s;
  s.baud = 19200;
  s.parity = Parity::Odd;
  s.stopBits = StopBits::Two;
  s.flow = FlowControl::RtsCts;
  ASSERT_TRUE(port.configure(s));

  termios t{};
  ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B19200);
  EXPECT_EQ(::cfgetispeed(&t), B19200);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG)) << "raw mode";
  EXPECT_FALSE(t.c_iflag & (IXON | ICRNL));
  EXPECT_FALSE(t.c_oflag & OPOST);

  s.baud = 38400;
  s.parity = Parity::None;
  s.stopBits = StopBits::One;
  s.flow = FlowControl::XonXoff;
  ASSERT_TRUE(port.configure(s));
  ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B38400);
  EXPECT_FALSE(t.c_cflag & (CSTOPB | PARODD | CRTSCTS));
  EXPECT_TRUE(t.c_iflag & IXON);

  s.baud = 12345;
  EXPECT_FALSE(port.configure(s)) << "a rate termios does not offer";
  s.baud = 9600;
  s.dataBits = 9;
  EXPECT_FALSE(port.configure(s));
}

TEST(SerialPortTest, SpeedConstantsMapBackToTheirBaudRates) {
  for (uint32_t baud : {300u, 9600u, 19200u, 38400u, 115200u, 4000000u}) {
    auto speed = speedOfBaud(baud);
    ASSERT_TRUE(speed.has_value()) << baud;
    EXPECT_EQ(baudOfSpeed(*speed), baud);
  }
  EXPECT_FALSE(baudOfSpeed(B0).has_value()) << "a hung-up line has no rate";
}

TEST(SerialPortTest, ExclusiveOpenIsReleasedOnClose) {
  PtyPair pty;
  {
    SerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), true));
    int excl = 0;
    ASSERT_EQ(::ioctl(port.fd(), TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 1);
    if (::geteuid() != 0) {
      SerialPort second;
      EXPECT_FALSE(second.open(pty.slavePath(), true));
    }
  }
  SerialPort again;
  ASSERT_TRUE(again.open(pty.slavePath(), false));
  int excl = 1;
  ASSERT_EQ(::ioctl(again.fd(), TIOCGEXCL, &excl), 0);
  EXPECT_EQ(excl, 0);
}

TEST(SerialPortTest, ModemLinesAreNotSupportedOnAPseudoTerminal) {
  PtyPair pty;
  SerialPort port;
  ASSERT_TRUE(port.open(pty.slavePath(), false));
  EXPECT_FALSE(port.setRts(true));
  EXPECT_FALSE(port.setDtr(false));
  EXPECT_FALSE(port.kernelRs485Enabled());
  EXPECT_TRUE(port.drain());
}

TEST(SerialPortTest, OpeningSomethingThatIsNoTerminalFails) {
  SerialPort port;
  EXPECT_FALSE(port.open("/dev/null", false));
  EXPECT_NE(port.lastError(), 0);
  EXPECT_FALSE(port.open("/nonexistent/ttyS0", false));
  EXPECT_FALSE(port.isOpen());
}

TEST(SerialPortTest, ReadsWritesTimesOutAndWakes) {
  PtyPair pty;
  SerialPort port;
  ASSERT_TRUE(port.open(pty.slavePath(), false));
  const std::vector<uint8_t> request{0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
  IoResult w = port.write(request, 1000);
  EXPECT_EQ(w.status, IoStatus::Ok);
  EXPECT_EQ(w.count, request.size());
  EXPECT_EQ(pty.receive(100), request);

  pty.send({0x03, 0x00, 0x01});  // includes the byte that a cooked pty would eat
  uint8_t buf[16];
  IoResult r = port.read(buf, 1000);
  ASSERT_EQ(r.status, IoStatus::Ok);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + r.count), (std::vector<uint8_t>{0x03, 0x00, 0x01}));

  EXPECT_EQ(port.read(buf, 20).status, IoStatus::Timeout);

  EventSignal wake;
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    wake.notify();
  });
  EXPECT_EQ(port.read(buf, -1, &wake).status, IoStatus::Woken);
  waker.join();
  EXPECT_TRUE(wake.reset());
  EXPECT_FALSE(wake.isSet());
}

TEST(SerialPortTest, HangUpOfTheOtherSideIsReportedAsClosed) {
  PtyPair pty;
  SerialPort port;
  ASSERT_TRUE(port.open(pty.slavePath(), false));
  pty.closeMaster();
  uint8_t buf[4];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.read(buf, 2000).status, IoStatus::Closed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500)) << "must not wait out the limit";
  EXPECT_EQ(port.write(std::vector<uint8_t>{1, 2}, 100).status, IoStatus::Closed);
}

}  // namespace
}  // namespace tavrin::platform
