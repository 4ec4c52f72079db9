// The calibration records, plots and reports over trim databases written
// by hand: what a report says is what the download sent, a certificate's
// CSV reads back in a spreadsheet, its PDF holds the text.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTimeZone>

#include "calibration/trim_database.h"
#include "calibration_plot.h"
#include "calibration_report.h"
#include "testing/temp_dir.h"

namespace tavrin::gui {
namespace {

using calibration::Indicator;
using calibration::Station;

QString read(const std::string& path) {
  return QString::fromUtf8(QByteArray::fromStdString(tavrin::testing::TempDir::slurp(path)));
}

class Reports : public ::testing::Test {
 protected:
  void SetUp() override {
    calibration::TrimFile first = calibration::TrimFile::open(dir.file("DataBase/PT,7 \"A\".db"));
    const char* section = "Linearization";
    first.set(section, "TrimPoints", "3");
    const char* references[] = {"0", "50", "100"};
    const char* collected[] = {"0.5", "50.25", "1.2345678"};
    for (int n = 0; n < 3; ++n) {
      first.set(section, "Trimed_Data_" + std::to_string(n), references[n]);
      first.set(section, "Collection_Data_" + std::to_string(n), collected[n]);
    }
    // Left from a run of more points: not below the count, not reported.
    first.set(section, "Trimed_Data_3", "150");
    first.set(section, "Collection_Data_3", "150.5");
    const char* t = "Temperature_Trim";
    first.set(t, "TempPoints", "2");
    first.set(t, "PresPoints", "2");
    first.set(t, "Trimed_Temp_Data_0", "-10");
    first.set(t, "Trimed_Temp_Data_1", "60");
    first.set(t, "Trimed_Pres_Data_0", "0");
    first.set(t, "Trimed_Pres_Data_1", "200");
    first.set(t, "Collection_Temp_Data_0", "-9.75");
    first.set(t, "Collection_Temp_Data_1", "60.5");
    for (int i : {0, 1, 5, 6}) first.set(t, "Collection_Pres_Data_" + std::to_string(i), std::to_string(i) + ".5");
    ASSERT_TRUE(first.save());
    stations[2] = Station{"PT,7 \"A\"", Indicator::Success};
    stations[9] = Station{"NEVER-TRIMMED", Indicator::Error};
    report.when = QDateTime(QDate(2024, 6, 1), QTime(14, 3, 5), QTimeZone(7200));
    report.log = {{1, "Address 2 transmitter is found!", false}, {2, "Linearization of address 9 failed!", true}};
  }
  calibration::TrimDatabase database() const { return calibration::TrimDatabase(dir.file("DataBase/")); }

  tavrin::testing::TempDir dir;
  calibration::Stations stations;
  CalibrationReport report;
};

TEST_F(Reports, LinearizationCsvHoldsOneRowPerTransmitterAndPointAsDownloaded) {
  report.kind = CalibrationKind::Linearization;
  report.transmitters = readRecords(report.kind, database(), stations);
  ASSERT_EQ(report.transmitters.size(), 2u);
  ASSERT_TRUE(writeCsv(report, QString::fromStdString(dir.file("r.csv"))));
  EXPECT_EQ(read(dir.file("r.csv")).toStdString(),
            "Date and time,Procedure,Address,Identification,Result,Point,Reference value,Collected value,Deviation\r\n"
            "2024-06-01T14:03:05+02:00,Batch linearization,2,\"PT,7 \"\"A\"\"\",success,1,0.000000,0.500000,0.500000\r\n"
            "2024-06-01T14:03:05+02:00,Batch linearization,2,\"PT,7 \"\"A\"\"\",success,2,50.000000,50.250000,0.250000\r\n"
            // Stored with more decimals, sent as single precision "%f".
            "2024-06-01T14:03:05+02:00,Batch linearization,2,\"PT,7 \"\"A\"\"\",success,3,100.000000,1.234568,-98.765434\r\n"
            // No database: the transmitter and its result all the same.
            "2024-06-01T14:03:05+02:00,Batch linearization,9,NEVER-TRIMMED,error,,,,\r\n");
}

TEST_F(Reports, CompensationCsvNamesEachGridPointWithItsRowAndColumn) {
  report.kind = CalibrationKind::TemperatureCompensation;
  report.transmitters = readRecords(report.kind, database(), stations);
  ASSERT_TRUE(writeCsv(report, QString::fromStdString(dir.file("t.csv"))));
  const QStringList lines = read(dir.file("t.csv")).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 1 + 4 + 1);
  EXPECT_EQ(lines[0], csvHeader(CalibrationKind::TemperatureCompensation));
  EXPECT_TRUE(lines[4].endsWith(QStringLiteral(",success,7,2,2,60.000000,60.500000,200.000000,6.500000,-193.500000")))
      << lines[4].toStdString();
  EXPECT_TRUE(lines[5].endsWith(QStringLiteral(",9,NEVER-TRIMMED,error,,,,,,,,")));
}

TEST_F(Reports, PlotsShowTheCharacteristicOrTheDeviationOfTheAdmittedPoints) {
  const TransmitterRecord lin = readRecord(CalibrationKind::Linearization, database(), 2, stations[2]);
  const PlotData before = plotOf(CalibrationKind::Linearization, lin, PlotMode::Characteristic,
                                 [](const PointRecord& p) { return p.point != 1; });
  ASSERT_EQ(before.series.size(), 1);
  EXPECT_EQ(before.series[0].points, (QList<QPointF>{{0, 0.5}, {100, 1.2345678f}}));
  EXPECT_TRUE(before.identityLine);
  const PlotData after = plotOf(CalibrationKind::Linearization, lin, PlotMode::Deviation);
  EXPECT_EQ(after.series[0].points.value(1), QPointF(50, 0.25));

  const TransmitterRecord temp = readRecord(CalibrationKind::TemperatureCompensation, database(), 2, stations[2]);
  const PlotData rows = plotOf(CalibrationKind::TemperatureCompensation, temp, PlotMode::Deviation);
  ASSERT_EQ(rows.series.size(), 2);
  EXPECT_EQ(rows.series[1].name, QStringLiteral("T2 = 60"));
  EXPECT_EQ(rows.series[1].points, (QList<QPointF>{{0, 5.5}, {200, -193.5}}));
  EXPECT_FALSE(renderPlot(rows, QSize(300, 200)).isNull());
}

TEST_F(Reports, PdfHoldsTheTransmittersAndTheLog) {
  report.kind = CalibrationKind::Linearization;
  report.transmitters = readRecords(report.kind, database(), stations);
  const QString pdf = QString::fromStdString(dir.file("r.pdf"));
  ASSERT_TRUE(writePdf(report, pdf));
  ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) << "poppler-utils is missing";
  ASSERT_EQ(QProcess::execute(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QString::fromStdString(dir.file("r.txt"))}), 0);
  const QString text = read(dir.file("r.txt"));
  for (const char* expected : {"Batch linearization report", "2024-06-01T14:03:05+02:00", "Transmitters: 2, successful: 1, failed: 1",
                               "PT,7 \"A\"", "NEVER-TRIMMED", "-98.765434", "2---Linearization of address 9 failed!"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();
}

TEST_F(Reports, ReportNamesNeverReplaceAnEarlierReport) {
  report.kind = CalibrationKind::TemperatureCompensation;
  const QString folder = QString::fromStdString(dir.path()) + QStringLiteral("Reports");
  EXPECT_EQ(reportFolder(dir.path()), folder);
  const QString first = reportBaseName(folder, report);
  EXPECT_EQ(first, folder + QStringLiteral("/TemperatureCompensation_2024-06-01_14-03-05"));
  QDir().mkpath(folder);
  ASSERT_TRUE(writeCsv(report, first + QStringLiteral(".csv")));
  EXPECT_EQ(reportBaseName(folder, report), first + QStringLiteral("_2"));
}

}  // namespace
}  // namespace tavrin::gui
