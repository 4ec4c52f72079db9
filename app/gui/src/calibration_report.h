// The report of a calibration run, which engineers file as a certificate:
// when, which procedure, every transmitter that took part with its
// identification, result and points (collected and reference values as
// downloaded, and their deviation), and the operation log.
//
// It is written twice: as PDF (Qt's own PDF writer; a summary, per
// transmitter its table and deviation plot, the log with the error lines
// in red) and as CSV (RFC 4180, comma-separated, one header line and one
// row per transmitter and point, for spreadsheets and quality systems).
#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "calibration_record.h"

namespace tavrin::gui {

struct CalibrationReport {
  CalibrationKind kind = CalibrationKind::Linearization;
  QDateTime when;
  std::vector<TransmitterRecord> transmitters;
  std::vector<calibration::LogLine> log;

  QString procedureName() const;
};

// The CSV's header line, without its line end.
QString csvHeader(CalibrationKind kind);
// Both return false when the file could not be written.
bool writeCsv(const CalibrationReport& report, const QString& path);
bool writePdf(const CalibrationReport& report, const QString& path);

// The folder the dialogs save every run's report into: <program folder>
// Reports/.
QString reportFolder(const std::string& programFolder);
// "<folder>/<Procedure>_<yyyy-MM-dd_HH-mm-ss>" for the time, with "_2",
// "_3"... when a report of that name is there already; without extension.
QString reportBaseName(const QString& folder, const CalibrationReport& report);

}  // namespace tavrin::gui
