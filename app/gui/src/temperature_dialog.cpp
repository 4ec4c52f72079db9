#include "temperature_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "plain_dialogs.h"
#include "qt_user_interface.h"

namespace tavrin::gui {

namespace {
// The grid's first two columns hold the rows' labels and reference
// temperatures; its first two rows the columns' labels and pressures.
constexpr int kHeaderRows = 2;
constexpr int kHeaderColumns = 2;
}  // namespace

TemperatureDialog::TemperatureDialog(app::DeviceSession& session, QtUserInterface& ui, QWidget* parent)
    : BatchCalibrationDialog(CalibrationKind::TemperatureCompensation, session, ui, parent), temp_(bus(), database(), ui) {
  setObjectName(QString::fromLatin1(kTemperatureDialog));
  prepare(temp_);
  build(buildGrid(), {tr("Temperature compensation"), tr("Continue uncompleted calibration"), tr("Read settings data"),
                      tr("Save settings data"), tr("Download temperature compensation data")});
}

TemperatureDialog::~TemperatureDialog() = default;

QWidget* TemperatureDialog::buildGrid() {
  auto* box = new QGroupBox(tr("Compensation points"));
  box->setObjectName(QStringLiteral("compensationPoints"));
  auto* layout = new QVBoxLayout(box);

  auto* counts = new QHBoxLayout;
  temperatureCount_ = new QComboBox(box);
  temperatureCount_->setObjectName(QStringLiteral("temperatureCountList"));
  for (int n = calibration::kMinTemperaturePoints; n <= calibration::kMaxTemperaturePoints; ++n)
    temperatureCount_->addItem(QString::number(n), n);
  pressureCount_ = new QComboBox(box);
  pressureCount_->setObjectName(QStringLiteral("pressureCountList"));
  for (int n = calibration::kMinPressurePoints; n <= calibration::kMaxPressurePoints; ++n)
    pressureCount_->addItem(QString::number(n), n);
  temperatureCount_->setCurrentIndex(-1);
  pressureCount_->setCurrentIndex(-1);
  auto* temperatureLabel = new QLabel(tr("&Temperature points:"), box);
  temperatureLabel->setBuddy(temperatureCount_);
  auto* pressureLabel = new QLabel(tr("P&ressure points:"), box);
  pressureLabel->setBuddy(pressureCount_);
  counts->addWidget(temperatureLabel);
  counts->addWidget(temperatureCount_);
  counts->addSpacing(16);
  counts->addWidget(pressureLabel);
  counts->addWidget(pressureCount_);
  counts->addStretch(1);
  layout->addLayout(counts);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->addWidget(new QLabel(tr("Reference pressure:"), box), 1, 0, 1, kHeaderColumns, Qt::AlignRight);
  grid->addWidget(new QLabel(tr("Reference temperature"), box), 0, 1, Qt::AlignBottom);
  for (int p = 0; p < calibration::kMaxPressurePoints; ++p) {
    grid->addWidget(new QLabel(tr("Pressure %1").arg(p + 1), box), 0, kHeaderColumns + p, Qt::AlignCenter);
    auto* edit = new QLineEdit(box);
    edit->setObjectName(QStringLiteral("referencePressure%1").arg(p));
    edit->setAccessibleName(tr("Reference pressure of pressure point %1").arg(p + 1));
    edit->setMinimumWidth(80);
    grid->addWidget(edit, 1, kHeaderColumns + p);
    pressures_[static_cast<size_t>(p)] = edit;
    connect(edit, &QLineEdit::textEdited, this,
            [this, p](const QString& text) { temp_.setReferencePressure(p, stdText(text)); });
  }
  for (int t = 0; t < calibration::kMaxTemperaturePoints; ++t) {
    const int row = kHeaderRows + t;
    grid->addWidget(new QLabel(tr("Temperature %1").arg(t + 1), box), row, 0);
    auto* edit = new QLineEdit(box);
    edit->setObjectName(QStringLiteral("referenceTemperature%1").arg(t));
    edit->setAccessibleName(tr("Reference temperature of temperature point %1").arg(t + 1));
    edit->setMinimumWidth(80);
    grid->addWidget(edit, row, 1);
    temperatures_[static_cast<size_t>(t)] = edit;
    connect(edit, &QLineEdit::textEdited, this,
            [this, t](const QString& text) { temp_.setReferenceTemperature(t, stdText(text)); });
    for (int p = 0; p < calibration::kMaxPressurePoints; ++p) {
      const int i = calibration::gridPoint(t, p);
      Cell& c = cells_[static_cast<size_t>(i)];
      auto* cell = new QWidget(box);
      auto* stack = new QVBoxLayout(cell);
      stack->setContentsMargins(0, 2, 0, 2);
      stack->setSpacing(1);
      c.collect = new QPushButton(tr("Collect %1").arg(i + 1), cell);
      c.collect->setObjectName(QStringLiteral("collect%1").arg(i));
      c.collect->setAccessibleName(
          tr("Collect point %1: temperature point %2, pressure point %3").arg(i + 1).arg(t + 1).arg(p + 1));
      c.mark = new QLabel(cell);
      c.mark->setObjectName(QStringLiteral("collected%1").arg(i));
      c.mark->setAlignment(Qt::AlignCenter);
      showCollected(c.mark, false, tr("Point %1").arg(i + 1));
      stack->addWidget(c.collect);
      stack->addWidget(c.mark);
      grid->addWidget(cell, row, kHeaderColumns + p);
      connect(c.collect, &QPushButton::clicked, this, [this, i] { collect([&] { return temp_.collect(i); }); });
    }
  }
  layout->addLayout(grid);
  layout->addStretch(1);

  connect(temperatureCount_, &QComboBox::activated, this, [this](int index) {
    temp_.selectTemperatureCount(temperatureCount_->itemData(index).toInt());
    refreshControls();
  });
  connect(pressureCount_, &QComboBox::activated, this, [this](int index) {
    temp_.selectPressureCount(pressureCount_->itemData(index).toInt());
    refreshControls();
  });
  return box;
}

void TemperatureDialog::refreshControls() {
  const calibration::TemperatureCompensationState s = temp_.state();
  {
    const QSignalBlocker a(temperatureCount_), b(pressureCount_);
    temperatureCount_->setCurrentIndex(s.temperatureCount ? temperatureCount_->findData(s.temperatureCount) : -1);
    pressureCount_->setCurrentIndex(s.pressureCount ? pressureCount_->findData(s.pressureCount) : -1);
  }
  temperatureCount_->setEnabled(s.buttons.countLists);
  pressureCount_->setEnabled(s.buttons.countLists);
  for (int t = 0; t < calibration::kMaxTemperaturePoints; ++t) {
    QLineEdit* edit = temperatures_[static_cast<size_t>(t)];
    edit->setEnabled(s.rowEnabled[static_cast<size_t>(t)]);
    const QString text = qtText(s.temperatures[static_cast<size_t>(t)]);
    if (edit->text() != text) edit->setText(text);
  }
  for (int p = 0; p < calibration::kMaxPressurePoints; ++p) {
    QLineEdit* edit = pressures_[static_cast<size_t>(p)];
    edit->setEnabled(s.columnEnabled[static_cast<size_t>(p)]);
    const QString text = qtText(s.pressures[static_cast<size_t>(p)]);
    if (edit->text() != text) edit->setText(text);
  }
  for (int i = 0; i < calibration::kGridPoints; ++i) {
    const Cell& c = cells_[static_cast<size_t>(i)];
    c.collect->setEnabled(s.pointEnabled(i));
    c.mark->setEnabled(s.pointEnabled(i));
    showCollected(c.mark, s.collected[static_cast<size_t>(i)], tr("Point %1").arg(i + 1));
  }
  button(FrameButton::Download)->setEnabled(s.buttons.download);
  button(FrameButton::Resume)->setEnabled(s.buttons.resume);
  button(FrameButton::LoadSettings)->setEnabled(s.buttons.files);
  button(FrameButton::SaveSettings)->setEnabled(s.buttons.files);
}

bool TemperatureDialog::pointShown(const PointRecord& point) const {
  const calibration::TemperatureCompensationState s = temp_.state();
  return s.pointEnabled(point.point) && s.collected[static_cast<size_t>(point.point)];
}

}  // namespace tavrin::gui
