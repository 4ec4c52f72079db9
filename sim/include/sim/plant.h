// The plant: the pressure and the temperature that a test bench or a
// temperature chamber applies to every transmitter at once, and how each
// transmitter's sensor turns them into its raw values, errors included.
//
// A plant file is a key file:
//   [PLANT]
//   PRESSURE = 100
//   TEMPERATURE = 20
// read again whenever it changes (its modification time, size or inode), so
// a test or an engineer moves the plant by rewriting the file. A missing
// file, a missing key or a value that is no number keeps what was read last
// (at first: pressure 0, 20 degrees C).
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace tavrin::sim {

struct PlantState {
  double pressure = 0;
  double temperature = 20;
};

class Plant {
 public:
  virtual ~Plant() = default;
  virtual PlantState now() = 0;
};

// A plant that never moves.
class FixedPlant : public Plant {
 public:
  explicit FixedPlant(PlantState state = {}) : state_(state) {}
  PlantState now() override { return state_; }

 private:
  PlantState state_;
};

class PlantFile : public Plant {
 public:
  explicit PlantFile(std::string path) : path_(std::move(path)) {}
  PlantState now() override;

 private:
  std::string path_;
  PlantState state_;
  // What identified the file when it was read last.
  bool seen_ = false;
  int64_t mtimeNs_ = 0;
  int64_t size_ = 0;
  uint64_t inode_ = 0;
};

// The sensor of a transmitter on the plant, at the sensor's reference
// temperature of 20 degrees C:
//   raw pressure    = offset + gain x P + nonlinear x P^2 + tempco x (T - 20) + jitter
//   raw temperature = T + jitter
// with a uniform jitter of +-noise on each.
struct Sensor {
  static constexpr double kReferenceTemperature = 20;
  double gain = 1;
  double offset = 0;
  double nonlinear = 0;
  double tempco = 0;
  double noise = 0;

  double rawPressure(const PlantState& plant, std::minstd_rand& rng) const;
  double rawTemperature(const PlantState& plant, std::minstd_rand& rng) const;
};

}  // namespace tavrin::sim
