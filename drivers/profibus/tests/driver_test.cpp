// Driver/Kelvane.so as the program sees it: loaded with dlopen through a link
// in a program folder of the test's own, ports/COM5 pointing at a
// pseudo-terminal whose master plays the PA adapter.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "adapter_peer.h"
#include "kelvane.h"
#include "kelvane/telegram.h"
#include "platform/dynamic_library.h"
#include "testing/pty_pair.h"
#include "testing/temp_dir.h"

namespace tavrin::kelvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using tavrin::kelvane::testing::AdapterPeer;
using tavrin::kelvane::testing::Answer;
using tavrin::kelvane::testing::framed;
using tavrin::kelvane::testing::Piece;
using tavrin::kelvane::testing::say;
using tavrin::testing::hex;
using tavrin::testing::PtyPair;
using tavrin::testing::TempDir;
using tavrin::testing::unhex;

constexpr int kPort = 5;

// The library, loaded once per process from a program folder of its own.
struct Driver {
  TempDir folder;
  platform::DynamicLibrary library;
  decltype(&::OpenComPort) open = nullptr;
  decltype(&::SetRespondOutTime) setResponseTimeout = nullptr;
  decltype(&::GetCommCounts) counts = nullptr;
  decltype(&::ClearCommCounts) clearCounts = nullptr;
  decltype(&::GetSlaveStatus) status = nullptr;
  decltype(&::GetSlaveDiag) diagnosis = nullptr;
  decltype(&::ModifySlaveAdd) modify = nullptr;
  decltype(&::C3Read) read = nullptr;
  decltype(&::C3Write) write = nullptr;
  decltype(&::CloseComPort) close = nullptr;
  decltype(&::GetCommPortNumber) portNumber = nullptr;

  Driver() {
    std::filesystem::create_directories(folder.file("Driver"));
    std::filesystem::create_directories(folder.file("ports"));
    std::filesystem::create_symlink(TAVRIN_DIST_DIR "Driver/Kelvane.so", folder.file("Driver/Kelvane.so"));
    if (!library.open(folder.file("Driver/Kelvane.so"))) return;
    open = library.function<decltype(::OpenComPort)>("OpenComPort");
    setResponseTimeout = library.function<decltype(::SetRespondOutTime)>("SetRespondOutTime");
    counts = library.function<decltype(::GetCommCounts)>("GetCommCounts");
    clearCounts = library.function<decltype(::ClearCommCounts)>("ClearCommCounts");
    status = library.function<decltype(::GetSlaveStatus)>("GetSlaveStatus");
    diagnosis = library.function<decltype(::GetSlaveDiag)>("GetSlaveDiag");
    modify = library.function<decltype(::ModifySlaveAdd)>("ModifySlaveAdd");
    read = library.function<decltype(::C3Read)>("C3Read");
    write = library.function<decltype(::C3Write)>("C3Write");
    close = library.function<decltype(::CloseComPort)>("CloseComPort");
    portNumber = library.function<decltype(::GetCommPortNumber)>("GetCommPortNumber");
  }
  bool complete() const {
    return open && setResponseTimeout && counts && clearCounts && status && diagnosis && modify && read && write &&
           close && portNumber;
  }
  // Points COM5 at path.
  void plug(const std::string& path) {
    std::filesystem::remove(folder.file("ports/COM5"));
    std::filesystem::create_symlink(path, folder.file("ports/COM5"));
  }
  std::vector<uint32_t> counters() const {
    std::vector<uint32_t> c(KELVANE_COUNTER_COUNT);
    counts(c.data());
    return c;
  }
};

Driver& driver() {
  static Driver d;
  return d;
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(d.complete()) << d.library.error();
    d.plug(pty.slavePath());
    d.clearCounts();
  }
  void TearDown() override { d.close(); }
  bool open(int responseTimeoutMs = 1000) { return d.open(kPort, 0, 0, 0, 0, 0, responseTimeoutMs) == 1; }

  Driver& d = driver();
  PtyPair pty;
};

const std::string kStatusReply = "10 01 05 00 56 74";

TEST_F(DriverTest, StationStatusAcceptsOnlyTheStationsOwnAnswer) {
  ASSERT_TRUE(open());
  std::vector<std::vector<uint8_t>> replies{unhex(kStatusReply), framed("10 01 06 00"), unhex("E5"),
                                            unhex("10 01 05 00 56 75")};
  size_t next = 0;
  AdapterPeer peer(pty.master(), [&](const auto&) { return say(replies[next++]); });
  EXPECT_EQ(d.status(5), 0);
  // A reply that answers something else is waited past, up to the time-out.
  d.setResponseTimeout(150);
  EXPECT_EQ(d.status(5), 6) << "another station";
  EXPECT_EQ(d.status(5), 6) << "a short acknowledgement";
  EXPECT_EQ(d.status(5), 15) << "a bad CRC is no reply";
  for (const auto& request : peer.requests()) EXPECT_EQ(hex(request), "10 05 01 49 D4 83");
  EXPECT_EQ(d.counters(), (std::vector<uint32_t>{4, 0, 1, 3, 0, 3}));
  d.clearCounts();
  EXPECT_EQ(d.counters(), (std::vector<uint32_t>(6, 0)));
}

TEST_F(DriverTest, ReadGivesTheDataOrTheThreeErrorBytes) {
  ASSERT_TRUE(open());
  // The third reply comes after noise and a header that claims more bytes
  // than follow it.
  auto noisy = unhex("FF 00 68 30 30 68 11");
  auto third = framed("68 0A 0A 68 81 85 08 00 00 5E 01 10 01 77");
  noisy.insert(noisy.end(), third.begin(), third.end());
  std::vector<Answer> answers{say(framed("68 0C 0C 68 81 85 08 00 00 5E 01 10 03 0A 0B 0C")),
                              say(framed("68 09 09 68 81 85 08 00 00 DE 80 B6 00")), say(noisy)};
  size_t next = 0;
  AdapterPeer peer(pty.master(), [&](const auto&) { return answers[next++]; });
  uint8_t data[256] = {};
  uint8_t length = 0xFF;
  EXPECT_EQ(d.read(5, 1, 0x10, 20, data, &length), 0);
  EXPECT_EQ(hex({data, data + length}), "0A 0B 0C");
  EXPECT_EQ(d.read(5, 1, 0x10, 20, data, &length), 9);
  EXPECT_EQ(hex({data, data + length}), "80 B6 00");
  EXPECT_EQ(d.read(5, 1, 0x10, 20, data, &length), 0);
  EXPECT_EQ(hex({data, data + length}), "77");
  ASSERT_TRUE(peer.waitForRequests(3));
  EXPECT_EQ(hex(peer.requests()[0]), "68 09 09 68 85 81 44 00 00 5E 01 10 14 F1 0E");
}

TEST_F(DriverTest, WriteSendsTheDataAndRefusesTooMuch) {
  ASSERT_TRUE(open());
  std::vector<Answer> answers{say(framed("68 09 09 68 81 85 08 00 00 5F 01 10 02")),
                              say(framed("68 09 09 68 81 85 08 00 00 DF 80 B1 00")),
                              say(framed("68 06 06 68 81 85 08 00 00 DF"))};
  size_t next = 0;
  AdapterPeer peer(pty.master(), [&](const auto&) { return answers[next++]; });
  const uint8_t value[] = {0x12, 0x34};
  uint8_t error[256] = {};
  uint8_t length = 0xFF;
  EXPECT_EQ(d.write(5, 1, 0x10, value, 2, error, &length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(d.write(5, 1, 0x10, value, 2, error, &length), 9);
  EXPECT_EQ(hex({error, error + length}), "80 B1 00");
  EXPECT_EQ(d.write(5, 1, 0x10, value, 2, error, &length), 6) << "a negative reply without its error bytes";
  EXPECT_EQ(length, 0);
  ASSERT_TRUE(peer.waitForRequests(3));
  auto expected = unhex("68 0B 0B 68 85 81 44 00 00 5F 01 10 02 12 34");
  appendCrc(expected);
  EXPECT_EQ(peer.requests()[0], expected);

  std::vector<uint8_t> big(247, 0xAB);
  EXPECT_EQ(d.write(5, 1, 0x10, big.data(), 247, error, &length), 27);
  EXPECT_EQ(d.write(5, 1, 0x10, nullptr, 2, error, &length), 27);
  EXPECT_EQ(d.read(5, 1, 0x10, 2, nullptr, &length), 27);
  EXPECT_EQ(d.diagnosis(5, error, nullptr), 27);
  EXPECT_EQ(peer.requests().size(), 3u) << "refused locally, nothing sent";
}

// A station behind the adapter that answers its diagnosis at its address and
// moves when told to.
struct Station {
  uint8_t address;
  uint8_t occupied = 0;  // another station's address, or 0

  Answer operator()(const std::vector<uint8_t>& request) {
    if (request.size() == 11 && request[6] == 0x4D && request[7] == 0x3C) {
      uint8_t to = request[4] & 0x7F;
      if (to != address && to != occupied) return {};
      char head[64];
      std::snprintf(head, sizeof head, "68 0B 0B 68 81 %02X 08 3E 3C 00 0C 00 02 12 34", to | 0x80);
      return say(framed(head));
    }
    if (request.size() == 15 && request[7] == 0x37 && (request[4] & 0x7F) == address) {
      address = request[9];
      return say(unhex("E5"));
    }
    return {};
  }
};

TEST_F(DriverTest, ModifySlaveAddressMovesAStationToAFreeAddress) {
  ASSERT_TRUE(open(400));
  Station station{5};
  AdapterPeer peer(pty.master(), std::ref(station));
  uint8_t data[256];
  uint8_t length = 0;
  EXPECT_EQ(d.diagnosis(5, data, &length), 0);
  EXPECT_EQ(hex({data, data + length}), "00 0C 00 02 12 34");
  EXPECT_EQ(d.modify(5, 9), 0);
  EXPECT_EQ(station.address, 9);
  auto requests = peer.requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(hex(requests[0]), hex(framed("68 05 05 68 85 81 4D 3C 3E")));
  EXPECT_EQ(hex(requests[1]), hex(framed("68 05 05 68 85 81 4D 3C 3E")));
  EXPECT_EQ(hex(requests[2]), hex(framed("68 05 05 68 89 81 4D 3C 3E")));
  EXPECT_EQ(hex(requests[3]), hex(framed("68 09 09 68 85 81 4D 37 3E 09 12 34 00")));
  EXPECT_EQ(hex(requests[4]), hex(framed("68 05 05 68 89 81 4D 3C 3E")));
}

TEST_F(DriverTest, ModifySlaveAddressOntoAnAnsweringAddressIsRefused) {
  ASSERT_TRUE(open());
  Station station{5, 9};
  AdapterPeer peer(pty.master(), std::ref(station));
  EXPECT_EQ(d.modify(5, 9), 27);
  EXPECT_EQ(station.address, 5);
  ASSERT_EQ(peer.requests().size(), 2u) << "no set-address telegram";
  d.setResponseTimeout(150);
  EXPECT_EQ(d.modify(3, 9), 15) << "nobody at the old address";
}

TEST_F(DriverTest, ResponseTimeoutsAreKeptWithinTheirLimits) {
  EXPECT_EQ(d.setResponseTimeout(50), 1000);
  EXPECT_EQ(d.setResponseTimeout(5000), 3000);
  EXPECT_EQ(d.setResponseTimeout(120), 120);
  ASSERT_TRUE(open(50));
  AdapterPeer silent(pty.master(), nullptr);
  auto start = Clock::now();
  EXPECT_EQ(d.status(5), 15);
  EXPECT_GE(Clock::now() - start, 950ms) << "50 ms became 1000 ms";
  EXPECT_EQ(d.counters(), (std::vector<uint32_t>{1, 0, 0, 1, 0, 1}));
}

TEST_F(DriverTest, AReplySplitByAPauseIsNotRecognised) {
  ASSERT_TRUE(open(1000));
  auto reply = unhex(kStatusReply);
  AdapterPeer peer(pty.master(), [&](const auto&) {
    return Answer{Piece{std::vector<uint8_t>(reply.begin(), reply.begin() + 3), {}},
                  Piece{std::vector<uint8_t>(reply.begin() + 3, reply.end()), 500ms}};
  });
  uint8_t status = d.status(5);
  EXPECT_TRUE(status == 6 || status == 15) << int(status);
}

TEST_F(DriverTest, AVanishedPortFailsUntilItIsReopened) {
  EXPECT_EQ(d.status(5), 103) << "not open yet";
  ASSERT_TRUE(open());
  pty.closeMaster();
  EXPECT_EQ(d.status(5), 103);
  EXPECT_EQ(d.status(5), 103);

  PtyPair replugged;
  d.plug(replugged.slavePath());
  d.close();
  ASSERT_TRUE(open());
  AdapterPeer peer(replugged.master(), [](const auto&) { return say(unhex(kStatusReply)); });
  EXPECT_EQ(d.status(5), 0);
}

TEST_F(DriverTest, OpenFailsForAPortWithoutDevice) {
  std::filesystem::remove(d.folder.file("ports/COM5"));
  std::filesystem::create_symlink(d.folder.file("nothing-there"), d.folder.file("ports/COM5"));
  EXPECT_EQ(d.open(kPort, 9600, 0, 8, 0, 0, 1000), 0);
  EXPECT_EQ(d.status(5), 103);
}

// tavrin-sim as the PA adapter, on its own pseudo-terminal behind
// ports/COM<n>; ended by its pid.
class Simulator {
 public:
  Simulator(const std::string& link, const std::vector<std::string>& extra) : link_(link) {
    std::vector<std::string> args{TAVRIN_DIST_DIR "tavrin-sim", "--bus",  "profibus", "--link", link, "--profile",
                                  TAVRIN_SOURCE_DIR "sim/profiles/profibus-pressure.ini", "--pace"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  }
  ~Simulator() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  // The simulator is ready once its link exists.
  bool ready() const {
    for (auto deadline = Clock::now() + 20s; Clock::now() < deadline; std::this_thread::sleep_for(10ms))
      if (pid_ > 0 && std::filesystem::is_symlink(link_)) return true;
    return false;
  }

 private:
  std::string link_;
  pid_t pid_ = -1;
};

TEST_F(DriverTest, IdentifiesWritesAndMovesATransmitterOfTheSimulator) {
  constexpr int kSimPort = 6;
  std::filesystem::remove(d.folder.file("ports/COM6"));
  Simulator sim(d.folder.file("ports/COM6"), {});
  ASSERT_TRUE(sim.ready());
  ASSERT_EQ(d.open(kSimPort, 0, 0, 0, 0, 0, 400), 1);
  EXPECT_EQ(d.status(5), 0);
  uint8_t data[256];
  uint8_t length = 0;
  ASSERT_EQ(d.read(5, 0, 79, 8, data, &length), 0);
  EXPECT_EQ(hex({data, data + length}), "01 72 0A 31 00 00 01 02");
  ASSERT_EQ(d.diagnosis(5, data, &length), 0);
  ASSERT_EQ(length, 6);
  EXPECT_EQ(hex({data + 4, data + 6}), "0A 31") << "the ident number";

  std::vector<uint8_t> tag(32, ' ');
  std::copy_n("PT-PA-09", 8, tag.begin());
  EXPECT_EQ(d.write(5, 0, 18, tag.data(), 32, data, &length), 0);
  ASSERT_EQ(d.read(5, 0, 18, 32, data, &length), 0);
  EXPECT_EQ(std::vector<uint8_t>(data, data + length), tag);
  EXPECT_EQ(d.write(5, 0, 26, tag.data(), 2, data, &length), 9);
  EXPECT_EQ(hex({data, data + length}), "80 B6 00") << "read-only";

  EXPECT_EQ(d.modify(5, 6), 27) << "the other transmitter is at 6";
  EXPECT_EQ(d.modify(5, 9), 0);
  EXPECT_EQ(d.status(9), 0);
  EXPECT_EQ(d.modify(9, 5), 0);
}

TEST_F(DriverTest, RecoversFromAnAdapterThatIsUnpluggedAndPluggedIn) {
  constexpr int kSimPort = 6;
  std::filesystem::remove(d.folder.file("ports/COM6"));
  Simulator sim(d.folder.file("ports/COM6"), {"--fault", "hangup,service=read,slot=1,index=26,count=1"});
  ASSERT_TRUE(sim.ready());
  ASSERT_EQ(d.open(kSimPort, 0, 0, 0, 0, 0, 800), 1);
  uint8_t data[256];
  uint8_t length = 0;
  EXPECT_EQ(d.read(5, 1, 26, 5, data, &length), 103);
  EXPECT_EQ(d.read(5, 1, 26, 5, data, &length), 103);
  d.close();
  ASSERT_EQ(d.open(kSimPort, 0, 0, 0, 0, 0, 800), 1);
  EXPECT_EQ(d.read(5, 1, 26, 5, data, &length), 0);
  EXPECT_EQ(length, 5);
}

TEST_F(DriverTest, PortSearchWithoutAMatchIsMinusOne) {
  EXPECT_EQ(d.portNumber(nullptr, "PID_6001"), -1);
  EXPECT_EQ(d.portNumber("VID_NONE", "PID_NONE"), -1);
}

}  // namespace
}  // namespace tavrin::kelvane
