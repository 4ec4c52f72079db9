// The batch linearization dialog, which the calibration method's built-in
// MY_Z7310MassLineTrim opens: the shared frame (indicators, log, plot,
// buttons) around the points: the count list "2" to "21", the lower and
// upper limit with the button that spreads the reference values evenly
// between them, and 21 rows of reference field, collect button and
// collected mark, of which the count enables the first rows.
#pragma once

#include <array>

#include "batch_calibration_dialog.h"
#include "calibration/linearization.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin::gui {

inline constexpr const char* kLinearizationDialog = "batchLinearizationDialog";

class LinearizationDialog final : public BatchCalibrationDialog {
  Q_OBJECT
 public:
  LinearizationDialog(app::DeviceSession& session, QtUserInterface& ui, QWidget* parent = nullptr);
  ~LinearizationDialog() override;

  calibration::Linearization& linearization() { return lin_; }
  QComboBox* countList() const { return count_; }
  QLineEdit* lowerLimit() const { return lower_; }
  QLineEdit* upperLimit() const { return upper_; }
  QPushButton* distributeButton() const { return distribute_; }
  QLineEdit* reference(int point) const { return rows_[static_cast<size_t>(point)].reference; }
  QPushButton* collectButton(int point) const { return rows_[static_cast<size_t>(point)].collect; }
  QLabel* collectedMark(int point) const { return rows_[static_cast<size_t>(point)].mark; }

 private:
  struct Row {
    QLineEdit* reference = nullptr;
    QPushButton* collect = nullptr;
    QLabel* mark = nullptr;
  };

  calibration::BatchProcedure& procedure() override { return lin_; }
  const calibration::BatchProcedure& procedure() const override { return lin_; }
  void refreshControls() override;
  bool pointShown(const PointRecord& point) const override;
  bool resumeProcedure() override { return lin_.resume(); }
  bool loadReferences() override { return lin_.loadReferences(); }
  bool saveReferences() override { return lin_.saveReferences(); }
  bool startDownload() override { return lin_.download(); }
  QWidget* buildPoints();

  calibration::Linearization lin_;
  QComboBox* count_ = nullptr;
  QLineEdit* lower_ = nullptr;
  QLineEdit* upper_ = nullptr;
  QPushButton* distribute_ = nullptr;
  std::array<Row, calibration::kMaxTrimPoints> rows_{};
};

}  // namespace tavrin::gui
