#include "calibration_record.h"

#include "calibration/linearization.h"
#include "calibration/temperature_compensation.h"

namespace tavrin::gui {
namespace {

namespace k = calibration::keys;
using calibration::TrimFile;

// An empty text is a value that is not there (the download refuses it);
// anything else goes down as the download parses it.
std::optional<float> numberAt(const TrimFile& file, std::string_view section, std::string_view key) {
  const std::string text = file.get(section, key);
  if (text.empty()) return std::nullopt;
  return static_cast<float>(calibration::numberOf(text));
}

void readLinearization(const TrimFile& file, TransmitterRecord& record) {
  const long long count = calibration::countOf(file.get(k::kLinearization, k::kTrimPoints));
  if (count < calibration::kMinTrimPoints || count > calibration::kMaxTrimPoints) return;
  record.count = static_cast<int>(count);
  for (int n = 0; n < record.count; ++n) {
    PointRecord p;
    p.point = n;
    p.column = n;
    p.reference = numberAt(file, k::kLinearization, k::numbered(k::kTrimedData, n));
    p.collected = numberAt(file, k::kLinearization, k::numbered(k::kCollectionData, n));
    record.points.push_back(p);
  }
}

void readCompensation(const TrimFile& file, TransmitterRecord& record) {
  const std::string_view section = k::kTemperatureTrim;
  const long long rows = calibration::countOf(file.get(section, k::kTempPoints));
  const long long columns = calibration::countOf(file.get(section, k::kPresPoints));
  if (rows < calibration::kMinTemperaturePoints || rows > calibration::kMaxTemperaturePoints ||
      columns < calibration::kMinPressurePoints || columns > calibration::kMaxPressurePoints)
    return;
  record.count = static_cast<int>(rows);
  record.pressureCount = static_cast<int>(columns);
  for (int t = 0; t < record.count; ++t) {
    const auto referenceTemperature = numberAt(file, section, k::numbered(k::kTrimedTempData, t));
    const auto collectedTemperature = numberAt(file, section, k::numbered(k::kCollectionTempData, t));
    for (int c = 0; c < record.pressureCount; ++c) {
      PointRecord p;
      p.point = calibration::gridPoint(t, c);
      p.row = t;
      p.column = c;
      p.reference = numberAt(file, section, k::numbered(k::kTrimedPresData, c));
      p.collected = numberAt(file, section, k::numbered(k::kCollectionPresData, p.point));
      p.referenceTemperature = referenceTemperature;
      p.collectedTemperature = collectedTemperature;
      record.points.push_back(p);
    }
  }
}

}  // namespace

TransmitterRecord readRecord(CalibrationKind kind, const calibration::TrimDatabase& database, int address,
                             const calibration::Station& station) {
  TransmitterRecord record;
  record.address = address;
  record.identification = station.identification;
  record.result = station.indicator;
  const auto file = database.open(station.identification);
  if (!file) return record;
  switch (kind) {
    case CalibrationKind::Linearization: readLinearization(*file, record); break;
    case CalibrationKind::TemperatureCompensation: readCompensation(*file, record); break;
  }
  return record;
}

std::vector<TransmitterRecord> readRecords(CalibrationKind kind, const calibration::TrimDatabase& database,
                                           const calibration::Stations& stations) {
  std::vector<TransmitterRecord> out;
  for (int a = 0; a < calibration::kAddresses; ++a) {
    const calibration::Station& s = stations[static_cast<size_t>(a)];
    if (!s.identification.empty()) out.push_back(readRecord(kind, database, a, s));
  }
  return out;
}

std::string resultName(calibration::Indicator indicator) { return std::string(calibration::indicatorName(indicator)); }

}  // namespace tavrin::gui
