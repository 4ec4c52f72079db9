#include "live_collect_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "plain_dialogs.h"

namespace tavrin::gui {

LiveCollectDialog::LiveCollectDialog(const calibration::LiveDialog& dialog, calibration::LiveTick tick, QWidget* parent)
    : QDialog(parent), tick_(std::move(tick)), timer_(new QTimer(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setObjectName(QString::fromLatin1(kLiveCollectDialog));
  setWindowTitle(qtText(dialog.caption));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  auto* address = new QLabel(tr("Address %1").arg(dialog.address), this);
  address->setObjectName(QStringLiteral("liveAddress"));
  layout->addWidget(address);
  auto* form = new QFormLayout;
  for (const std::string& label : dialog.labels) {
    auto* value = new QLineEdit(this);
    value->setReadOnly(true);
    value->setMinimumWidth(160);
    value->setAlignment(Qt::AlignRight);
    value->setAccessibleName(qtText(label));
    auto* unit = new QLabel(this);
    unit->setMinimumWidth(48);
    auto* row = new QHBoxLayout;
    row->addWidget(value, 1);
    row->addWidget(unit);
    form->addRow(qtText(label) + QLatin1Char(':'), row);
    values_ << value;
    units_ << unit;
  }
  layout->addLayout(form);
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  timer_->setInterval(static_cast<int>(calibration::kLiveInterval.count()));
  connect(timer_, &QTimer::timeout, this, &LiveCollectDialog::read);
  read();
  timer_->start();
}

void LiveCollectDialog::read() {
  const calibration::LiveSample sample = tick_();
  ++readings_;
  for (qsizetype i = 0; i < values_.size() && i < static_cast<qsizetype>(sample.fields.size()); ++i) {
    const calibration::LiveField& f = sample.fields[static_cast<size_t>(i)];
    values_[i]->setText(qtText(f.value));
    units_[i]->setText(qtText(f.unit));
  }
}

void LiveCollectDialog::done(int result) {
  if (closing_) return;
  // The reading stops now; the dialog goes once a reading in flight could
  // have ended.
  closing_ = true;
  timer_->stop();
  buttons_->setEnabled(false);
  QTimer::singleShot(calibration::kLiveClosingWait, this, [this, result] { QDialog::done(result); });
}

bool liveCollect(QWidget* parent, const calibration::LiveDialog& dialog, const calibration::LiveTick& tick) {
  LiveCollectDialog d(dialog, tick, parent);
  return d.exec() == QDialog::Accepted;
}

}  // namespace tavrin::gui
