#include "trend_window.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "trend_chart.h"

namespace tavrin::gui {

TrendWindow::TrendWindow(const QString& label, const EddNode* variable, QWidget* parent)
    : QWidget(parent, Qt::Window), variable_(variable), chart_(new TrendChart(this)) {
  setObjectName(QStringLiteral("trendWindow"));
  setWindowTitle(tr("Trend - %1").arg(label));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(chart_, 1);
  layout->addWidget(buttons);
  resize(560, 340);
}

void TrendWindow::takeReading(const QString& value, const QString& unit) {
  if (!unit.trimmed().isEmpty()) chart_->setUnit(unit.trimmed());
  chart_->addReadingText(value);
}

}  // namespace tavrin::gui
