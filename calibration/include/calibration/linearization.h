// Batch linearization: up to 32 Profibus PA transmitters, 2 to 21 points.
// At each point the engineer applies a known reference value to all
// transmitters at once and collects every transmitter's raw measured value
// (slot 3, index 29); each collection goes to the transmitter's trim
// database at once. The download sends every transmitter its pairs, read
// back from its database, and the transmitter linearizes its output over
// them.
//
//   Linearization lin(bus, TrimDatabase::ofProgram(folder), ui);
//   lin.search(); lin.wait();
//   lin.selectCount(5);
//   lin.setReference(0, "0"); ... lin.collect(0); ...
//   lin.download(); lin.wait();
//   lin.close();
//
// Points are counted from 0 here; the log and the messages count from 1.
#pragma once

#include "calibration/procedure.h"

namespace tavrin::calibration {

inline constexpr int kMinTrimPoints = 2;
inline constexpr int kMaxTrimPoints = 21;

struct LinearizationState {
  Stations stations;
  int count = 0;  // the selected number of points, 0 for none
  std::array<std::string, kMaxTrimPoints> references;
  std::array<bool, kMaxTrimPoints> collected{};
  std::array<bool, kMaxTrimPoints> rowEnabled{};  // edit field and collect button
  Buttons buttons;
  bool running = false;
};

class Linearization final : public BatchProcedure {
 public:
  // Opening: the bus's current address is remembered, every indicator
  // shows online, no point is collected, no count is selected, and rows,
  // download, continue and the file buttons are disabled.
  Linearization(TransmitterBus& bus, TrimDatabase database, ui::UserInterface& ui);
  ~Linearization() override;

  LinearizationState state() const;

  // The count list (2 to 21): the first count rows are enabled.
  bool selectCount(int count);
  // What the person types into the edit field of a row.
  bool setReference(int point, std::string text);
  // The lower and upper limit fields with their button: reference values
  // evenly from lower to upper over the rows in use.
  bool distribute(std::string_view lower, std::string_view upper);
  // The collect button of a row, on the caller's thread. True when every
  // transmitter's value was collected.
  bool collect(int point);
  // Continue uncompleted calibration, from the first transmitter's database.
  bool resume();
  // Download calibration data: checks, then starts the worker.
  bool download();
  // Read settings values and save settings values: the reference-point
  // file, chosen in a file dialog or given.
  bool loadReferences();
  bool loadReferences(const std::string& path);
  bool saveReferences();
  bool saveReferences(const std::string& path);

 private:
  void searched(bool anyFound) override;
  bool downloadTransmitter(int address, const std::string& identification);
  void selectCountLocked(int count);

  int count_ = 0;
  std::array<std::string, kMaxTrimPoints> references_;
  std::array<bool, kMaxTrimPoints> collected_{};
  std::array<bool, kMaxTrimPoints> rowEnabled_{};
};

}  // namespace tavrin::calibration
