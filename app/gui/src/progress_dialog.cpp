#include "progress_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin::gui {

ProgressDialog::ProgressDialog(const QString& text, QWidget* parent)
    : QDialog(parent),
      text_(new QLabel(text, this)),
      percent_(new QLabel(QStringLiteral("0%"), this)),
      bar_(new QProgressBar(this)),
      cancelButton_(new QPushButton(tr("Cancel"), this)) {
  setObjectName(QStringLiteral("progressDialog"));
  setWindowTitle(QString::fromUtf8(kCaption));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  text_->setWordWrap(true);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  bar_->setAccessibleName(text);
  percent_->setAccessibleName(tr("Progress"));
  percent_->setMinimumWidth(percent_->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
  percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* row = new QHBoxLayout;
  row->addWidget(bar_, 1);
  row->addWidget(percent_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(cancelButton_, QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &ProgressDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(row);
  layout->addWidget(buttons);
  setMinimumWidth(360);
}

void ProgressDialog::setProgress(int percent, const QString& text) {
  bar_->setValue(std::clamp(percent, 0, 100));
  percent_->setText(text);
}

void ProgressDialog::finish() { done(cancel_ ? QDialog::Rejected : QDialog::Accepted); }

void ProgressDialog::reject() {
  if (cancel_.exchange(true)) return;
  cancelButton_->setEnabled(false);
}

}  // namespace tavrin::gui
