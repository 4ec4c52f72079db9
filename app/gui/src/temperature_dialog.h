// The temperature compensation dialog, which the calibration method's
// built-in MY_Z7310MassTempTrim opens: the shared frame around the grid.
// The temperature-point list ("2" to "5") and the pressure-point list ("1"
// to "5") sit above a 5 x 5 grid whose rows are the temperature points,
// each with its reference temperature, and whose columns are the pressure
// points, each with its reference pressure; every cell is grid point
// 5 x row + column with its collect button and collected mark. The counts
// enable the rows and columns in use.
#pragma once

#include <array>

#include "batch_calibration_dialog.h"
#include "calibration/temperature_compensation.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin::gui {

inline constexpr const char* kTemperatureDialog = "temperatureCompensationDialog";

class TemperatureDialog final : public BatchCalibrationDialog {
  Q_OBJECT
 public:
  TemperatureDialog(app::DeviceSession& session, QtUserInterface& ui, QWidget* parent = nullptr);
  ~TemperatureDialog() override;

  calibration::TemperatureCompensation& compensation() { return temp_; }
  QComboBox* temperatureCountList() const { return temperatureCount_; }
  QComboBox* pressureCountList() const { return pressureCount_; }
  QLineEdit* referenceTemperature(int row) const { return temperatures_[static_cast<size_t>(row)]; }
  QLineEdit* referencePressure(int column) const { return pressures_[static_cast<size_t>(column)]; }
  QPushButton* collectButton(int point) const { return cells_[static_cast<size_t>(point)].collect; }
  QLabel* collectedMark(int point) const { return cells_[static_cast<size_t>(point)].mark; }

 private:
  struct Cell {
    QPushButton* collect = nullptr;
    QLabel* mark = nullptr;
  };

  calibration::BatchProcedure& procedure() override { return temp_; }
  const calibration::BatchProcedure& procedure() const override { return temp_; }
  void refreshControls() override;
  bool pointShown(const PointRecord& point) const override;
  bool resumeProcedure() override { return temp_.resume(); }
  bool loadReferences() override { return temp_.loadReferences(); }
  bool saveReferences() override { return temp_.saveReferences(); }
  bool startDownload() override { return temp_.download(); }
  QWidget* buildGrid();

  calibration::TemperatureCompensation temp_;
  QComboBox* temperatureCount_ = nullptr;
  QComboBox* pressureCount_ = nullptr;
  std::array<QLineEdit*, calibration::kMaxTemperaturePoints> temperatures_{};
  std::array<QLineEdit*, calibration::kMaxPressurePoints> pressures_{};
  std::array<Cell, calibration::kGridPoints> cells_{};
};

}  // namespace tavrin::gui
