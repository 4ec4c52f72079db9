// A simulator without a port, for tests that speak to it byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/crc16.h"
#include "sim/modbus_line.h"
#include "sim/pa_adapter.h"
#include "sim/profile.h"
#include "sim/simulator.h"
#include "testing/pty_pair.h"

namespace tavrin::sim::test {

using tavrin::testing::hex;
using tavrin::testing::unhex;

// The request of the hex text with its CRC appended.
inline Bytes framed(const std::string& hexText) {
  Bytes b = unhex(hexText);
  appendCrc(b);
  return b;
}

// The same, as hex text.
inline std::string withCrc(const std::string& hexText) { return hex(framed(hexText)); }

class RecordingTrace : public TraceSink {
 public:
  void record(std::string_view what, ByteView bytes) override {
    lines.push_back(std::string(what) + " " + hex(Bytes(bytes.begin(), bytes.end())));
  }
  std::vector<std::string> lines;
};

class Rig {
 public:
  Rig(std::string_view profileText, Bus bus, const std::vector<std::string>& faults = {}) {
    std::string error;
    auto p = parseProfile(profileText, bus, &error);
    if (!p) throw std::runtime_error(error);
    profile = std::make_unique<Profile>(std::move(*p));
    for (const auto& f : faults) {
      auto spec = parseFault(f, bus, &error);
      if (!spec) throw std::runtime_error(error);
      profile->setup.faults.push_back(*spec);
    }
    if (bus == Bus::Modbus) side = std::make_unique<ModbusLine>(profile->setup.modbus);
    else side = std::make_unique<PaAdapter>(profile->setup.profibus);
    simulator = std::make_unique<Simulator>(*side, FaultSet(profile->setup.faults), &trace);
  }

  std::vector<Transmission> send(const Bytes& bytes, double seconds = 0) { return simulator->receive(bytes, seconds); }

  // Every byte that goes on the line in answer to the request (hex without CRC).
  std::string ask(const std::string& hexText, double seconds = 0) { return onLine(send(framed(hexText), seconds)); }

  static std::string onLine(const std::vector<Transmission>& ts) {
    Bytes all;
    for (const auto& t : ts)
      for (const auto& s : t.segments) all.insert(all.end(), s.bytes.begin(), s.bytes.end());
    return hex(all);
  }

  ModbusSlave& slave(size_t i = 0) { return profile->setup.modbus.at(i); }
  PaTransmitter& device(size_t i = 0) { return profile->setup.profibus.at(i); }

  std::unique_ptr<Profile> profile;
  std::unique_ptr<BusSide> side;
  RecordingTrace trace;
  std::unique_ptr<Simulator> simulator;
};

}  // namespace tavrin::sim::test
