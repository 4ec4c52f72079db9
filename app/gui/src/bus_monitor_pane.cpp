#include "bus_monitor_pane.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <fstream>

#include "device_window.h"
#include "frame_model.h"
#include "qt_user_interface.h"

namespace tavrin::gui {

BusMonitorPane::BusMonitorPane(DeviceWindow& device, QtUserInterface& ui, QWidget* parent)
    : QDockWidget(tr("Bus monitor"), parent), ui_(ui), device_(&device) {
  setObjectName(QStringLiteral("busMonitorPane"));
  setAccessibleName(tr("Bus monitor"));
  setAllowedAreas(Qt::AllDockWidgetAreas);

  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* bar = new QHBoxLayout;
  pause_ = new QPushButton(tr("Pause"), body);
  pause_->setObjectName(QStringLiteral("busMonitorPause"));
  pause_->setCheckable(true);
  clear_ = new QPushButton(tr("Clear"), body);
  clear_->setObjectName(QStringLiteral("busMonitorClear"));
  auto* addressLabel = new QLabel(tr("Address:"), body);
  address_ = new QSpinBox(body);
  address_->setObjectName(QStringLiteral("busMonitorAddress"));
  address_->setAccessibleName(tr("Address filter"));
  // The lowest value stands for every address.
  address_->setRange(-1, 255);
  address_->setSpecialValueText(tr("All"));
  address_->setValue(-1);
  addressLabel->setBuddy(address_);
  save_ = new QPushButton(tr("Save..."), body);
  save_->setObjectName(QStringLiteral("busMonitorSave"));
  status_ = new QLabel(body);
  status_->setObjectName(QStringLiteral("busMonitorStatus"));
  for (QPushButton* b : {pause_, clear_, save_}) b->setAutoDefault(false);
  bar->addWidget(pause_);
  bar->addWidget(clear_);
  bar->addSpacing(12);
  bar->addWidget(addressLabel);
  bar->addWidget(address_);
  bar->addSpacing(12);
  bar->addWidget(save_);
  bar->addStretch(1);
  bar->addWidget(status_);
  layout->addLayout(bar);

  model_ = new FrameModel(monitor_.origin(), this);
  filter_ = new AddressFilter(this);
  filter_->setSourceModel(model_);
  view_ = new QTableView(body);
  view_->setObjectName(QStringLiteral("busMonitorView"));
  view_->setAccessibleName(tr("Frames"));
  view_->setModel(filter_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->setColumnWidth(FrameModel::Time, 90);
  view_->setColumnWidth(FrameModel::Direction, 36);
  view_->setColumnWidth(FrameModel::Address, 60);
  view_->setColumnWidth(FrameModel::Summary, 330);
  layout->addWidget(view_, 1);
  setWidget(body);

  connect(clear_, &QPushButton::clicked, this, [this] {
    model_->clear();
    notShown_ = 0;
    showStatus();
  });
  connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
    pause_->setText(paused ? tr("Resume") : tr("Pause"));
    if (!paused) notShown_ = 0;
    showStatus();
  });
  connect(address_, &QSpinBox::valueChanged, this, [this](int value) {
    filter_->setAddress(value < 0 ? std::nullopt : std::optional<int>(value));
    showStatus();
  });
  connect(save_, &QPushButton::clicked, this, &BusMonitorPane::saveWithDialog);

  monitor_.attach(device.session().links());
  timer_ = new QTimer(this);
  timer_->setInterval(kTakeIntervalMs);
  connect(timer_, &QTimer::timeout, this, &BusMonitorPane::takeFrames);
  timer_->start();
  showStatus();
}

BusMonitorPane::~BusMonitorPane() {
  // A device window that went first has taken the registration back.
  if (device_)
    monitor_.detach();
  else
    monitor_.abandon();
}

void BusMonitorPane::takeFrames() {
  std::vector<app::MonitorFrame> frames = monitor_.queue().take();
  if (frames.empty()) return;
  if (pause_->isChecked()) {
    notShown_ += frames.size();
  } else {
    // Someone who scrolled back to look at a frame keeps it in view.
    const QScrollBar* bar = view_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    model_->append(std::move(frames));
    if (atEnd) view_->scrollToBottom();
  }
  showStatus();
}

void BusMonitorPane::showStatus() {
  QString text = tr("%n frame(s)", nullptr, filter_->rowCount());
  if (pause_->isChecked()) text += tr(", paused: %1 not kept").arg(notShown_);
  if (const uint64_t lost = monitor_.queue().dropped()) text += tr(", %1 lost (queue full)").arg(lost);
  if (monitor_.attached() && device_) {
    const app::CommunicationType type = device_->session().communicationType();
    const bool none = type == app::CommunicationType::None;
    const app::Bus bus = type == app::CommunicationType::Modbus ? app::Bus::Modbus : app::Bus::Profibus;
    if (!none && !monitor_.supported(bus)) text = tr("The driver has no frame monitor");
  }
  status_->setText(text);
}

bool BusMonitorPane::saveTo(const std::string& path) {
  std::ofstream out(path, std::ios::trunc);
  for (int r = 0; out && r < filter_->rowCount(); ++r)
    out << model_->line(filter_->mapToSource(filter_->index(r, 0)).row()) << '\n';
  out.flush();
  if (out) return true;
  ui_.errorBox("Error: " + path + " file cannot be written!");
  return false;
}

void BusMonitorPane::saveWithDialog() {
  const auto path = ui_.saveFileName({"Save bus monitor", "(*.txt)|*.txt|", "txt", ""});
  if (path) saveTo(*path);
}

}  // namespace tavrin::gui
