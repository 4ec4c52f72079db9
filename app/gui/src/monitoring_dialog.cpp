#include "monitoring_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "plain_dialogs.h"
#include "trend_chart.h"

namespace tavrin::gui {

MonitoringDialog::MonitoringDialog(const ui::MonitorSpec& spec, ui::MonitorTick tick, QWidget* parent)
    : QDialog(parent),
      tick_(std::move(tick)),
      value_(new QLineEdit(this)),
      unit_(new QLabel(qtText(spec.unit), this)),
      trend_(new TrendChart(this)),
      timer_(new QTimer(this)) {
  setObjectName(QString::fromLatin1(kMonitorDialog));
  setWindowTitle(qtText(spec.caption));
  auto* grid = new QGridLayout;
  int row = 0;
  auto addRow = [&](QLabel* label, QLineEdit* field, QLabel* unit) {
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(unit, row, 2);
    ++row;
  };
  if (spec.withResistance) {
    setObjectName(QStringLiteral("collectValueDialog"));
    resistance_ = new QLineEdit(qtText(spec.resistance), this);
    resistance_->setObjectName(QStringLiteral("resistanceField"));
    resistance_->setAccessibleName(tr("Bridge resistance"));
    addRow(new QLabel(tr("Bridge resistance:"), this), resistance_, new QLabel(QStringLiteral("KΩ"), this));
  }
  value_->setObjectName(QStringLiteral("valueField"));
  value_->setReadOnly(true);
  value_->setAccessibleName(qtText(spec.label));
  unit_->setObjectName(QStringLiteral("unitLabel"));
  unit_->setMinimumWidth(40);
  addRow(new QLabel(qtText(spec.label), this), value_, unit_);
  if (spec.withResistance) {
    voltage_ = new QLineEdit(this);
    voltage_->setObjectName(QStringLiteral("voltageField"));
    voltage_->setReadOnly(true);
    voltage_->setAccessibleName(tr("Voltage Value"));
    addRow(new QLabel(tr("Voltage Value:"), this), voltage_, new QLabel(QStringLiteral("mV"), this));
  }
  grid->setColumnStretch(1, 1);
  trend_->setUnit(qtText(spec.unit));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  cancel_ = buttons->button(QDialogButtonBox::Cancel);
  // Return in the resistance field must not end the monitoring.
  ok_->setAutoDefault(false);
  ok_->setDefault(false);
  cancel_->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { finish(true); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { finish(false); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(trend_, 1);
  layout->addWidget(buttons);
  resize(520, 400);

  timer_->setSingleShot(true);
  timer_->setInterval(kReadIntervalMs);
  connect(timer_, &QTimer::timeout, this, &MonitoringDialog::tick);
  timer_->start();
}

MonitoringDialog::~MonitoringDialog() {
  if (cursorShown_) QApplication::restoreOverrideCursor();
}

void MonitoringDialog::tick() {
  if (closing_) return;
  const ui::MonitorReading r = tick_(resistance_ ? stdText(resistance_->text()) : std::string());
  ++ticks_;
  // A dialog closed while the read ran (a stop request) reads no more.
  if (closing_) return;
  if (r.ok) {
    value_->setText(qtText(r.value));
    unit_->setText(qtText(r.unit));
    if (voltage_) voltage_->setText(qtText(r.voltage));
    trend_->setUnit(qtText(r.unit));
    trend_->addReadingText(qtText(r.value));
  } else {
    value_->clear();
  }
  timer_->start();
}

void MonitoringDialog::reject() {
  if (closing_)
    QDialog::reject();
  else
    finish(false);
}

void MonitoringDialog::finish(bool ok) {
  if (closing_) return;
  closing_ = true;
  timer_->stop();
  ok_->setEnabled(false);
  cancel_->setEnabled(false);
  if (ok) result_ = stdText(value_->text());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  cursorShown_ = true;
  QTimer::singleShot(kClosePauseMs, this, [this, ok] {
    QApplication::restoreOverrideCursor();
    cursorShown_ = false;
    if (ok)
      accept();
    else
      QDialog::reject();
  });
}

std::optional<std::string> monitoringDialog(QWidget* parent, const ui::MonitorSpec& spec,
                                            const ui::MonitorTick& tick, std::stop_token stop) {
  if (stop.stop_requested()) return std::nullopt;
  MonitoringDialog dialog(spec, tick, parent);
  QPointer<MonitoringDialog> guard(&dialog);
  std::stop_callback<std::function<void()>> onStop(std::move(stop), [guard] {
    QMetaObject::invokeMethod(
        qApp,
        [guard] {
          if (guard) guard->reject();
        },
        Qt::QueuedConnection);
  });
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.result();
}

}  // namespace tavrin::gui
