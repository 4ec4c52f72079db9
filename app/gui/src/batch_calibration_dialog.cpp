#include "batch_calibration_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QSplitter>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "live_collect_dialog.h"
#include "plain_dialogs.h"
#include "qt_user_interface.h"

namespace tavrin::gui {
namespace {

using calibration::Indicator;

constexpr const char* kRunningClose = "Error: The program is running, please shut down this function later!";
constexpr int kIndicatorColumns = 8;

}  // namespace

QColor indicatorColour(Indicator indicator) {
  switch (indicator) {
    case Indicator::Error: return {255, 120, 120};
    case Indicator::Online: return {170, 210, 255};
    case Indicator::Vacant: return {225, 225, 225};
    case Indicator::Working: return {255, 225, 90};
    case Indicator::Success: return {120, 220, 120};
  }
  return {};
}

QString indicatorText(Indicator indicator) { return QString::fromLatin1(calibration::indicatorName(indicator)); }

void showCollected(QLabel* mark, bool collected, const QString& point) {
  mark->setText(collected ? QString::fromUtf8("\u2714 collected") : QStringLiteral("not collected"));
  mark->setStyleSheet(collected ? QStringLiteral("QLabel { color: #006400; font-weight: bold; }")
                                : QStringLiteral("QLabel { color: #707070; }"));
  mark->setAccessibleName(point + QStringLiteral(": ") + (collected ? QStringLiteral("collected") : QStringLiteral("not collected")));
}

BatchCalibrationDialog::BatchCalibrationDialog(CalibrationKind kind, app::DeviceSession& session, QtUserInterface& ui,
                                               QWidget* parent)
    : QDialog(parent), kind_(kind), session_(session), ui_(ui), bus_(session.links()) {}

BatchCalibrationDialog::~BatchCalibrationDialog() = default;

calibration::TrimDatabase BatchCalibrationDialog::database() const {
  return calibration::TrimDatabase::ofProgram(session_.files().folder);
}

void BatchCalibrationDialog::prepare(calibration::BatchProcedure& p) {
  p.setObserver(this);
  p.setLiveReader([this](const calibration::LiveDialog& d, const calibration::LiveTick& tick) {
    return liveCollect(this, d, tick);
  });
  // The live dialog has made its closing wait before it returns.
  p.setPause([](std::chrono::milliseconds) {});
}

void BatchCalibrationDialog::build(QWidget* points, const Texts& texts) {
  setWindowTitle(texts.title);
  setModal(true);
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);

  // The addresses, eight to a row.
  auto* stations = new QGroupBox(tr("Transmitters"), this);
  stations->setObjectName(QStringLiteral("transmitters"));
  auto* grid = new QGridLayout(stations);
  grid->setSpacing(4);
  for (int a = 0; a < calibration::kAddresses; ++a) {
    auto* label = new QLabel(stations);
    label->setObjectName(QStringLiteral("indicator%1").arg(a));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(112);
    label->setAutoFillBackground(true);
    grid->addWidget(label, a / kIndicatorColumns, a % kIndicatorColumns);
    indicators_[static_cast<size_t>(a)] = label;
  }
  layout->addWidget(stations);

  auto* middle = new QSplitter(Qt::Horizontal, this);
  middle->setObjectName(QStringLiteral("calibrationSplitter"));
  middle->setChildrenCollapsible(false);
  middle->addWidget(points);

  auto* logBox = new QGroupBox(tr("Operation log"), middle);
  auto* logLayout = new QVBoxLayout(logBox);
  log_ = new QListWidget(logBox);
  log_->setObjectName(QStringLiteral("operationLog"));
  log_->setAccessibleName(tr("Operation log"));
  log_->setUniformItemSizes(true);
  log_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSizeF(std::max(7.0, fixed.pointSizeF() - 1));
  log_->setFont(fixed);
  log_->setMinimumWidth(300);
  logLayout->addWidget(log_);
  middle->addWidget(logBox);

  auto* plotBox = new QGroupBox(tr("Plot"), middle);
  auto* plotLayout = new QVBoxLayout(plotBox);
  auto* plotChoice = new QHBoxLayout;
  plotTransmitter_ = new QComboBox(plotBox);
  plotTransmitter_->setObjectName(QStringLiteral("plotTransmitter"));
  plotTransmitter_->setAccessibleName(tr("Transmitter of the plot"));
  plotTransmitter_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  plotTransmitter_->setMinimumContentsLength(20);
  plotMode_ = new QComboBox(plotBox);
  plotMode_->setObjectName(QStringLiteral("plotMode"));
  plotMode_->setAccessibleName(tr("What the plot shows"));
  plotMode_->addItem(tr("Characteristic"), static_cast<int>(PlotMode::Characteristic));
  plotMode_->addItem(tr("Deviation"), static_cast<int>(PlotMode::Deviation));
  auto* transmitterLabel = new QLabel(tr("&Transmitter:"), plotBox);
  transmitterLabel->setBuddy(plotTransmitter_);
  auto* modeLabel = new QLabel(tr("&Show:"), plotBox);
  modeLabel->setBuddy(plotMode_);
  plotChoice->addWidget(transmitterLabel);
  plotChoice->addWidget(plotTransmitter_, 1);
  plotChoice->addWidget(modeLabel);
  plotChoice->addWidget(plotMode_);
  plotLayout->addLayout(plotChoice);
  plot_ = new CalibrationPlot(plotBox);
  plotLayout->addWidget(plot_, 1);
  middle->addWidget(plotBox);
  middle->setStretchFactor(0, 0);
  middle->setStretchFactor(1, 1);
  middle->setStretchFactor(2, 2);
  layout->addWidget(middle, 1);
  connect(plotTransmitter_, &QComboBox::currentIndexChanged, this, [this] { refreshPlot(); });
  connect(plotMode_, &QComboBox::currentIndexChanged, this, [this] { refreshPlot(); });

  reportLabel_ = new QLabel(this);
  reportLabel_->setObjectName(QStringLiteral("reportLabel"));
  reportLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  reportLabel_->setWordWrap(true);
  layout->addWidget(reportLabel_);

  auto* row = new QHBoxLayout;
  const std::array<QString, kFrameButtons> names{tr("Search online instruments"), texts.resume, texts.loadSettings,
                                                 texts.saveSettings, texts.download, tr("Save report..."), tr("Close")};
  const std::array<const char*, kFrameButtons> objects{"searchButton", "continueButton", "readSettingsButton",
                                                       "saveSettingsButton", "downloadButton", "saveReportButton",
                                                       "closeButton"};
  for (int b = 0; b < kFrameButtons; ++b) {
    auto* button = new QPushButton(names[static_cast<size_t>(b)], this);
    button->setObjectName(QString::fromLatin1(objects[static_cast<size_t>(b)]));
    buttons_[static_cast<size_t>(b)] = button;
    if (static_cast<FrameButton>(b) == FrameButton::Close) row->addStretch(1);
    row->addWidget(button);
  }
  layout->addLayout(row);
  button(FrameButton::SaveReport)->setEnabled(false);
  button(FrameButton::SaveReport)->setToolTip(tr("Save the report of the last download elsewhere"));

  connect(button(FrameButton::Search), &QPushButton::clicked, this, [this] { procedure().search(); });
  connect(button(FrameButton::Resume), &QPushButton::clicked, this, [this] { resumeProcedure(); });
  connect(button(FrameButton::LoadSettings), &QPushButton::clicked, this, [this] { loadReferences(); });
  connect(button(FrameButton::SaveSettings), &QPushButton::clicked, this, [this] { saveReferences(); });
  connect(button(FrameButton::Download), &QPushButton::clicked, this, [this] {
    if (startDownload()) downloading_ = true;
  });
  connect(button(FrameButton::SaveReport), &QPushButton::clicked, this, &BatchCalibrationDialog::saveReportAs);
  connect(button(FrameButton::Close), &QPushButton::clicked, this, &QDialog::reject);

  // Return in a reference field types a value; it must never start a
  // search or a download.
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  const calibration::Stations now = procedure().stations();
  for (int a = 0; a < calibration::kAddresses; ++a) showStation(a, now[static_cast<size_t>(a)]);
  for (const calibration::LogLine& line : procedure().log()) appendLog(line);
  fillPlotTransmitters();
  refreshControls();
  resize(1500, 860);
  const int pointsWidth = points->sizeHint().width();
  middle->setSizes({pointsWidth, 400, std::max(440, 1480 - pointsWidth - 400)});
}

// --- what the procedure tells ---

template <class F>
void BatchCalibrationDialog::deliver(F f) {
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    return;
  }
  f();
  // A collection reads transmitter after transmitter on this thread: the
  // window shows each one as it goes, and clicks wait until it has ended.
  if (collecting_) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void BatchCalibrationDialog::stationChanged(int address, const calibration::Station& station) {
  deliver([this, address, station] { showStation(address, station); });
}

void BatchCalibrationDialog::logAdded(const calibration::LogLine& line) {
  deliver([this, line] { appendLog(line); });
}

void BatchCalibrationDialog::runningChanged(bool running) {
  deliver([this, running] {
    if (!running) afterWorker();
  });
}

void BatchCalibrationDialog::controlsChanged() {
  deliver([this] {
    refreshControls();
    refreshPlot();
  });
}

void BatchCalibrationDialog::showStation(int address, const calibration::Station& station) {
  QLabel* label = indicator(address);
  const QString state = indicatorText(station.indicator);
  const QString identification = qtText(station.identification);
  label->setText(QStringLiteral("%1  %2\n%3")
                     .arg(address, 2, 10, QLatin1Char('0'))
                     .arg(state, identification.isEmpty() ? QStringLiteral("-") : identification));
  const QColor fill = indicatorColour(station.indicator);
  label->setStyleSheet(QStringLiteral("QLabel { background-color: %1; color: black; border: 1px solid %2; "
                                      "border-radius: 3px; padding: 2px; }")
                           .arg(fill.name(), fill.darker(150).name()));
  label->setAccessibleName(tr("Address %1").arg(address));
  const QString description = identification.isEmpty() ? state : state + QStringLiteral(", ") + identification;
  label->setAccessibleDescription(description);
  label->setToolTip(tr("Address %1: %2").arg(address).arg(description));

  std::string& known = identifications_[static_cast<size_t>(address)];
  if (known != station.identification) {
    known = station.identification;
    // A search changes them all: refilled once the changes have come.
    if (!refillPending_) {
      refillPending_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            if (!refillPending_) return;  // done when the worker ended
            refillPending_ = false;
            fillPlotTransmitters();
          },
          Qt::QueuedConnection);
    }
  }
}

void BatchCalibrationDialog::appendLog(const calibration::LogLine& line) {
  auto* item = new QListWidgetItem(qtText(line.shown()));
  item->setData(Qt::UserRole, line.error);
  item->setForeground(line.error ? kLogErrorColour : kLogNormalColour);
  if (line.error) {
    QFont bold = log_->font();
    bold.setBold(true);
    item->setFont(bold);
  }
  log_->addItem(item);
  log_->scrollToBottom();
}

void BatchCalibrationDialog::afterWorker() {
  if (refillPending_) {
    refillPending_ = false;
    fillPlotTransmitters();
  }
  if (downloading_) {
    downloading_ = false;
    writeReport();
    // After the download the plot shows what the trim took away.
    plotMode_->setCurrentIndex(plotMode_->findData(static_cast<int>(PlotMode::Deviation)));
    refreshPlot();
  }
  emit workerEnded();
}

// --- the plot ---

void BatchCalibrationDialog::fillPlotTransmitters() {
  const QVariant current = plotTransmitter_->currentData();
  const QSignalBlocker block(plotTransmitter_);
  plotTransmitter_->clear();
  for (int a = 0; a < calibration::kAddresses; ++a) {
    const std::string& id = identifications_[static_cast<size_t>(a)];
    if (!id.empty()) plotTransmitter_->addItem(tr("%1: %2").arg(a).arg(qtText(id)), a);
  }
  const int again = current.isValid() ? plotTransmitter_->findData(current) : -1;
  plotTransmitter_->setCurrentIndex(again >= 0 ? again : 0);
  refreshPlot();
}

void BatchCalibrationDialog::refreshPlot() {
  const QVariant address = plotTransmitter_->currentData();
  if (!address.isValid()) {
    PlotData empty;
    empty.title = tr("No transmitter found yet");
    plot_->setData(empty);
    return;
  }
  const int a = address.toInt();
  const calibration::Station station = procedure().stations()[static_cast<size_t>(a)];
  if (station.identification.empty()) return;
  const TransmitterRecord record = readRecord(kind_, database(), a, station);
  const auto mode = static_cast<PlotMode>(plotMode_->currentData().toInt());
  plot_->setData(plotOf(kind_, record, mode, [this](const PointRecord& p) { return pointShown(p); }));
}

// --- the report ---

void BatchCalibrationDialog::writeReport() {
  CalibrationReport report;
  report.kind = kind_;
  report.when = QDateTime::currentDateTime();
  report.transmitters = readRecords(kind_, database(), procedure().stations());
  report.log = procedure().log();
  const QString folder = reportFolder(session_.files().folder);
  const QString base = reportBaseName(folder, report);
  if (!QDir().mkpath(folder) || !writePdf(report, base + QStringLiteral(".pdf")) ||
      !writeCsv(report, base + QStringLiteral(".csv"))) {
    ui_.errorBox(stdText(QStringLiteral("Error: The calibration report cannot be written to %1!").arg(folder)));
    return;
  }
  lastReport_ = std::move(report);
  lastReportBase_ = base;
  reportLabel_->setText(tr("Report of this run: %1.pdf and .csv").arg(base));
  button(FrameButton::SaveReport)->setEnabled(true);
}

void BatchCalibrationDialog::saveReportAs() {
  if (!lastReport_) return;
  const auto chosen = ui_.saveFileName({"Save calibration report", "PDF report (*.pdf)|*.pdf||", "pdf",
                                        stdText(lastReportBase_ + QStringLiteral(".pdf"))});
  if (!chosen) return;
  QString base = qtText(*chosen);
  if (base.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) base.chop(4);
  // The CSV goes beside the PDF, under the same name.
  if (!writePdf(*lastReport_, base + QStringLiteral(".pdf")) || !writeCsv(*lastReport_, base + QStringLiteral(".csv")))
    ui_.errorBox(stdText(QStringLiteral("Error: The calibration report cannot be written to %1!").arg(base)));
}

// --- closing ---

void BatchCalibrationDialog::done(int result) {
  if (collecting_) {
    ui_.errorBox(kRunningClose);
    return;
  }
  if (!procedure().close()) return;
  QDialog::done(result);
}

}  // namespace tavrin::gui
