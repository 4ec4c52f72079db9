// The function view's "Trend" of one dynamic row: a window of its own (not
// modal, several may be open) with the live trend of the variable's value.
// The device window feeds it the row's texts whenever the background
// refresh changes them; when the table shows the variable no longer (another
// menu, another view), the trend keeps what it has and waits.
#pragma once

#include <QWidget>

#include "lirrand.h"

namespace tavrin::gui {

class TrendChart;

class TrendWindow : public QWidget {
  Q_OBJECT
 public:
  TrendWindow(const QString& label, const EddNode* variable, QWidget* parent = nullptr);

  const EddNode* variable() const { return variable_; }
  TrendChart* chart() const { return chart_; }
  // The row's Value and Unit texts as the table shows them now.
  void takeReading(const QString& value, const QString& unit);

 private:
  const EddNode* variable_;
  TrendChart* chart_;
};

}  // namespace tavrin::gui
