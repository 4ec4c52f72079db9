// A live trend of one value: the readings of the last few minutes against
// the time of day, the value axis titled with the variable's unit. The
// monitoring dialogs and the function view's "Trend" window show it, which
// engineers use to watch a transmitter settle.
//
// Readings older than the window are dropped as new ones come; the value
// axis follows what is shown, with a margin (and a range even for a value
// that does not move).
#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <deque>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace tavrin::gui {

class TrendChart : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWindowSeconds = 300;

  explicit TrendChart(QWidget* parent = nullptr);

  void setUnit(const QString& unit);
  QString unit() const { return unit_; }
  // A reading at `at` (now when invalid).
  void addReading(double value, QDateTime at = {});
  // A value text as the table or a dialog shows it ("  101.325"); text that
  // is no number adds nothing. True when a reading was added.
  bool addReadingText(const QString& text, QDateTime at = {});
  int readingCount() const { return static_cast<int>(readings_.size()); }
  // The newest reading, for tests and the accessible description.
  double lastValue() const { return readings_.empty() ? 0 : readings_.back().second; }

 private:
  void redraw();

  QChart* chart_;
  QChartView* view_;
  QLineSeries* series_;
  QDateTimeAxis* timeAxis_;
  QValueAxis* valueAxis_;
  QString unit_;
  std::deque<std::pair<QDateTime, double>> readings_;
};

}  // namespace tavrin::gui
