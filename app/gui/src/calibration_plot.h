// The plot beside the calibration dialogs' log, and in the reports: per
// transmitter, the characteristic before the trim (collected against
// reference values, beside the ideal line) or the deviation at each point
// (collected minus reference, the error the download trims away). A
// temperature compensation draws one line per temperature point.
#pragma once

#include <QChartView>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>
#include <functional>

#include "calibration_record.h"

namespace tavrin::gui {

enum class PlotMode { Characteristic, Deviation };

struct PlotSeries {
  QString name;
  QList<QPointF> points;  // x the reference, y collected or deviation
};

struct PlotData {
  QString title;
  QString xTitle;
  QString yTitle;
  QList<PlotSeries> series;
  bool identityLine = false;  // y = x, the characteristic a perfect sensor has
  bool zeroLine = false;      // y = 0, no deviation
};

// The points of the record that `shown` admits (all when it is empty), as
// the mode draws them. Points without a collected or reference value are
// left out.
PlotData plotOf(CalibrationKind kind, const TransmitterRecord& record, PlotMode mode,
                const std::function<bool(const PointRecord&)>& shown = {});

class CalibrationPlot : public QChartView {
  Q_OBJECT
 public:
  explicit CalibrationPlot(QWidget* parent = nullptr);
  void setData(const PlotData& data);
  const PlotData& data() const { return data_; }

 private:
  PlotData data_;
};

// The plot drawn into an image of that size, for the reports.
QImage renderPlot(const PlotData& data, QSize size);

}  // namespace tavrin::gui
