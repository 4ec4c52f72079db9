// What the two batch calibration dialogs share: the 32 address indicators
// with their identification texts, the operation log with its two colours,
// the plot beside it, the buttons along the bottom (search, continue, the
// reference-point files, download, the report, close), the report of every
// download, and the closing rule. Each dialog adds its points (rows or the
// grid) and owns its procedure (calibration/), over which it is a thin
// front end: every button is one operation of the procedure, called on the
// GUI thread, and the procedure's observer calls are queued to the GUI
// thread (a worker's) or applied at once (a collection's, which runs here
// and lets the window repaint, without taking clicks, between transmitters).
//
// Closing is refused while a search or download runs ("Error: The program
// is running, please shut down this function later!") or a collection is
// under way; otherwise the address in use before the dialog opened becomes
// the current one again.
#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <array>
#include <optional>

#include "app/session.h"
#include "calibration/procedure.h"
#include "calibration/transmitter_bus.h"
#include "calibration_plot.h"
#include "calibration_report.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tavrin::gui {

class QtUserInterface;

enum class FrameButton { Search, Resume, LoadSettings, SaveSettings, Download, SaveReport, Close };
inline constexpr int kFrameButtons = 7;

// The indicators' look: a colour and a text for each state, so that they
// read the same without colour.
QColor indicatorColour(calibration::Indicator indicator);
QString indicatorText(calibration::Indicator indicator);
// The log's colours: normal lines, and error lines (also bold).
inline const QColor kLogNormalColour(0, 0, 0);
inline const QColor kLogErrorColour(192, 0, 0);
// A point's collected mark: "collected" with a check, or "not collected".
void showCollected(QLabel* mark, bool collected, const QString& point);

class BatchCalibrationDialog : public QDialog, protected calibration::Observer {
  Q_OBJECT
 public:
  ~BatchCalibrationDialog() override;

  CalibrationKind kind() const { return kind_; }
  QLabel* indicator(int address) const { return indicators_[static_cast<size_t>(address)]; }
  QListWidget* logView() const { return log_; }
  CalibrationPlot* plot() const { return plot_; }
  QComboBox* plotTransmitter() const { return plotTransmitter_; }
  QComboBox* plotMode() const { return plotMode_; }
  QPushButton* button(FrameButton b) const { return buttons_[static_cast<size_t>(b)]; }
  QLabel* reportLabel() const { return reportLabel_; }
  // The files of the last download's report, without extension (".pdf"
  // and ".csv" beside each other); empty before the first.
  QString lastReportBase() const { return lastReportBase_; }
  bool collecting() const { return collecting_; }
  // A search or download worker runs.
  bool running() const { return procedure().running(); }

  // Refused while running or collecting; otherwise the procedure is closed.
  void done(int result) override;

 signals:
  // A search's or download's worker has ended and the dialog shows all it
  // did (after a download, its report is written or has failed).
  void workerEnded();

 protected:
  struct Texts {
    QString title;
    QString resume;
    QString loadSettings;
    QString saveSettings;
    QString download;
  };
  BatchCalibrationDialog(CalibrationKind kind, app::DeviceSession& session, QtUserInterface& ui, QWidget* parent);
  // Completes the frame around the points; the derived constructor calls
  // it once its procedure exists.
  void build(QWidget* points, const Texts& texts);

  virtual calibration::BatchProcedure& procedure() = 0;
  virtual const calibration::BatchProcedure& procedure() const = 0;
  // Counts, rows, references, marks and buttons as the procedure's state.
  virtual void refreshControls() = 0;
  // Whether the plot shows a point: collected in this dialog, in use.
  virtual bool pointShown(const PointRecord& point) const = 0;
  virtual bool resumeProcedure() = 0;
  virtual bool loadReferences() = 0;
  virtual bool saveReferences() = 0;
  virtual bool startDownload() = 0;

  // Runs a collection on the GUI thread (true when every transmitter's
  // value was collected).
  template <class F>
  bool collect(F&& work) {
    if (collecting_) return false;
    collecting_ = true;
    const bool all = work();
    collecting_ = false;
    return all;
  }

  calibration::TransmitterBus& bus() { return bus_; }
  calibration::TrimDatabase database() const;
  QtUserInterface& ui() { return ui_; }
  // The procedure's live reading over this dialog, and its pause, which
  // the live dialog makes before it closes.
  void prepare(calibration::BatchProcedure& p);
  void refreshPlot();

 private:
  // calibration::Observer, from any thread.
  void stationChanged(int address, const calibration::Station& station) override;
  void logAdded(const calibration::LogLine& line) override;
  void runningChanged(bool running) override;
  void controlsChanged() override;
  template <class F>
  void deliver(F f);

  void showStation(int address, const calibration::Station& station);
  void appendLog(const calibration::LogLine& line);
  void afterWorker();
  void fillPlotTransmitters();
  void writeReport();
  void saveReportAs();

  CalibrationKind kind_;
  app::DeviceSession& session_;
  QtUserInterface& ui_;
  calibration::LinkBus bus_;
  std::array<QLabel*, calibration::kAddresses> indicators_{};
  std::array<std::string, calibration::kAddresses> identifications_;
  std::array<QPushButton*, kFrameButtons> buttons_{};
  QListWidget* log_ = nullptr;
  CalibrationPlot* plot_ = nullptr;
  QComboBox* plotTransmitter_ = nullptr;
  QComboBox* plotMode_ = nullptr;
  QLabel* reportLabel_ = nullptr;
  bool collecting_ = false;
  bool downloading_ = false;
  bool refillPending_ = false;
  std::optional<CalibrationReport> lastReport_;
  QString lastReportBase_;
};

}  // namespace tavrin::gui
