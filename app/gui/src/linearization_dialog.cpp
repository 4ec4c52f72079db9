#include "linearization_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "plain_dialogs.h"
#include "qt_user_interface.h"

namespace tavrin::gui {

LinearizationDialog::LinearizationDialog(app::DeviceSession& session, QtUserInterface& ui, QWidget* parent)
    : BatchCalibrationDialog(CalibrationKind::Linearization, session, ui, parent), lin_(bus(), database(), ui) {
  setObjectName(QString::fromLatin1(kLinearizationDialog));
  prepare(lin_);
  build(buildPoints(), {tr("Batch linearization"), tr("Continue uncompleted calibration"), tr("Read settings values"),
                        tr("Save settings values"), tr("Download calibration data")});
}

LinearizationDialog::~LinearizationDialog() = default;

QWidget* LinearizationDialog::buildPoints() {
  auto* box = new QGroupBox(tr("Trim points"));
  box->setObjectName(QStringLiteral("trimPoints"));
  auto* layout = new QVBoxLayout(box);

  auto* form = new QFormLayout;
  count_ = new QComboBox(box);
  count_->setObjectName(QStringLiteral("countList"));
  for (int n = calibration::kMinTrimPoints; n <= calibration::kMaxTrimPoints; ++n) count_->addItem(QString::number(n), n);
  count_->setCurrentIndex(-1);
  form->addRow(tr("Trim &points:"), count_);
  lower_ = new QLineEdit(box);
  lower_->setObjectName(QStringLiteral("lowerLimit"));
  upper_ = new QLineEdit(box);
  upper_->setObjectName(QStringLiteral("upperLimit"));
  form->addRow(tr("&Lower limit:"), lower_);
  form->addRow(tr("&Upper limit:"), upper_);
  distribute_ = new QPushButton(tr("Distribute evenly"), box);
  distribute_->setObjectName(QStringLiteral("distributeButton"));
  distribute_->setToolTip(tr("Reference values evenly from the lower to the upper limit"));
  form->addRow(QString(), distribute_);
  layout->addLayout(form);

  auto* scroll = new QScrollArea(box);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* rows = new QWidget(scroll);
  auto* grid = new QGridLayout(rows);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(new QLabel(tr("Reference value"), rows), 0, 1);
  for (int n = 0; n < calibration::kMaxTrimPoints; ++n) {
    Row& r = rows_[static_cast<size_t>(n)];
    const QString name = tr("Point %1").arg(n + 1);
    auto* label = new QLabel(name, rows);
    r.reference = new QLineEdit(rows);
    r.reference->setObjectName(QStringLiteral("reference%1").arg(n));
    r.reference->setAccessibleName(tr("Reference value of point %1").arg(n + 1));
    label->setBuddy(r.reference);
    r.collect = new QPushButton(tr("Collect"), rows);
    r.collect->setObjectName(QStringLiteral("collect%1").arg(n));
    r.collect->setAccessibleName(tr("Collect point %1").arg(n + 1));
    r.mark = new QLabel(rows);
    r.mark->setObjectName(QStringLiteral("collected%1").arg(n));
    r.mark->setMinimumWidth(100);
    showCollected(r.mark, false, name);
    grid->addWidget(label, n + 1, 0);
    grid->addWidget(r.reference, n + 1, 1);
    grid->addWidget(r.collect, n + 1, 2);
    grid->addWidget(r.mark, n + 1, 3);
    connect(r.reference, &QLineEdit::textEdited, this, [this, n](const QString& text) {
      lin_.setReference(n, stdText(text));
    });
    connect(r.collect, &QPushButton::clicked, this, [this, n] { collect([&] { return lin_.collect(n); }); });
  }
  grid->setRowStretch(calibration::kMaxTrimPoints + 1, 1);
  scroll->setWidget(rows);
  layout->addWidget(scroll, 1);
  box->setMinimumWidth(380);

  connect(count_, &QComboBox::activated, this, [this](int index) {
    lin_.selectCount(count_->itemData(index).toInt());
    // A refused choice goes back to the count in force.
    refreshControls();
  });
  connect(distribute_, &QPushButton::clicked, this,
          [this] { lin_.distribute(stdText(lower_->text()), stdText(upper_->text())); });
  return box;
}

void LinearizationDialog::refreshControls() {
  const calibration::LinearizationState s = lin_.state();
  {
    const QSignalBlocker block(count_);
    count_->setCurrentIndex(s.count ? count_->findData(s.count) : -1);
  }
  count_->setEnabled(s.buttons.countLists);
  lower_->setEnabled(s.buttons.countLists);
  upper_->setEnabled(s.buttons.countLists);
  distribute_->setEnabled(s.buttons.countLists);
  for (int n = 0; n < calibration::kMaxTrimPoints; ++n) {
    const auto i = static_cast<size_t>(n);
    const Row& r = rows_[i];
    r.reference->setEnabled(s.rowEnabled[i]);
    r.collect->setEnabled(s.rowEnabled[i]);
    const QString text = qtText(s.references[i]);
    if (r.reference->text() != text) r.reference->setText(text);
    showCollected(r.mark, s.collected[i], tr("Point %1").arg(n + 1));
  }
  button(FrameButton::Download)->setEnabled(s.buttons.download);
  button(FrameButton::Resume)->setEnabled(s.buttons.resume);
  button(FrameButton::LoadSettings)->setEnabled(s.buttons.files);
  button(FrameButton::SaveSettings)->setEnabled(s.buttons.files);
}

bool LinearizationDialog::pointShown(const PointRecord& point) const {
  const calibration::LinearizationState s = lin_.state();
  return point.point < s.count && s.collected[static_cast<size_t>(point.point)];
}

}  // namespace tavrin::gui
