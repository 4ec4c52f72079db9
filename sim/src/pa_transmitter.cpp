#include "sim/pa_transmitter.h"

#include <algorithm>

#include "sim/values.h"

namespace tavrin::sim {

Bytes PaTransmitter::diagnosis() const {
  if (diagnosis_) return *diagnosis_;
  // Not parameterised by a class 1 master: parameter request set, the bit
  // that is always 1, no master address.
  return {0x00, 0x05, 0x00, 0xFF, static_cast<uint8_t>(ident_ >> 8), static_cast<uint8_t>(ident_)};
}

bool PaTransmitter::moveTo(uint8_t newAddress, uint16_t identNumber, bool lockAfterwards) {
  if (addressLocked_ || identNumber != ident_ || newAddress > 125) return false;
  address_ = newAddress;
  addressLocked_ = lockAfterwards;
  return true;
}

void PaTransmitter::addDynamic(EntryKey key, const DynamicValue& value) {
  PaEntry& entry = entries_[key];
  if (entry.data.size() < value.end()) entry.data.resize(value.end(), 0);
  entry.readOnly = true;
  dynamics_.push_back({key, value});
}

bool PaTransmitter::isComputed(EntryKey key) const {
  bool dynamic = std::any_of(dynamics_.begin(), dynamics_.end(), [&](const Dynamic& d) { return d.key == key; });
  bool output = std::find(outputs_.begin(), outputs_.end(), key) != outputs_.end();
  bool raw = sensor_ && (key == EntryKey{trim::kSlot, trim::kRawPressure} || key == EntryKey{trim::kSlot, trim::kRawTemperature});
  return dynamic || output || raw || (calibration_ && key == EntryKey{trim::kSlot, trim::kCompensatedValue});
}

void PaTransmitter::setSensor(const Sensor& sensor) { sensor_ = sensor; }

void PaTransmitter::disableNoise() {
  if (sensor_) sensor_->noise = 0;
  for (Dynamic& d : dynamics_) d.value.wave.quieten();
}

bool PaTransmitter::enableCalibration(const std::vector<EntryKey>& outputs, std::string* error) {
  if (!Calibration::prepare(entries_, error)) return false;
  for (EntryKey key : outputs) {
    auto it = entries_.find(key);
    if (it == entries_.end() || it->second.data.size() < 4) {
      if (error) *error = "an output must be an entry of at least 4 bytes: slot " + std::to_string(key.first) + " index " +
                          std::to_string(key.second);
      return false;
    }
    it->second.readOnly = true;
  }
  outputs_ = outputs;
  calibration_.emplace();
  calibration_->activate(entries_);
  return true;
}

std::optional<DpvError> PaTransmitter::missing(uint8_t slot) const {
  auto it = entries_.lower_bound({slot, 0});
  bool slotKnown = it != entries_.end() && it->first.first == slot;
  return DpvError{0x80, slotKnown ? dpv::kInvalidIndex : dpv::kInvalidSlot, 0};
}

std::variant<Bytes, DpvError> PaTransmitter::read(uint8_t slot, uint8_t index, uint8_t maxLength, double seconds) {
  auto it = entries_.find({slot, index});
  if (it == entries_.end()) return *missing(slot);
  refresh(seconds);
  const Bytes& data = it->second.data;
  return Bytes(data.begin(), data.begin() + std::min<size_t>(data.size(), maxLength));
}

std::optional<DpvError> PaTransmitter::write(uint8_t slot, uint8_t index, ByteView data, double seconds) {
  auto it = entries_.find({slot, index});
  if (it == entries_.end()) return missing(slot);
  refresh(seconds);
  if (calibration_ && calibration_->manages(slot, index)) {
    auto refused = calibration_->write(entries_, index, data);
    refresh(seconds);
    return refused;
  }
  PaEntry& entry = it->second;
  if (entry.readOnly) return DpvError{0x80, dpv::kAccessDenied, 0};
  if (data.size() != entry.data.size()) return DpvError{0x80, dpv::kWriteLength, 0};
  for (const Limit& l : limits_)
    if (l.key == it->first && !l.limit.accepts(data)) return DpvError{0x80, dpv::kInvalidRange, 0};
  entry.data.assign(data.begin(), data.end());
  return std::nullopt;
}

void PaTransmitter::refresh(double seconds) {
  for (const Dynamic& d : dynamics_) encodeValue(d.value.encoding, d.value.wave.at(seconds, rng_), entries_[d.key].data.data() + d.value.offset);
  if (!calibration_) return;
  if (sensor_) {
    static FixedPlant atRest;
    const PlantState plant = (plant_ ? *plant_ : static_cast<Plant&>(atRest)).now();
    encodeValue(Encoding::F32, sensor_->rawPressure(plant, rng_), entries_[{trim::kSlot, trim::kRawPressure}].data.data());
    encodeValue(Encoding::F32, sensor_->rawTemperature(plant, rng_), entries_[{trim::kSlot, trim::kRawTemperature}].data.data());
  }
  double compensated = 0, output = 0;
  calibration_->measure(entries_, &compensated, &output);
  for (EntryKey key : outputs_) encodeValue(Encoding::F32, output, entries_[key].data.data());
}

}  // namespace tavrin::sim
