#include "trend_chart.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace tavrin::gui {

TrendChart::TrendChart(QWidget* parent)
    : QWidget(parent),
      chart_(new QChart),
      view_(new QChartView(chart_, this)),
      series_(new QLineSeries),
      timeAxis_(new QDateTimeAxis),
      valueAxis_(new QValueAxis) {
  setObjectName(QStringLiteral("trendChart"));
  setAccessibleName(tr("Trend"));
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->legend()->hide();
  chart_->setMargins(QMargins(4, 4, 4, 4));
  chart_->addSeries(series_);
  timeAxis_->setFormat(QStringLiteral("hh:mm:ss"));
  timeAxis_->setTickCount(6);
  timeAxis_->setTitleText(tr("Time"));
  valueAxis_->setLabelFormat(QStringLiteral("%.6g"));
  chart_->addAxis(timeAxis_, Qt::AlignBottom);
  chart_->addAxis(valueAxis_, Qt::AlignLeft);
  series_->attachAxis(timeAxis_);
  series_->attachAxis(valueAxis_);
  QPen pen(QColor(0, 90, 170));
  pen.setWidthF(1.6);
  series_->setPen(pen);
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setMinimumSize(360, 200);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  redraw();
}

void TrendChart::setUnit(const QString& unit) {
  if (unit == unit_) return;
  unit_ = unit;
  valueAxis_->setTitleText(unit);
}

bool TrendChart::addReadingText(const QString& text, QDateTime at) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value)) return false;
  addReading(value, std::move(at));
  return true;
}

void TrendChart::addReading(double value, QDateTime at) {
  if (!at.isValid()) at = QDateTime::currentDateTime();
  readings_.emplace_back(at, value);
  const QDateTime oldest = at.addSecs(-kWindowSeconds);
  while (!readings_.empty() && readings_.front().first < oldest) readings_.pop_front();
  redraw();
}

void TrendChart::redraw() {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(readings_.size()));
  double low = 0, high = 0;
  for (size_t i = 0; i < readings_.size(); ++i) {
    const double v = readings_[i].second;
    points.append(QPointF(static_cast<double>(readings_[i].first.toMSecsSinceEpoch()), v));
    low = i == 0 ? v : std::min(low, v);
    high = i == 0 ? v : std::max(high, v);
  }
  series_->replace(points);
  // The time axis spans the whole window from the first reading, so the
  // line grows from the left instead of being stretched.
  const QDateTime end = readings_.empty() ? QDateTime::currentDateTime() : readings_.back().first;
  const QDateTime start = readings_.empty() ? end.addSecs(-kWindowSeconds) : readings_.front().first;
  timeAxis_->setRange(start, std::max(end, start.addSecs(30)));
  const double span = high - low;
  const double margin = span > 0 ? span * 0.1 : std::max(std::abs(high) * 0.01, 0.5);
  valueAxis_->setRange(low - margin, high + margin);
  valueAxis_->applyNiceNumbers();
  setAccessibleDescription(readings_.empty() ? tr("No readings yet")
                                             : tr("%1 readings, the newest %2 %3")
                                                   .arg(readings_.size())
                                                   .arg(lastValue())
                                                   .arg(unit_));
}

}  // namespace tavrin::gui
