// The live reading of the first transmitter while a point is collected:
// "Linear collect value" (the measured value) or "Temperature trim collect"
// (temperature and pressure with their unit texts). It reads at once and
// then every 300 ms and shows what it read, an empty field when a read
// failed. OK or Cancel stop the reading; the dialog then waits 350 ms,
// letting a reading in flight end, before it closes. The procedure takes
// what the last reading showed on OK; Cancel ends the whole collection.
#pragma once

#include <QDialog>
#include <QList>

#include "calibration/procedure.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace tavrin::gui {

inline constexpr const char* kLiveCollectDialog = "liveCollectDialog";

class LiveCollectDialog : public QDialog {
  Q_OBJECT
 public:
  LiveCollectDialog(const calibration::LiveDialog& dialog, calibration::LiveTick tick, QWidget* parent = nullptr);

  // The value fields and unit texts, in the order of the dialog's labels.
  QLineEdit* valueField(int n) const { return values_.value(n); }
  QLabel* unitLabel(int n) const { return units_.value(n); }
  // Readings made so far.
  int readings() const { return readings_; }

  void done(int result) override;

 private:
  void read();

  calibration::LiveTick tick_;
  QList<QLineEdit*> values_;
  QList<QLabel*> units_;
  QTimer* timer_;
  QDialogButtonBox* buttons_;
  int readings_ = 0;
  bool closing_ = false;
};

// The procedure's LiveReader: the dialog, modal over parent. True for OK.
bool liveCollect(QWidget* parent, const calibration::LiveDialog& dialog, const calibration::LiveTick& tick);

}  // namespace tavrin::gui
