// What the calibration dialogs' plots and reports show of one transmitter:
// its points as its trim database holds them, with the numbers as a
// download sends them (the texts parsed as the download parses them, cut to
// single precision). The database, not the dialog, is what goes into the
// transmitter, so a report made after a download shows what was sent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "calibration/procedure.h"

namespace tavrin::gui {

enum class CalibrationKind { Linearization, TemperatureCompensation };

struct PointRecord {
  int point = 0;   // linearization point or grid point (5 x row + column), from 0
  int row = 0;     // temperature point (compensation)
  int column = 0;  // pressure point (compensation); the point itself for a linearization
  // Linearization: the reference and the collected value; compensation:
  // the column's reference pressure and the point's collected pressure.
  std::optional<float> reference;
  std::optional<float> collected;
  // Compensation only: the row's reference temperature and the temperature
  // collected last in that row.
  std::optional<float> referenceTemperature;
  std::optional<float> collectedTemperature;

  // Collected minus reference, when both are there.
  std::optional<float> deviation() const {
    if (!reference || !collected) return std::nullopt;
    return *collected - *reference;
  }
};

struct TransmitterRecord {
  int address = 0;
  std::string identification;
  calibration::Indicator result = calibration::Indicator::Online;
  // The counts stored in the database (0 when it holds none that is valid).
  int count = 0;             // linearization points or temperature points
  int pressureCount = 0;     // compensation only
  std::vector<PointRecord> points;  // every point below the stored counts
};

// The record of the transmitter at an address, read from its database.
TransmitterRecord readRecord(CalibrationKind kind, const calibration::TrimDatabase& database, int address,
                             const calibration::Station& station);

// Every transmitter of the stations that has an identification text.
std::vector<TransmitterRecord> readRecords(CalibrationKind kind, const calibration::TrimDatabase& database,
                                           const calibration::Stations& stations);

// "success", "error", ... as the indicators name them.
std::string resultName(calibration::Indicator indicator);

}  // namespace tavrin::gui
