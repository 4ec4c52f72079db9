#include "calibration_plot.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace tavrin::gui {
namespace {

QString number(float v) { return QString::number(static_cast<double>(v), 'g', 6); }

// About a fifth of the span, as 1, 2 or 5 times a power of ten.
double niceStep(double span) {
  const double raw = span / 5;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

void fill(QChart& chart, const PlotData& data) {
  chart.removeAllSeries();
  chart.setTitle(data.title);
  chart.setAnimationOptions(QChart::NoAnimation);

  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  bool any = false;
  for (const PlotSeries& s : data.series) {
    for (const QPointF& p : s.points) {
      if (!any) {
        xMin = xMax = p.x();
        yMin = yMax = p.y();
        any = true;
      }
      xMin = std::min(xMin, p.x());
      xMax = std::max(xMax, p.x());
      yMin = std::min(yMin, p.y());
      yMax = std::max(yMax, p.y());
    }
  }
  if (data.zeroLine) {
    yMin = std::min(yMin, 0.0);
    yMax = std::max(yMax, 0.0);
  }
  if (data.identityLine && any) {
    yMin = std::min(yMin, xMin);
    yMax = std::max(yMax, xMax);
  }
  // Room around the points, and a range even for a single value.
  auto pad = [](double& low, double& high) {
    const double span = high - low;
    const double margin = span > 0 ? span * 0.08 : std::max(1.0, std::abs(high) * 0.1);
    low -= margin;
    high += margin;
  };
  pad(xMin, xMax);
  pad(yMin, yMax);

  // The axes stay with the chart: axes taken away are deleted later by
  // the chart, and would be drawn over the new ones until then.
  auto axis = [&chart](Qt::Orientation orientation, Qt::Alignment alignment, const char* format) {
    const QList<QAbstractAxis*> there = chart.axes(orientation);
    if (!there.isEmpty()) return static_cast<QValueAxis*>(there.first());
    auto* made = new QValueAxis;
    made->setLabelFormat(QString::fromLatin1(format));
    chart.addAxis(made, alignment);
    return made;
  };
  QValueAxis* x = axis(Qt::Horizontal, Qt::AlignBottom, "%g");
  QValueAxis* y = axis(Qt::Vertical, Qt::AlignLeft, "%.4g");
  x->setTitleText(data.xTitle);
  x->setRange(xMin, xMax);
  y->setTitleText(data.yTitle);
  y->setRange(yMin, yMax);
  // Ticks on round numbers of the references.
  x->setTickType(QValueAxis::TicksDynamic);
  x->setTickAnchor(0);
  x->setTickInterval(niceStep(xMax - xMin));
  y->applyNiceNumbers();

  auto guide = [&](QPointF from, QPointF to) {
    auto* line = new QLineSeries;
    line->append(from);
    line->append(to);
    QPen pen(QColor(128, 128, 128));
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.2);
    line->setPen(pen);
    chart.addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    for (QLegendMarker* m : chart.legend()->markers(line)) m->setVisible(false);
  };
  if (data.identityLine && any) guide({xMin, xMin}, {xMax, xMax});
  if (data.zeroLine) guide({xMin, 0}, {xMax, 0});

  // Each line its own dash pattern too, so that the lines of the
  // temperature points tell apart without colour.
  static const Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashDotLine, Qt::DotLine, Qt::DashDotDotLine, Qt::DashLine};
  int n = 0;
  for (const PlotSeries& s : data.series) {
    auto* line = new QLineSeries;
    line->setName(s.name);
    line->append(s.points);
    line->setPointsVisible(true);
    chart.addSeries(line);  // the theme gives it its colour
    QPen pen = line->pen();
    pen.setWidthF(2);
    pen.setStyle(kStyles[n++ % std::size(kStyles)]);
    line->setPen(pen);
    line->attachAxis(x);
    line->attachAxis(y);
  }
  chart.legend()->setVisible(data.series.size() > 1);
  chart.legend()->setAlignment(Qt::AlignBottom);
}

}  // namespace

PlotData plotOf(CalibrationKind kind, const TransmitterRecord& record, PlotMode mode,
                const std::function<bool(const PointRecord&)>& shown) {
  PlotData data;
  const bool linearization = kind == CalibrationKind::Linearization;
  const QString who = QStringLiteral("Address %1: %2").arg(record.address).arg(QString::fromStdString(record.identification));
  switch (mode) {
    case PlotMode::Characteristic:
      data.title = who + QStringLiteral(", characteristic before the trim");
      data.yTitle = linearization ? QStringLiteral("Collected value") : QStringLiteral("Collected pressure");
      data.identityLine = true;
      break;
    case PlotMode::Deviation:
      data.title = who + QStringLiteral(", deviation at each point");
      data.yTitle = QStringLiteral("Collected - reference");
      data.zeroLine = true;
      break;
  }
  data.xTitle = linearization ? QStringLiteral("Reference value") : QStringLiteral("Reference pressure");

  const int lines = linearization ? 1 : record.count;
  for (int row = 0; row < lines; ++row) {
    PlotSeries series;
    for (const PointRecord& p : record.points) {
      if ((!linearization && p.row != row) || (shown && !shown(p))) continue;
      if (!p.reference || !p.collected) continue;
      const double y = mode == PlotMode::Characteristic ? *p.collected : *p.deviation();
      series.points.append(QPointF(*p.reference, y));
      if (!linearization && series.name.isEmpty())
        series.name = p.referenceTemperature
                          ? QStringLiteral("T%1 = %2").arg(row + 1).arg(number(*p.referenceTemperature))
                          : QStringLiteral("T%1").arg(row + 1);
    }
    if (linearization) series.name = QStringLiteral("Address %1").arg(record.address);
    if (!series.points.isEmpty()) data.series.append(series);
  }
  return data;
}

CalibrationPlot::CalibrationPlot(QWidget* parent) : QChartView(parent) {
  setObjectName(QStringLiteral("calibrationPlot"));
  setAccessibleName(tr("Calibration plot"));
  setRenderHint(QPainter::Antialiasing);
  setMinimumSize(320, 240);
  chart()->setMargins(QMargins(4, 4, 4, 4));
  setData({});
}

void CalibrationPlot::setData(const PlotData& data) {
  data_ = data;
  fill(*chart(), data);
  int points = 0;
  for (const PlotSeries& s : data.series) points += static_cast<int>(s.points.size());
  setAccessibleDescription(data.title + QStringLiteral(": %1 points").arg(points));
}

QImage renderPlot(const PlotData& data, QSize size) {
  QGraphicsScene scene;
  auto* chart = new QChart;  // the scene owns it
  scene.addItem(chart);
  chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
  fill(*chart, data);
  chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(size)));
  // The chart lays out its axes and legend in its own layout pass.
  if (chart->layout()) chart->layout()->activate();
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), QRectF(QPointF(0, 0), QSizeF(size)));
  return image;
}

}  // namespace tavrin::gui
