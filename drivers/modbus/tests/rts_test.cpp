// Shows how the transmitter direction is driven: this executable defines
// ioctl itself, records the modem-line requests the driver makes and can
// pretend that the kernel's RS-485 mode is on.
#include <dlfcn.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstdarg>
#include <future>
#include <mutex>
#include <vector>

#include "my_modbus_comm.h"
#include "test_frames.h"

namespace {

struct LineEvent {
  unsigned long request;
  int bits;
  int pendingAtDevice;  // request bytes the device side could read then
  std::chrono::steady_clock::time_point at;
};

std::mutex eventsLock;
std::condition_variable eventAdded;
std::vector<LineEvent> events;
std::atomic<int> deviceFd{-1};
std::atomic<bool> fakeKernelRs485{false};

using IoctlFunction = int (*)(int, unsigned long, ...);

IoctlFunction realIoctl() {
  static IoctlFunction next = reinterpret_cast<IoctlFunction>(::dlsym(RTLD_NEXT, "ioctl"));
  return next;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  if (request == TIOCMBIS || request == TIOCMBIC) {
    int pending = -1;
    if (deviceFd >= 0) realIoctl()(deviceFd, FIONREAD, &pending);
    std::lock_guard lock(eventsLock);
    events.push_back({request, *static_cast<int*>(argument), pending, std::chrono::steady_clock::now()});
    eventAdded.notify_all();
  }
  if (request == TIOCGRS485 && fakeKernelRs485) {
    auto* rs485 = static_cast<serial_rs485*>(argument);
    *rs485 = serial_rs485{};
    rs485->flags = SER_RS485_ENABLED;
    return 0;
  }
  return realIoctl()(fd, request, argument);
}

namespace tavrin::ostrelle {
namespace {

using namespace std::chrono_literals;
using tavrin::testing::PtyPair;
using tavrin::testing::unhex;

std::vector<LineEvent> rtsEvents() {
  std::lock_guard lock(eventsLock);
  std::vector<LineEvent> rts;
  for (const auto& e : events)
    if (e.bits & TIOCM_RTS) rts.push_back(e);
  return rts;
}

class RtsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    deviceFd = pty.master();
    {
      std::lock_guard lock(eventsLock);
      events.clear();
    }
    ASSERT_TRUE(comm.setReopenPause(0ms));
    ASSERT_TRUE(comm.setTiming({500ms, 500ms, 2ms, 4ms}));
  }
  void TearDown() override {
    comm.Close();
    deviceFd = -1;
    fakeKernelRs485 = false;
  }
  // One read, answered by the device side. The device reads the request
  // only once the direction is back to receive, so that the bytes waiting
  // for it tell what had gone out when RTS changed.
  uint8_t readOnce() {
    auto slave = std::async(std::launch::async, [this] {
      {
        std::unique_lock lock(eventsLock);
        eventAdded.wait_for(lock, 3s, [] {
          return std::any_of(events.begin(), events.end(),
                             [](const LineEvent& e) { return e.request == TIOCMBIC && (e.bits & TIOCM_RTS); });
        });
      }
      auto request = pty.receive(3000, 8);
      if (request.size() == 8) pty.send(unhex("01 03 04 00 0A 00 0B 9B F6"));
    });
    uint8_t data[8];
    uint8_t length = 0;
    uint8_t status = comm.MbRead(1, 3, 0, 4, data, &length);
    slave.get();
    return status;
  }

  PtyPair pty;
  CMyModbusComm comm;
};

TEST_F(RtsTest, RtsIsRaisedBeforeTheRequestAndLoweredAfterItsLineTime) {
  ASSERT_EQ(comm.Open(pty.slavePath(), 1200, 8, 2, 2), 1);
  auto atOpen = rtsEvents();
  ASSERT_EQ(atOpen.size(), 1u);
  EXPECT_EQ(atOpen[0].request, static_cast<unsigned long>(TIOCMBIC)) << "receive direction after opening";
  {
    std::lock_guard lock(eventsLock);
    bool dtrRaised = false;
    for (const auto& e : events) dtrRaised |= e.request == TIOCMBIS && (e.bits & TIOCM_DTR);
    EXPECT_TRUE(dtrRaised);
    events.clear();
  }

  ASSERT_EQ(readOnce(), 0);
  auto rts = rtsEvents();
  ASSERT_EQ(rts.size(), 2u);
  EXPECT_EQ(rts[0].request, static_cast<unsigned long>(TIOCMBIS));
  EXPECT_EQ(rts[0].pendingAtDevice, 0) << "raised before the first byte went out";
  EXPECT_EQ(rts[1].request, static_cast<unsigned long>(TIOCMBIC));
  EXPECT_EQ(rts[1].pendingAtDevice, 8) << "lowered after the whole request";
  EXPECT_GE(rts[1].at - rts[0].at, 85ms) << "held for 8.5 characters of 12 bits at 1200 baud";
}

TEST_F(RtsTest, KernelRs485ModeKeepsRtsAlone) {
  fakeKernelRs485 = true;
  ASSERT_EQ(comm.Open(pty.slavePath(), 19200, 8, 0, 0), 1);
  auto slave = std::async(std::launch::async, [this] {
    if (pty.receive(3000, 8).size() == 8) pty.send(unhex("01 03 04 00 0A 00 0B 9B F6"));
  });
  uint8_t data[8];
  uint8_t length = 0;
  EXPECT_EQ(comm.MbRead(1, 3, 0, 4, data, &length), 0);
  slave.get();
  EXPECT_TRUE(rtsEvents().empty());
}

}  // namespace
}  // namespace tavrin::ostrelle
