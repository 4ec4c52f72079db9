// The shipped library as the program sees it: loaded from a Driver/ folder
// of a program folder of the test's own, ports linked in its ports/ folder.
#include <termios.h>
#include <time.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "ostrelle.h"
#include "peer_process.h"
#include "platform/dynamic_library.h"
#include "pty_bridge.h"
#include "testing/pty_pair.h"
#include "testing/temp_dir.h"

namespace tavrin::ostrelle {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using tavrin::ostrelle::testing::PeerProcess;
using tavrin::ostrelle::testing::PtyBridge;
using tavrin::testing::hex;
using tavrin::testing::PtyPair;
using tavrin::testing::TempDir;
using tavrin::testing::unhex;

// Parity index 2 is no parity, stop-bit index 0 one stop bit.
constexpr uint8_t kNoParity = 2;

// One program folder and one load of the library per test process: the
// library holds one port for the whole process.
class Library {
 public:
  static Library& get() {
    static Library instance;
    return instance;
  }
  void linkPort(int port, const std::string& device) {
    std::string link = folder_.file("ports/COM" + std::to_string(port));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(device, link);
  }

  decltype(&OpenComPort) open = nullptr;
  decltype(&CloseComPort) close = nullptr;
  decltype(&Mb_Read) read = nullptr;
  decltype(&Mb_Write) write = nullptr;
  platform::DynamicLibrary library;

 private:
  Library() {
    std::filesystem::create_directories(folder_.file("Driver"));
    std::filesystem::create_directories(folder_.file("ports"));
    std::filesystem::create_symlink(TAVRIN_DIST_DIR "Driver/Ostrelle.so", folder_.file("Driver/Ostrelle.so"));
    if (!library.open(folder_.file("Driver/Ostrelle.so"))) throw std::runtime_error(library.error());
    open = library.function<decltype(OpenComPort)>("OpenComPort");
    close = library.function<decltype(CloseComPort)>("CloseComPort");
    read = library.function<decltype(Mb_Read)>("Mb_Read");
    write = library.function<decltype(Mb_Write)>("Mb_Write");
  }
  TempDir folder_;
};

class LibraryTest : public ::testing::Test {
 protected:
  void TearDown() override { lib.close(); }
  uint8_t read(uint8_t function, uint16_t start, uint16_t byteCount) {
    data.fill(0xCC);
    length = 0;
    return lib.read(1, function, start, byteCount, data.data(), &length);
  }
  std::string dataHex() const { return hex({data.begin(), data.begin() + length}); }

  Library& lib = Library::get();
  std::array<uint8_t, 256> data{};
  uint8_t length = 0;
};

TEST_F(LibraryTest, ExportsTheDriverFunctions) {
  for (const char* name : {"OpenComPort", "CloseComPort", "Mb_Read", "Mb_Write"})
    EXPECT_NE(lib.library.symbol(name), nullptr) << name;
  auto entry = lib.library.function<int32_t(int32_t)>("SetRespondOutTime");
  ASSERT_NE(entry, nullptr);
  for (const char* name : {"GetCommCounts", "ClearCommCounts", "SetComState"})
    EXPECT_EQ(lib.library.symbol(name), reinterpret_cast<void*>(entry)) << name << " is the same entry";
  EXPECT_EQ(entry(320), 0);
  EXPECT_EQ(lib.library.symbol("crc16"), nullptr);
  EXPECT_EQ(lib.close(), -1) << "closing what was never opened";
}

TEST_F(LibraryTest, ReadsThroughTheLinkedPort) {
  PtyPair pty;
  lib.linkPort(5, pty.slavePath());
  ASSERT_EQ(lib.open(5, 19200, kNoParity, 8, 0, 0, 1000), 1);
  auto slave = std::async(std::launch::async, [&pty] {
    auto request = pty.receive(3000, 8);
    pty.send(unhex("01 03 04 00 0A 00 0B 9B F6"));
    return request;
  });
  auto begin = Clock::now();
  EXPECT_EQ(read(3, 0, 4), 0);
  EXPECT_GE(Clock::now() - begin, 50ms) << "the pause after every attempt";
  EXPECT_EQ(hex(slave.get()), "01 03 00 00 00 02 C4 0B");
  EXPECT_EQ(length, 4);
  EXPECT_EQ(dataHex(), "00 0A 00 0B");
}

TEST_F(LibraryTest, ParityAndStopBitIndexes) {
  PtyPair pty;
  lib.linkPort(6, pty.slavePath());
  termios t{};
  ASSERT_EQ(lib.open(6, 9600, 3, 8, 2, 0, 1000), 1) << "odd parity, two stop bits";
  ::tcgetattr(pty.master(), &t);
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_EQ(::cfgetospeed(&t), B9600);
  ASSERT_EQ(lib.open(6, 9600, kNoParity, 8, 0, 0, 1000), 1);
  ::tcgetattr(pty.master(), &t);
  EXPECT_FALSE(t.c_cflag & (PARODD | CSTOPB));
  EXPECT_EQ(lib.open(6, 9600, 7, 8, 0, 0, 1000), 0) << "parity index 7 is no parity code";
  EXPECT_EQ(lib.open(6, 9600, kNoParity, 8, 3, 0, 1000), 0) << "stop-bit index 3";
  EXPECT_EQ(lib.open(99, 9600, kNoParity, 8, 0, 0, 1000), 0) << "no device for COM99";
  EXPECT_EQ(read(3, 0, 4), OSTRELLE_NO_RESPONSE) << "a failed open leaves the port closed";
}

TEST_F(LibraryTest, NoReplyWaitsTheFirstLimit) {
  PtyPair pty;
  lib.linkPort(5, pty.slavePath());
  ASSERT_EQ(lib.open(5, 19200, kNoParity, 8, 0, 0, 1000), 1);
  auto begin = Clock::now();
  EXPECT_EQ(read(3, 0, 4), OSTRELLE_NO_RESPONSE);
  EXPECT_GE(Clock::now() - begin, 600ms + 50ms + 450ms);
  EXPECT_EQ(pty.receive(100, 8).size(), 8u);
}

TEST_F(LibraryTest, AStartedReplyGetsTheSecondLimit) {
  PtyPair pty;
  lib.linkPort(5, pty.slavePath());
  ASSERT_EQ(lib.open(5, 19200, kNoParity, 8, 0, 0, 1000), 1);
  auto slave = std::async(std::launch::async, [&pty] {
    pty.receive(3000, 8);
    pty.send(unhex("01 03 04 00"));
  });
  auto begin = Clock::now();
  EXPECT_EQ(read(3, 0, 4), OSTRELLE_NO_RESPONSE);
  EXPECT_GE(Clock::now() - begin, 2000ms + 50ms + 450ms);
  slave.get();
}

TEST_F(LibraryTest, VanishedPortFailsWithoutSpinningAndRecoversByReopening) {
  auto first = std::make_unique<PtyPair>();
  lib.linkPort(7, first->slavePath());
  ASSERT_EQ(lib.open(7, 19200, kNoParity, 8, 0, 0, 1000), 1);
  first->closeMaster();
  first->releaseSlave();

  timespec cpuBefore{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuBefore);
  auto begin = Clock::now();
  EXPECT_EQ(read(3, 0, 4), OSTRELLE_NO_RESPONSE);
  EXPECT_EQ(read(3, 0, 4), OSTRELLE_NO_RESPONSE);
  timespec cpuAfter{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuAfter);
  double cpuMs = (cpuAfter.tv_sec - cpuBefore.tv_sec) * 1000.0 + (cpuAfter.tv_nsec - cpuBefore.tv_nsec) / 1e6;
  double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
  EXPECT_GE(wallMs, 1000.0);
  EXPECT_LT(cpuMs, wallMs / 4) << "nothing may spin on the dead port";

  PtyPair second;
  lib.linkPort(7, second.slavePath());
  lib.close();
  ASSERT_EQ(lib.open(7, 19200, kNoParity, 8, 0, 0, 1000), 1);
  auto slave = std::async(std::launch::async, [&second] {
    second.receive(3000, 8);
    second.send(unhex("01 03 04 00 0A 00 0B 9B F6"));
  });
  EXPECT_EQ(read(3, 0, 4), 0);
  slave.get();
  EXPECT_EQ(dataHex(), "00 0A 00 0B");
}

// The same conversation with a slave that we did not write.
void talkToPeer(Library& lib, std::vector<std::string> command) {
  PtyBridge bridge;
  command.push_back(bridge.right());
  PeerProcess peer(command);
  ASSERT_TRUE(peer.waitReady(20000)) << peer.output();
  lib.linkPort(9, bridge.left());
  ASSERT_EQ(lib.open(9, 19200, kNoParity, 8, 0, 0, 1000), 1);

  std::array<uint8_t, 256> data{};
  uint8_t length = 0;
  auto readHex = [&](uint8_t function, uint16_t start, uint16_t byteCount) {
    length = 0;
    uint8_t status = lib.read(1, function, start, byteCount, data.data(), &length);
    return status == 0 ? hex({data.begin(), data.begin() + length}) : "status " + std::to_string(status);
  };
  EXPECT_EQ(readHex(3, 0, 4), "00 0A 00 0B");
  EXPECT_EQ(readHex(4, 5, 4), "10 05 10 06");
  EXPECT_EQ(readHex(1, 0, 20), "49 02") << "coils 0, 3, 6 and 9 of ten";
  EXPECT_EQ(readHex(2, 0, 16), "55") << "every second of eight inputs";
  EXPECT_EQ(readHex(3, 200, 4), "status 2") << "illegal data address";
  uint8_t one[] = {0x12, 0x34};
  EXPECT_EQ(lib.write(1, 6, 20, one, 2), 0);
  EXPECT_EQ(readHex(3, 20, 2), "12 34");
  uint8_t three[] = {0xA1, 0xA2, 0xB1, 0xB2, 0xC1, 0xC2};
  EXPECT_EQ(lib.write(1, 16, 30, three, 6), 0);
  EXPECT_EQ(readHex(3, 30, 6), "A1 A2 B1 B2 C1 C2");
  EXPECT_EQ(lib.write(1, 16, 98, three, 6), 2) << "past the last register";
}

TEST_F(LibraryTest, TalksToALibmodbusSlave) { talkToPeer(lib, {LIBMODBUS_SLAVE}); }

TEST_F(LibraryTest, TalksToAPymodbusSlave) {
  talkToPeer(lib, {testing::kSystemPython, TAVRIN_SOURCE_DIR "drivers/modbus/tests/peers/pymodbus_slave.py"});
}

}  // namespace
}  // namespace tavrin::ostrelle
