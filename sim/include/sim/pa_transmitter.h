// A PA transmitter behind the adapter: its station address, DP ident number
// and diagnosis, its slot/index memory with read-only entries, limits and
// dynamic values, and optionally the calibration behaviour of slot 3 with
// the entries that carry the resulting measurement. A transmitter with a
// sensor takes its raw pressure and temperature (slot 3, indexes 37 and 31)
// from the plant instead.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "sim/calibration.h"
#include "sim/dynamics.h"
#include "sim/pa_memory.h"
#include "sim/plant.h"

namespace tavrin::sim {

class PaTransmitter {
 public:
  PaTransmitter(uint8_t address, uint16_t identNumber) : address_(address), ident_(identNumber), rng_(address + 1u) {}

  uint8_t address() const { return address_; }
  uint16_t identNumber() const { return ident_; }

  // The slave diagnosis: status bytes 1 to 3, master address, ident number,
  // unless the profile gives its own.
  Bytes diagnosis() const;
  void setDiagnosis(Bytes bytes) { diagnosis_ = std::move(bytes); }

  // Set slave address: accepted when the ident number matches, the new
  // address is a station address (0 to 125) and the device has not been
  // locked by an earlier change that asked for it.
  bool moveTo(uint8_t newAddress, uint16_t identNumber, bool lockAfterwards);

  EntryMap& entries() { return entries_; }
  const EntryMap& entries() const { return entries_; }
  void addDynamic(EntryKey key, const DynamicValue& value);
  bool isComputed(EntryKey key) const;
  void addLimit(EntryKey key, const ValueLimit& limit) { limits_.push_back({key, limit}); }
  // Turns on the slot 3 behaviour; outputs are the entries that carry the
  // measurement (a float at their start). False with a reason when the
  // entries do not fit.
  bool enableCalibration(const std::vector<EntryKey>& outputs, std::string* error);
  const Calibration* calibration() const { return calibration_ ? &*calibration_ : nullptr; }
  // The raw values follow the plant through this sensor (needs the
  // calibration behaviour). Without a plant the plant stands at its start.
  void setSensor(const Sensor& sensor);
  const Sensor* sensor() const { return sensor_ ? &*sensor_ : nullptr; }
  void setPlant(Plant* plant) { plant_ = plant; }
  // No jitter on any value: the sensor's and the dynamic values'.
  void disableNoise();

  // DPV1 read: at most maxLength bytes of the entry.
  std::variant<Bytes, DpvError> read(uint8_t slot, uint8_t index, uint8_t maxLength, double seconds);
  // DPV1 write: nothing when accepted.
  std::optional<DpvError> write(uint8_t slot, uint8_t index, ByteView data, double seconds);

  void refresh(double seconds);

 private:
  std::optional<DpvError> missing(uint8_t slot) const;

  struct Dynamic {
    EntryKey key;
    DynamicValue value;
  };
  struct Limit {
    EntryKey key;
    ValueLimit limit;
  };

  uint8_t address_;
  uint16_t ident_;
  bool addressLocked_ = false;
  std::optional<Bytes> diagnosis_;
  EntryMap entries_;
  std::vector<Dynamic> dynamics_;
  std::vector<Limit> limits_;
  std::optional<Calibration> calibration_;
  std::vector<EntryKey> outputs_;
  std::optional<Sensor> sensor_;
  Plant* plant_ = nullptr;
  std::minstd_rand rng_;
};

}  // namespace tavrin::sim
