// The two monitoring dialogs that methods open on one variable
// (read_dynamic_variable, read_dynamic_variable_resistance): the value
// re-read every 300 ms, with a live trend of it below.
//
// Monitoring: the variable's label, the value field and its unit.
// Collect value: "Bridge resistance:" with "KΩ", the label with the value
// and its unit (at first "Ω"), "Voltage Value:" with "mV"; the voltage
// comes from the core's tick, which also keeps the resistance typed.
//
// Each tick reads once (on the GUI thread, as the method waits for the
// dialog anyway) and starts the next 300 ms only after it, so slow reads
// never pile up. A failed read empties the value field. OK and Cancel stop
// the reading, show the wait cursor and close 300 ms later; OK hands back
// the value field's text, which the core sets (or refuses when empty). A
// stop request from the method engine closes the dialog as cancelled.
#pragma once

#include <QDialog>
#include <optional>
#include <stop_token>
#include <string>

#include "ui/user_interface.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tavrin::gui {

class TrendChart;

class MonitoringDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kReadIntervalMs = 300;
  static constexpr int kClosePauseMs = 300;

  MonitoringDialog(const ui::MonitorSpec& spec, ui::MonitorTick tick, QWidget* parent = nullptr);
  ~MonitoringDialog() override;

  QLineEdit* valueField() const { return value_; }
  QLabel* unitLabel() const { return unit_; }
  // Collect-value form only (null otherwise).
  QLineEdit* resistanceField() const { return resistance_; }
  QLineEdit* voltageField() const { return voltage_; }
  TrendChart* trend() const { return trend_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  // Reads done so far.
  int ticks() const { return ticks_; }

  // The value field's text when the dialog closed with OK.
  const std::optional<std::string>& result() const { return result_; }

 public slots:
  // Escape and a stop request end the monitoring as Cancel does.
  void reject() override;

 private:
  void tick();
  void finish(bool ok);

  ui::MonitorTick tick_;
  QLineEdit* value_;
  QLabel* unit_;
  QLineEdit* resistance_ = nullptr;
  QLineEdit* voltage_ = nullptr;
  TrendChart* trend_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QTimer* timer_;
  int ticks_ = 0;
  bool closing_ = false;
  bool cursorShown_ = false;
  std::optional<std::string> result_;
};

// Runs the dialog modally; the value text on OK, nothing on Cancel or a
// stop request.
std::optional<std::string> monitoringDialog(QWidget* parent, const ui::MonitorSpec& spec,
                                            const ui::MonitorTick& tick, std::stop_token stop);

}  // namespace tavrin::gui
