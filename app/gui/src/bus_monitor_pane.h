// The "Bus monitor" pane: a dock of the main window listing every frame the
// drivers send and receive (frame_model.h), with Pause (frames that arrive
// meanwhile are not kept, and counted), Clear, a filter by address and
// Save... (the shown rows as the lines tavrin-cli --trace writes).
//
// The drivers' threads only queue frames (app/bus_monitor.h); the pane
// takes them on the GUI thread every kTakeIntervalMs. It registers with the
// session's links when made and takes its registration back when it goes
// before the device window; when the device window goes first, its links
// take it back as they unbind.
#pragma once

#include <QDockWidget>
#include <QPointer>
#include <cstdint>

#include "app/bus_monitor.h"

class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;

namespace tavrin::gui {

class AddressFilter;
class DeviceWindow;
class FrameModel;
class QtUserInterface;

class BusMonitorPane : public QDockWidget {
  Q_OBJECT
 public:
  static constexpr int kTakeIntervalMs = 100;

  BusMonitorPane(DeviceWindow& device, QtUserInterface& ui, QWidget* parent = nullptr);
  ~BusMonitorPane() override;

  FrameModel* model() const { return model_; }
  AddressFilter* filter() const { return filter_; }
  QTableView* view() const { return view_; }
  QPushButton* pauseButton() const { return pause_; }
  QPushButton* clearButton() const { return clear_; }
  QPushButton* saveButton() const { return save_; }
  QSpinBox* addressBox() const { return address_; }
  QLabel* statusLabel() const { return status_; }
  app::BusMonitor& monitor() { return monitor_; }

  // Takes what the drivers queued now (the timer does it every interval).
  void takeFrames();
  // Writes the shown rows to path; false (said) when it cannot.
  bool saveTo(const std::string& path);

 private:
  void saveWithDialog();
  void showStatus();

  QtUserInterface& ui_;
  QPointer<DeviceWindow> device_;
  app::BusMonitor monitor_;
  FrameModel* model_;
  AddressFilter* filter_;
  QTableView* view_;
  QPushButton* pause_;
  QPushButton* clear_;
  QPushButton* save_;
  QSpinBox* address_;
  QLabel* status_;
  QTimer* timer_;
  uint64_t notShown_ = 0;
};

}  // namespace tavrin::gui
