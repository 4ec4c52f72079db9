// The procedures' bus over simulated PA transmitters in this process: the
// simulator's own device model (access code, table checks, the plant)
// without a serial line, so that a test follows every request and can make
// any of them fail.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "calibration/transmitter_bus.h"
#include "sim/plant.h"
#include "sim/profile.h"

namespace tavrin::calibration::testing {

// One request as the bus saw it.
struct Request {
  enum class Kind { Present, Read, Write } kind = Kind::Read;
  int address = 0;
  int slot = 0;
  int index = 0;
  std::vector<uint8_t> data;  // of a write
  bool failed = false;
};

// A plant a test moves by hand.
class ManualPlant : public sim::Plant {
 public:
  sim::PlantState now() override {
    std::lock_guard lock(mutex_);
    return state_;
  }
  void set(double pressure, double temperature) {
    std::lock_guard lock(mutex_);
    state_ = {pressure, temperature};
  }

 private:
  std::mutex mutex_;
  sim::PlantState state_;
};

class SimBus : public TransmitterBus {
 public:
  // A Profibus profile text; every transmitter on the manual plant, without noise.
  explicit SimBus(std::string_view profile);

  bool open() override;
  uint8_t address() const override;
  void setAddress(uint8_t address) override;
  bool present(uint8_t address) override;
  bool read(uint8_t slot, uint8_t index, std::span<uint8_t> data, size_t& received) override;
  bool write(uint8_t slot, uint8_t index, std::span<const uint8_t> data, std::string& cause) override;

  // Requests for which this is true get no answer (status "No response
  // from slave"), as from a transmitter that has stopped answering.
  void failWhen(std::function<bool(const Request&)> predicate);
  // Every request waits here while held (a worker caught in the middle).
  void hold();
  void release();
  // Blocks until a request is waiting at the hold.
  void waitUntilHeld();

  std::vector<Request> requests() const;
  std::vector<Request> writes() const;
  void clearRequests();
  sim::PaTransmitter* device(int address);
  ManualPlant& plant() { return plant_; }
  int opens() const { return opens_; }

 private:
  // Records the request, waits at the hold, and says whether it is answered.
  bool pass(Request request, double* now);

  std::unique_ptr<sim::Profile> profile_;
  ManualPlant plant_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Request> requests_;
  std::function<bool(const Request&)> fail_;
  bool held_ = false;
  int waiting_ = 0;
  uint8_t address_ = 0;
  int opens_ = 0;
  double seconds_ = 0;
};

// N transmitters at the given addresses, each with its own serial number
// "SN-<address>" and an exact sensor (gain, offset).
std::string profileOf(std::initializer_list<int> addresses);

}  // namespace tavrin::calibration::testing
