// The calibration data of a PA pressure transmitter (slot 3) and how the
// transmitter treats them: the measurement runs from the raw pressure and
// temperature through a temperature compensation and a linearization, each
// the identity until a trim has been downloaded.
//
// Writes to the trim data need the access code first; a trim command opens a
// download (0x0101 linearization, 0x0201 temperature compensation), the data
// are written, and the end command (0x0103, 0x0203) checks them and puts
// them into effect. A refused end command restores the tables as they were
// before the download began. Either end command locks the data again.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/pa_memory.h"

namespace tavrin::sim {

namespace trim {
inline constexpr uint8_t kSlot = 3;
inline constexpr uint8_t kAccessCode = 24;
inline constexpr uint8_t kCommand = 28;
inline constexpr uint8_t kCompensatedValue = 29;
inline constexpr uint8_t kRawTemperature = 31;
inline constexpr uint8_t kPointCount = 34;
inline constexpr uint8_t kCollectedValues = 35;
inline constexpr uint8_t kReferenceValues = 36;
inline constexpr uint8_t kRawPressure = 37;
inline constexpr uint8_t kTemperatureCount = 39;
inline constexpr uint8_t kPressureCount = 40;
inline constexpr uint8_t kCollectedTemperatures = 41;
inline constexpr uint8_t kReferenceTemperatures = 42;
inline constexpr uint8_t kReferencePressures = 45;
inline constexpr uint8_t kCollectedPressuresRow0 = 46;  // rows 0 to 4: 46 to 50
inline constexpr uint32_t kAccessCodeValue = 0x5A3C9E17;
}  // namespace trim

// Piecewise-linear through the points (x strictly increasing or strictly
// decreasing), continued beyond the ends by the end segments.
double interpolate(std::span<const double> x, std::span<const double> y, double at);
bool strictlyMonotonic(std::span<const double> values);

struct Linearization {
  std::vector<double> collected;
  std::vector<double> reference;
  double apply(double value) const { return interpolate(collected, reference, value); }
};

struct TemperatureCompensation {
  std::vector<double> temperatures;          // collected, one per row
  std::vector<double> pressures;             // reference, one per column
  std::vector<std::vector<double>> grid;     // collected pressures [row][column]
  double apply(double pressure, double temperature) const;
};

class Calibration {
 public:
  // Adds the trim entries that are missing, at their fixed sizes, and marks
  // the raw and computed values read-only. False when the profile gave one
  // of them another size.
  static bool prepare(EntryMap& entries, std::string* error);

  bool manages(uint8_t slot, uint8_t index) const;
  // A write to a managed entry; nothing when it was accepted (and stored).
  std::optional<DpvError> write(EntryMap& entries, uint8_t index, ByteView data);
  // Puts the tables stored in the entries into effect where they are valid,
  // as a transmitter does when it powers up.
  void activate(const EntryMap& entries);

  // The compensated pressure (what index 29 shows) and the output after the
  // linearization, from the raw values in the entries.
  void measure(EntryMap& entries, double* compensated, double* output) const;

  bool unlocked() const { return unlocked_; }

 private:
  enum class Download { None, Linearization, Compensation };
  std::optional<DpvError> command(EntryMap& entries, uint16_t value);
  void begin(EntryMap& entries, Download kind);
  void abandon(EntryMap& entries);

  bool unlocked_ = false;
  Download download_ = Download::None;
  EntryMap before_;  // the tables of the open download as they were
  std::optional<Linearization> linearization_;
  std::optional<TemperatureCompensation> compensation_;
};

std::optional<Linearization> linearizationOf(const EntryMap& entries);
std::optional<TemperatureCompensation> compensationOf(const EntryMap& entries);

}  // namespace tavrin::sim
