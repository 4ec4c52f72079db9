// Temperature compensation: up to 32 Profibus PA pressure transmitters on a
// grid of 2 to 5 temperature points (rows t) and 1 to 5 pressure points
// (columns p), grid point 5 x t + p. At each grid point the transmitters
// are held at the row's reference temperature and the column's reference
// pressure, and every transmitter's raw temperature (slot 3, index 31) and
// raw pressure (index 37) are collected into its trim database. The
// download sends every transmitter its grid and reference values.
//
// Works like the batch linearization (search, log, running flag, closing);
// grid points, rows and columns are counted from 0 here.
#pragma once

#include "calibration/procedure.h"

namespace tavrin::calibration {

inline constexpr int kMinTemperaturePoints = 2;
inline constexpr int kMaxTemperaturePoints = 5;
inline constexpr int kMinPressurePoints = 1;
inline constexpr int kMaxPressurePoints = 5;
inline constexpr int kGridPoints = 25;
inline constexpr int gridPoint(int row, int column) { return 5 * row + column; }

struct TemperatureCompensationState {
  Stations stations;
  int temperatureCount = 0;  // 0: nothing selected
  int pressureCount = 0;
  std::array<std::string, kMaxTemperaturePoints> temperatures;  // reference per row
  std::array<std::string, kMaxPressurePoints> pressures;        // reference per column
  std::array<bool, kGridPoints> collected{};
  std::array<bool, kMaxTemperaturePoints> rowEnabled{};     // reference field, collect buttons
  std::array<bool, kMaxPressurePoints> columnEnabled{};
  Buttons buttons;
  bool running = false;

  bool pointEnabled(int point) const { return rowEnabled[point / 5] && columnEnabled[point % 5]; }
};

class TemperatureCompensation final : public BatchProcedure {
 public:
  TemperatureCompensation(TransmitterBus& bus, TrimDatabase database, ui::UserInterface& ui);
  ~TemperatureCompensation() override;

  TemperatureCompensationState state() const;

  // The two count lists. Once both have a selection the first
  // transmitter's database is consulted: stored counts ask whether to do
  // the trim again (No goes back to them, Yes twice resets the database),
  // illegal ones whether to reset them; otherwise the grid is laid out.
  bool selectTemperatureCount(int count);
  bool selectPressureCount(int count);
  // Both lists at once, the database consulted once.
  bool selectCounts(int temperatureCount, int pressureCount);
  bool setReferenceTemperature(int row, std::string text);
  bool setReferencePressure(int column, std::string text);
  // The collect button of a grid point, on the caller's thread. True when
  // every transmitter's pair was collected.
  bool collect(int point);
  bool resume();
  bool download();
  bool loadReferences();
  bool loadReferences(const std::string& path);
  bool saveReferences();
  bool saveReferences(const std::string& path);

 private:
  void searched(bool anyFound) override;
  bool downloadTransmitter(int address, const std::string& identification);
  // With both counts selected: the database decides what happens.
  void consultDatabase();
  void layOut(int temperatureCount, int pressureCount);

  int temperatureCount_ = 0;
  int pressureCount_ = 0;
  std::array<std::string, kMaxTemperaturePoints> temperatures_;
  std::array<std::string, kMaxPressurePoints> pressures_;
  std::array<bool, kGridPoints> collected_{};
  std::array<bool, kMaxTemperaturePoints> rowEnabled_{};
  std::array<bool, kMaxPressurePoints> columnEnabled_{};
};

}  // namespace tavrin::calibration
