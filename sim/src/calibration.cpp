#include "sim/calibration.h"

#include <algorithm>
#include <cmath>

#include "sim/values.h"

namespace tavrin::sim {
namespace {

using namespace trim;

struct Layout {
  uint8_t index;
  size_t size;
  bool readOnly;
};

constexpr Layout kLayout[] = {
    {kAccessCode, 4, false},        {kCommand, 2, false},
    {kCompensatedValue, 4, true},   {kRawTemperature, 4, true},
    {kPointCount, 1, false},        {kCollectedValues, 84, false},
    {kReferenceValues, 84, false},  {kRawPressure, 4, true},
    {kTemperatureCount, 1, false},  {kPressureCount, 1, false},
    {kCollectedTemperatures, 20, false}, {kReferenceTemperatures, 20, false},
    {kReferencePressures, 20, false}, {46, 20, false}, {47, 20, false}, {48, 20, false}, {49, 20, false},
    {50, 20, false},
};

bool isLinearizationTable(uint8_t index) {
  return index == kPointCount || index == kCollectedValues || index == kReferenceValues;
}

bool isCompensationTable(uint8_t index) {
  return index == kTemperatureCount || index == kPressureCount || index == kCollectedTemperatures ||
         index == kReferenceTemperatures || index == kReferencePressures ||
         (index >= kCollectedPressuresRow0 && index < kCollectedPressuresRow0 + 5);
}

const Bytes& dataOf(const EntryMap& entries, uint8_t index) { return entries.at({kSlot, index}).data; }

std::vector<double> floats(const EntryMap& entries, uint8_t index, size_t count) {
  const Bytes& d = dataOf(entries, index);
  std::vector<double> out;
  for (size_t i = 0; i < count && 4 * i + 4 <= d.size(); ++i) out.push_back(decodeValue(Encoding::F32, d.data() + 4 * i));
  return out;
}

double floatAt(const EntryMap& entries, uint8_t index) { return decodeValue(Encoding::F32, dataOf(entries, index).data()); }

void setFloat(EntryMap& entries, uint8_t index, double v) {
  encodeValue(Encoding::F32, v, entries.at({kSlot, index}).data.data());
}

DpvError refusal(uint8_t code1) { return DpvError{0x80, code1, 0}; }

}  // namespace

bool strictlyMonotonic(std::span<const double> v) {
  if (v.size() < 2) return v.size() == 1 && !std::isnan(v[0]);
  bool up = v[1] > v[0];
  for (size_t i = 1; i < v.size(); ++i)
    if (!(up ? v[i] > v[i - 1] : v[i] < v[i - 1])) return false;
  return true;
}

double interpolate(std::span<const double> x, std::span<const double> y, double at) {
  size_t n = std::min(x.size(), y.size());
  if (n == 0) return at;
  if (n == 1) return at + (y[0] - x[0]);
  bool up = x[1] > x[0];
  // The segment that holds the point, or an end segment beyond the ends.
  size_t i = 0;
  while (i + 2 < n && (up ? at > x[i + 1] : at < x[i + 1])) ++i;
  return y[i] + (y[i + 1] - y[i]) * (at - x[i]) / (x[i + 1] - x[i]);
}

double TemperatureCompensation::apply(double pressure, double temperature) const {
  std::vector<double> perRow;
  for (const auto& row : grid) perRow.push_back(interpolate(row, pressures, pressure));
  return interpolate(temperatures, perRow, temperature);
}

std::optional<Linearization> linearizationOf(const EntryMap& entries) {
  size_t count = dataOf(entries, kPointCount)[0];
  if (count < 2 || count > 21) return std::nullopt;
  Linearization l{floats(entries, kCollectedValues, count), floats(entries, kReferenceValues, count)};
  if (!strictlyMonotonic(l.collected) || !strictlyMonotonic(l.reference)) return std::nullopt;
  return l;
}

std::optional<TemperatureCompensation> compensationOf(const EntryMap& entries) {
  size_t rows = dataOf(entries, kTemperatureCount)[0];
  size_t columns = dataOf(entries, kPressureCount)[0];
  if (rows < 2 || rows > 5 || columns < 1 || columns > 5) return std::nullopt;
  TemperatureCompensation c;
  c.temperatures = floats(entries, kCollectedTemperatures, rows);
  c.pressures = floats(entries, kReferencePressures, columns);
  if (!strictlyMonotonic(c.temperatures) || !strictlyMonotonic(c.pressures)) return std::nullopt;
  for (size_t t = 0; t < rows; ++t) {
    c.grid.push_back(floats(entries, static_cast<uint8_t>(kCollectedPressuresRow0 + t), columns));
    if (!strictlyMonotonic(c.grid.back())) return std::nullopt;
  }
  return c;
}

bool Calibration::prepare(EntryMap& entries, std::string* error) {
  for (const Layout& l : kLayout) {
    auto [it, added] = entries.try_emplace({kSlot, l.index}, PaEntry{Bytes(l.size, 0), l.readOnly});
    if (!added && it->second.data.size() != l.size) {
      if (error) *error = "slot 3 index " + std::to_string(l.index) + " must hold " + std::to_string(l.size) + " bytes";
      return false;
    }
    if (l.readOnly) it->second.readOnly = true;
  }
  // The access code is never stored where it could be read back.
  std::fill(entries.at({kSlot, kAccessCode}).data.begin(), entries.at({kSlot, kAccessCode}).data.end(), 0);
  return true;
}

bool Calibration::manages(uint8_t slot, uint8_t index) const {
  return slot == kSlot && (index == kAccessCode || index == kCommand || isLinearizationTable(index) || isCompensationTable(index));
}

std::optional<DpvError> Calibration::write(EntryMap& entries, uint8_t index, ByteView data) {
  PaEntry& entry = entries.at({kSlot, index});
  if (index == kAccessCode) {
    if (data.size() != entry.data.size()) return refusal(dpv::kWriteLength);
    unlocked_ = decodeValue(Encoding::U32, data.data()) == kAccessCodeValue;
    if (!unlocked_) return refusal(dpv::kAccessDenied);
    return std::nullopt;
  }
  if (!unlocked_) return refusal(dpv::kAccessDenied);
  if (data.size() != entry.data.size()) return refusal(dpv::kWriteLength);
  if (index == kCommand) return command(entries, static_cast<uint16_t>(data[0] << 8 | data[1]));
  bool fits = (download_ == Download::Linearization && isLinearizationTable(index)) ||
              (download_ == Download::Compensation && isCompensationTable(index));
  if (!fits) return refusal(dpv::kStateConflict);
  entry.data.assign(data.begin(), data.end());
  return std::nullopt;
}

std::optional<DpvError> Calibration::command(EntryMap& entries, uint16_t value) {
  auto finish = [&](bool valid) -> std::optional<DpvError> {
    if (!valid) abandon(entries);
    download_ = Download::None;
    before_.clear();
    unlocked_ = false;
    if (!valid) return refusal(dpv::kInvalidParameter);
    encodeValue(Encoding::U16, value, entries.at({kSlot, kCommand}).data.data());
    return std::nullopt;
  };
  switch (value) {
    case 0x0101: begin(entries, Download::Linearization); break;
    case 0x0201: begin(entries, Download::Compensation); break;
    case 0x0103: {
      if (download_ != Download::Linearization) return refusal(dpv::kStateConflict);
      auto next = linearizationOf(entries);
      bool valid = next.has_value();
      if (valid) linearization_ = std::move(next);
      return finish(valid);
    }
    case 0x0203: {
      if (download_ != Download::Compensation) return refusal(dpv::kStateConflict);
      auto next = compensationOf(entries);
      bool valid = next.has_value();
      if (valid) compensation_ = std::move(next);
      return finish(valid);
    }
    default: return refusal(dpv::kInvalidParameter);
  }
  encodeValue(Encoding::U16, value, entries.at({kSlot, kCommand}).data.data());
  return std::nullopt;
}

// A new download abandons one that is still open, so a procedure that
// failed half-way can simply start again.
void Calibration::begin(EntryMap& entries, Download kind) {
  abandon(entries);
  download_ = kind;
  before_.clear();
  for (const auto& [key, entry] : entries) {
    bool mine = key.first == kSlot && (kind == Download::Linearization ? isLinearizationTable(key.second)
                                                                        : isCompensationTable(key.second));
    if (mine) before_.emplace(key, entry);
  }
}

void Calibration::abandon(EntryMap& entries) {
  for (const auto& [key, entry] : before_) entries[key] = entry;
  before_.clear();
  download_ = Download::None;
}

void Calibration::activate(const EntryMap& entries) {
  linearization_ = linearizationOf(entries);
  compensation_ = compensationOf(entries);
}

void Calibration::measure(EntryMap& entries, double* compensated, double* output) const {
  double pressure = floatAt(entries, kRawPressure);
  double temperature = floatAt(entries, kRawTemperature);
  *compensated = compensation_ ? compensation_->apply(pressure, temperature) : pressure;
  *output = linearization_ ? linearization_->apply(*compensated) : *compensated;
  setFloat(entries, kCompensatedValue, *compensated);
}

}  // namespace tavrin::sim
