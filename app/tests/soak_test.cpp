// The program under faults for minutes: repeated reads and writes through
// the links and the real drivers against tavrin-sim, which plays random
// faults aimed at the parameters in use (late replies, lost replies, noise,
// bad CRCs, split replies, other stations, refusals, a vanishing adapter).
// Every value the links report as read is compared with the simulator's
// memory at that moment (tavrin-sim --memory): a read may fail, it may
// never deliver another value.
//
// TAVRIN_SOAK_SECONDS sets the duration per bus (default 120),
// TAVRIN_SOAK_SEED the random seed (printed, so that a failure's faults and
// operations can be replayed; the timing of the line is the machine's).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/links.h"
#include "program_folder.h"
#include "sim/profile.h"
#include "sim/values.h"
#include "testing/pty_pair.h"
#include "ui/fake_user_interface.h"

namespace tavrin::app {
namespace {

using Clock = std::chrono::steady_clock;
using testing::Simulator;
using testing::TestProgramFolder;
using tavrin::testing::hex;
using Bytes = std::vector<uint8_t>;

long environmentNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (!text || !*text) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return end && *end == '\0' && value > 0 ? value : fallback;
}

// Answers every question Yes (a resend after the adapter vanished) and
// records the rest as the fake does.
class YesInterface : public ui::FakeUserInterface {
 public:
  ui::Answer message(const ui::Message& m) override {
    if (m.buttons == ui::Buttons::YesNo) {
      ++questions;
      return ui::Answer::Yes;
    }
    return FakeUserInterface::message(m);
  }
  int questions = 0;
};

// One parameter the soak reads and writes.
struct Parameter {
  std::string name;
  uint8_t function = 3;  // Modbus read function
  uint16_t address = 0;  // Modbus register or coil
  uint8_t slot = 0, index = 0;  // Profibus
  size_t size = 0;
  bool writable = false;
};

struct Tally {
  long rounds = 0, requests = 0, faults = 0;
  long reads = 0, readsFailed = 0, writes = 0, writesFailed = 0, wrong = 0, questions = 0;
  double longestOpSeconds = 0;
  std::vector<std::string> wrongValues;
};

class Soak {
 public:
  Soak(const std::string& bus, uint32_t seed) : bus_(bus), random_(seed) {}

  // Random faults aimed at the parameters, each acting on a few requests
  // after a few of its own have passed.
  std::vector<std::string> faults(const std::vector<Parameter>& parameters) {
    const bool modbus = bus_ == "modbus";
    std::vector<std::string> args;
    const int count = pick(6, 12);
    for (int i = 0; i < count; ++i) {
      const Parameter& p = parameters[static_cast<size_t>(pick(0, static_cast<int>(parameters.size()) - 1))];
      const std::string target = modbus ? "register=" + std::to_string(p.address)
                                        : "slot=" + std::to_string(p.slot) + ",index=" + std::to_string(p.index);
      std::string kind;
      switch (pick(0, modbus ? 9 : 10)) {
        case 0: kind = "no-reply"; break;
        case 1:
        case 2:
        case 9:
        case 10:
          // Half of them later than every attempt of their request, so
          // that they arrive while the next request waits for its reply.
          // (Modbus: three attempts of 1.1 s; Profibus: three of 0.8 s.)
          kind = "late=" + std::to_string(chance(50) ? pick(300, 2300) : modbus ? pick(3300, 4500) : pick(2500, 3500));
          break;
        case 3: kind = "noise"; break;
        case 4: kind = "bad-crc"; break;
        case 5: kind = "split=" + std::to_string(pick(10, 120)); break;
        case 6: kind = "other-station=" + std::string(modbus ? "2" : "6"); break;
        case 7: kind = modbus ? "exception=" + std::to_string(pick(1, 6)) : "negative=B6"; break;
        // A vanished Modbus port stays failed until the link is closed
        // (status 25, no resend question): only the adapter vanishes here.
        case 8: kind = modbus ? "late=" + std::to_string(pick(300, 4000)) : "hangup"; break;
      }
      args.push_back("--fault");
      args.push_back(kind + "," + target + ",after=" + std::to_string(pick(0, 2)) + ",count=" +
                     std::to_string(pick(1, 3)));
    }
    return args;
  }

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool chance(int percent) { return pick(1, 100) <= percent; }

 private:
  std::string bus_;
  std::mt19937 random_;
};

// Operations against one simulator and its faults.
constexpr int kOperationsPerRound = 30;

// The profile's coils 0 to 3, read in one byte.
constexpr size_t kCoils = 4;

// The memory of the simulator's devices as its --memory file shows it.
class Memory {
 public:
  Memory(std::string path, sim::Bus bus) : path_(std::move(path)), bus_(bus) {}

  bool load() {
    std::string error;
    profile_ = sim::loadProfile(path_, bus_, &error);
    return profile_.has_value();
  }
  Bytes modbus(const Parameter& p) const {
    const sim::ModbusSlave& slave = profile_->setup.modbus.front();
    Bytes out;
    if (p.function == 1) {
      uint8_t bits = 0;
      for (size_t b = 0; b < kCoils; ++b)
        if (slave.bit(sim::ModbusTable::Coil, static_cast<uint16_t>(p.address + b)).value_or(false))
          bits = static_cast<uint8_t>(bits | 1u << b);
      return {bits};
    }
    const auto table = p.function == 4 ? sim::ModbusTable::Input : sim::ModbusTable::Holding;
    for (size_t r = 0; r < p.size / 2; ++r) {
      const uint16_t v = slave.reg(table, static_cast<uint16_t>(p.address + r)).value_or(0);
      out.push_back(static_cast<uint8_t>(v >> 8));
      out.push_back(static_cast<uint8_t>(v));
    }
    return out;
  }
  Bytes profibus(uint8_t address, const Parameter& p) const {
    for (const sim::PaTransmitter& device : profile_->setup.profibus) {
      if (device.address() != address) continue;
      auto it = device.entries().find({p.slot, p.index});
      if (it != device.entries().end()) return it->second.data;
    }
    return {};
  }

 private:
  std::string path_;
  sim::Bus bus_;
  std::optional<sim::Profile> profile_;
};

std::vector<Parameter> modbusParameters() {
  return {{"pressure_unit", 3, 0, 0, 0, 2, true},  {"temperature_unit", 3, 1, 0, 0, 2, true},
          {"range", 3, 2, 0, 0, 8, true},          {"damping", 3, 6, 0, 0, 4, true},
          {"output_mode", 3, 8, 0, 0, 2, true},    {"alarm_enable", 3, 9, 0, 0, 2, true},
          {"tag", 3, 16, 0, 0, 16, true},          {"serial_number", 3, 0x100, 0, 0, 16, false},
          {"status_word", 4, 4, 0, 0, 2, false},   {"alarm_coils", 1, 0, 0, 0, 1, false}};
}

std::vector<Parameter> profibusParameters() {
  return {{"pv_unit", 0, 0, 1, 33, 2, true},     {"scale", 0, 0, 1, 34, 8, true},
          {"damping", 0, 0, 1, 36, 4, true},     {"sensor_unit", 0, 0, 1, 106, 2, true},
          {"tag", 0, 0, 0, 18, 32, true},        {"software_revision", 0, 0, 0, 24, 16, false},
          {"serial_number", 0, 0, 0, 28, 16, false}, {"temperature_unit", 0, 0, 3, 32, 2, true}};
}

// A value to write: mostly one the device takes, now and then one it
// refuses (outside its range).
Bytes valueFor(const Parameter& p, Soak& soak) {
  Bytes v(p.size);
  auto putFloat = [&](size_t at, float f) { sim::encodeValue(sim::Encoding::F32, f, v.data() + at); };
  if (p.name == "damping") {
    putFloat(0, soak.chance(90) ? static_cast<float>(soak.pick(0, 320)) / 10.0f : 40.0f);
  } else if (p.name == "range" || p.name == "scale") {
    putFloat(0, static_cast<float>(soak.pick(-100, 100)));
    putFloat(4, static_cast<float>(soak.pick(101, 1000)));
  } else if (p.name == "output_mode") {
    v[1] = static_cast<uint8_t>(soak.chance(90) ? soak.pick(0, 1) : 2);
  } else if (p.name == "tag") {
    for (auto& c : v) c = static_cast<uint8_t>(soak.pick('A', 'Z'));
  } else {
    for (auto& c : v) c = static_cast<uint8_t>(soak.pick(0, 255));
  }
  return v;
}

class SoakTest : public ::testing::TestWithParam<std::string> {
 protected:
  void useBus(const std::string& type, int port) {
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=" + type + "\nPORT=" + std::to_string(port) +
                                "\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\nFLOWCTRL=0\n");
  }

  TestProgramFolder& folder = testing::realDrivers();
  YesInterface ui;
  DeviceLinks links{folder.files(), ui};
};

TEST_P(SoakTest, EveryValueReadIsTheDevicesOwn) {
  const std::string bus = GetParam();
  const bool modbus = bus == "modbus";
  const long seconds = environmentNumber("TAVRIN_SOAK_SECONDS", 120);
  const auto seed = static_cast<uint32_t>(environmentNumber("TAVRIN_SOAK_SEED", 1));
  std::printf("soak %s: %ld s, seed %u (TAVRIN_SOAK_SEED=%u replays its faults and operations)\n", bus.c_str(), seconds, seed, seed);
  std::fflush(stdout);
  SCOPED_TRACE("seed " + std::to_string(seed));

  const int port = modbus ? 71 : 72;
  useBus(modbus ? "MODBUS" : "PROFIBUS", port);
  const std::string memoryPath = folder.file(bus + "-memory.ini");
  const std::string tracePath = folder.file(bus + "-trace.txt");
  const std::string profile = TAVRIN_SOURCE_DIR "sim/profiles/" + std::string(modbus ? "modbus" : "profibus") +
                              "-pressure.ini";
  const std::vector<Parameter> parameters = modbus ? modbusParameters() : profibusParameters();
  links.bind();

  Soak soak(bus, seed);
  Tally tally;
  std::vector<uint8_t> buffer(256);
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  while (Clock::now() < end) {
    // A fresh simulator with fresh faults every round, so that faults stay
    // dense; its memory starts from the profile again.
    std::vector<std::string> args{"--memory", memoryPath, "--trace", tracePath};
    for (const std::string& f : soak.faults(parameters)) args.push_back(f);
    {
      Simulator sim(bus, folder.portLink(port), profile, args);
      ASSERT_TRUE(sim.ready());
      Memory memory(memoryPath, modbus ? sim::Bus::Modbus : sim::Bus::Profibus);
      ++tally.rounds;
      const auto roundEnd = std::min(end, Clock::now() + std::chrono::seconds(20));
      for (int op = 0; op < kOperationsPerRound && Clock::now() < roundEnd; ++op) {
        const Parameter& p = parameters[static_cast<size_t>(soak.pick(0, static_cast<int>(parameters.size()) - 1))];
        const uint8_t station = modbus ? 1 : static_cast<uint8_t>(soak.chance(80) ? 5 : 6);
        links.setBusAddress(station);
        const auto began = Clock::now();
        if (p.writable && soak.chance(25)) {
          const Bytes value = valueFor(p, soak);
          const bool ok = modbus ? links.modbusWrite(p.size == 2 ? 6 : 16, p.address, value)
                                 : links.profibusWrite(p.slot, p.index, value);
          ++(ok ? tally.writes : tally.writesFailed);
        } else {
          size_t received = 0;
          const bool ok = modbus ? links.modbusRead(p.function, p.address,
                                                    static_cast<uint8_t>(p.function == 1 ? 2 * kCoils : p.size),
                                                    buffer, received)
                                 : links.profibusRead(p.slot, p.index, static_cast<uint8_t>(p.size), buffer, received);
          if (!ok) {
            ++tally.readsFailed;
          } else {
            ++tally.reads;
            ASSERT_TRUE(memory.load()) << memoryPath;
            const Bytes got(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(received));
            const Bytes want = modbus ? memory.modbus(p) : memory.profibus(station, p);
            if (got != want) {
              ++tally.wrong;
              if (tally.wrongValues.size() < 20)
                tally.wrongValues.push_back(p.name + " at " + std::to_string(station) + ": read " + hex(got) +
                                            ", the device holds " + hex(want));
            }
          }
        }
        tally.longestOpSeconds =
            std::max(tally.longestOpSeconds, std::chrono::duration<double>(Clock::now() - began).count());
        ui.clearRecord();
      }
      links.close(modbus ? CommunicationType::Modbus : CommunicationType::Profibus);
    }
    // The simulator has ended: its trace is complete.
    std::istringstream trace(folder.read(bus + "-trace.txt"));
    for (std::string line; std::getline(trace, line);) {
      if (line.find(" request ") != std::string::npos) ++tally.requests;
      if (line.find(" fault ") != std::string::npos) ++tally.faults;
    }
  }
  tally.questions = ui.questions;
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  std::ostringstream summary;
  summary << "soak " << bus << ", seed " << seed << ", " << static_cast<long>(elapsed) << " s: " << tally.rounds
          << " rounds, " << tally.requests << " requests on the line, " << tally.faults << " faults injected, "
          << tally.reads << " reads checked, " << tally.readsFailed << " failed, " << tally.writes << " writes, "
          << tally.writesFailed << " failed, " << tally.questions << " resend questions, longest operation "
          << tally.longestOpSeconds << " s, " << tally.wrong << " wrong values";
  std::printf("%s\n", summary.str().c_str());
  for (const std::string& w : tally.wrongValues) std::printf("  %s\n", w.c_str());
  EXPECT_EQ(tally.wrong, 0) << summary.str();
  EXPECT_GE(tally.reads, 10) << "too few reads to tell anything: " << summary.str();
  EXPECT_GT(tally.faults, 0) << summary.str();
  // Every driver call has its time limits: an operation with all its
  // attempts and a few resends stays well within a minute.
  EXPECT_LT(tally.longestOpSeconds, 60.0) << summary.str();
}

INSTANTIATE_TEST_SUITE_P(Buses, SoakTest, ::testing::Values("modbus", "profibus"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace tavrin::app
