// The batch calibration dialogs in the window, offscreen, against tavrin-sim
// playing the calibratable transmitters on a plant file that the test moves
// between the points, as a pressure reference or a climate chamber would:
// opened from the calibration methods, search, counts, collection with the
// live dialog, download, the reports; the close refusal, a failing
// transmitter, Continue after closing and reopening, the temperature grid
// and its questions.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <cmath>
#include <fstream>

#include "calibration/trim_database.h"
#include "calibration_report.h"
#include "gui_harness.h"
#include "linearization_dialog.h"
#include "live_collect_dialog.h"
#include "temperature_dialog.h"

namespace tavrin::gui::testing {
namespace {

using calibration::kAddresses;

const std::string kProfile = TAVRIN_SOURCE_DIR "sim/profiles/profibus-calibration.ini";

// The shipped profile cut after its first `count` transmitters.
std::string firstTransmitters(int count) {
  std::ifstream in(kProfile);
  std::string text, line;
  int sections = 0;
  while (std::getline(in, line)) {
    if (line.starts_with("[DEVICE") && ++sections > count) break;
    text += line + "\n";
  }
  return text;
}

// The report's CSV as lines of fields (the test's identifications hold no
// commas or quotes).
QList<QStringList> csvRows(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  QList<QStringList> rows;
  for (const QString& line : QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    rows << line.split(QLatin1Char(','));
  return rows;
}

// The dialog's controls as the person uses them.
void choose(QComboBox* list, int value) {
  const int index = list->findData(value);
  ASSERT_GE(index, 0) << value;
  list->setCurrentIndex(index);
  emit list->activated(index);
}
void type(QLineEdit* field, const QString& text) {
  field->clear();
  QTest::keyClicks(field, text);
}
QString state(const BatchCalibrationDialog& d, int address) { return d.indicator(address)->accessibleDescription(); }
QStringList states(const BatchCalibrationDialog& d, int count) {
  QStringList out;
  for (int a = 0; a < count; ++a) out << state(d, a).section(QLatin1Char(','), 0, 0);
  return out;
}
QStringList logTexts(const BatchCalibrationDialog& d) {
  QStringList out;
  for (int i = 0; i < d.logView()->count(); ++i) out << d.logView()->item(i)->text();
  return out;
}

class CalibrationDialogs : public GuiTest {
 protected:
  CalibrationDialogs() {
    fs::remove_all(folder.file("DataBase"));
    fs::remove_all(folder.file("Reports"));
  }
  ~CalibrationDialogs() override { closeWindow(); }

  // tavrin-sim on COM5 with the profile on the plant file, without noise;
  // com.ini for Profibus at that address.
  void plugBench(const std::string& profile, int address, const Lines& faults = {}) {
    folder.write("com.ini", "[COMMUNICATION]\nTYPE=PROFIBUS\nPORT=5\nBANDRATE=19200\nDATABITS=8\nPARITY=2\nSTOPBITS=0\n"
                            "FLOWCTRL=0\n[PROFIBUS_ADDR]\nADDRESS=" +
                                std::to_string(address) + "\n[TITLE]\nNAME=Tavrin\n");
    movePlant(0, 20);
    Lines extra{"--plant", data.file("plant.ini"), "--no-noise"};
    for (const std::string& f : faults) extra.insert(extra.end(), {"--fault", f});
    sim = std::make_unique<app::testing::Simulator>("profibus", folder.portLink(5), profile, extra);
    ASSERT_TRUE(sim->ready());
  }
  std::string smallBench(int count) {
    data.write("bench.ini", firstTransmitters(count));
    return data.file("bench.ini");
  }
  // What the pressure reference and the chamber apply, in one rename.
  void movePlant(double pressure, double temperature) {
    std::ostringstream text;
    text << "[PLANT]\nPRESSURE = " << pressure << "\nTEMPERATURE = " << temperature << "\n";
    data.write("plant.new", text.str());
    fs::rename(data.file("plant.new"), data.file("plant.ini"));
  }

  // A dialog the test opens over the window without a method.
  template <class D>
  std::unique_ptr<D> openDialog(const char* name) {
    dialogs.expect(QString::fromLatin1(name), [](QDialog&) {});
    auto d = std::make_unique<D>(device().session(), window->userInterface(), window.get());
    d->open();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(d.get()));
    return d;
  }
  // Runs a button's worker to its end, as the dialog shows it.
  static void runWorker(BatchCalibrationDialog& d, FrameButton b) {
    QSignalSpy ended(&d, &BatchCalibrationDialog::workerEnded);
    d.button(b)->click();
    ASSERT_TRUE(waitFor([&] { return ended.count() > 0; }, 120000)) << "the worker never ended";
  }
  static void search(BatchCalibrationDialog& d, int expected) {
    runWorker(d, FrameButton::Search);
    int found = 0;
    for (int a = 0; a < kAddresses; ++a) found += state(d, a).startsWith(QStringLiteral("online, CAL2406-")) ? 1 : 0;
    ASSERT_EQ(found, expected) << states(d, kAddresses).join(QLatin1Char(' ')).toStdString();
    ASSERT_EQ(d.plotTransmitter()->count(), expected);
  }
  // The live dialog of the next collection: its fields are filled when it
  // shows (it reads at once); OK or Cancel.
  void expectLive(const QString& caption, bool ok = true, QStringList* shown = nullptr, const char* screenshot = nullptr) {
    dialogs.expect(caption, [ok, shown, screenshot](QDialog& d) {
      auto* live = qobject_cast<LiveCollectDialog*>(&d);
      ASSERT_TRUE(live) << "not the live dialog";
      EXPECT_GE(live->readings(), 1);
      if (screenshot) shot(d, screenshot);
      if (shown) {
        for (int n = 0; live->valueField(n); ++n)
          *shown << live->valueField(n)->text() + QLatin1Char(' ') + live->unitLabel(n)->text();
      }
      ok ? d.accept() : d.reject();
    });
  }
  // For people to look at.
  static void shot(QWidget& w, const std::string& name) {
    const char* dir = std::getenv("TAVRIN_SCREENSHOTS");
    if (!dir || !*dir) return;
    fs::create_directories(dir);
    const std::string path = std::string(dir) + "/" + name + ".png";
    // The plot lays itself out in a posted event.
    QApplication::sendPostedEvents();
    QApplication::processEvents();
    EXPECT_TRUE(w.grab().save(QString::fromStdString(path))) << path;
  }
  // The report's PDF opens: its first page drawn by poppler (into the
  // screenshots when they are wanted).
  void expectPdfOpens(const QString& pdf, const std::string& name) {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        << "pdftoppm (poppler-utils) is missing";
    const char* dir = std::getenv("TAVRIN_SCREENSHOTS");
    const std::string prefix = (dir && *dir ? std::string(dir) + "/" : data.path()) + name;
    if (dir && *dir) fs::create_directories(dir);
    const int status = QProcess::execute(QStringLiteral("pdftoppm"),
                                         {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-png"),
                                          QStringLiteral("-singlefile"), pdf, QString::fromStdString(prefix)});
    EXPECT_EQ(status, 0) << pdf.toStdString();
    EXPECT_GT(fs::file_size(prefix + ".png"), 1000u);
    if (!dir || !*dir) return;
    fs::copy_file(pdf.toStdString(), prefix + ".pdf", fs::copy_options::overwrite_existing);
    QString csv = pdf;
    csv.replace(csv.size() - 4, 4, QStringLiteral(".csv"));
    fs::copy_file(csv.toStdString(), prefix + ".csv", fs::copy_options::overwrite_existing);
  }
  // Every collection point of a report in turn: rows of one transmitter
  // and point each, with the values of its database as downloaded.
  static void expectCsv(const QString& path, CalibrationKind kind, calibration::Indicator result, int transmitters,
                        int points) {
    const QList<QStringList> rows = csvRows(path);
    ASSERT_EQ(rows.size(), 1 + transmitters * points);
    EXPECT_EQ(rows[0].join(QLatin1Char(',')), csvHeader(kind));
    for (qsizetype r = 1; r < rows.size(); ++r) {
      EXPECT_EQ(rows[r][2].toInt(), (r - 1) / points) << "address";
      EXPECT_EQ(rows[r][4], indicatorText(result)) << r;
    }
  }

  // The whole linearization of the 32 transmitters in the dialog that the
  // method opened.
  void run(LinearizationDialog& d) {
    EXPECT_EQ(states(d, kAddresses), QStringList(kAddresses, QStringLiteral("online")));
    EXPECT_EQ(d.countList()->count(), 20);
    EXPECT_EQ(d.countList()->itemText(0), QStringLiteral("2"));
    EXPECT_EQ(d.countList()->currentIndex(), -1);
    for (FrameButton b : {FrameButton::Download, FrameButton::Resume, FrameButton::LoadSettings, FrameButton::SaveSettings})
      EXPECT_FALSE(d.button(b)->isEnabled());
    EXPECT_FALSE(d.countList()->isEnabled());
    EXPECT_FALSE(d.collectButton(0)->isEnabled());
    ASSERT_NO_FATAL_FAILURE(search(d, kAddresses));
    ASSERT_EQ(d.logView()->count(), kAddresses);
    EXPECT_EQ(d.logView()->item(31)->text(), QStringLiteral("32---Address 31 transmitter is found!"));
    EXPECT_EQ(state(d, 17), QStringLiteral("online, CAL2406-0017"));
    EXPECT_TRUE(d.countList()->isEnabled());
    EXPECT_TRUE(d.distributeButton()->isEnabled());

    choose(d.countList(), 3);
    for (int n = 0; n < calibration::kMaxTrimPoints; ++n) EXPECT_EQ(d.collectButton(n)->isEnabled(), n < 3) << n;
    dialogs.ok(QStringLiteral("Error: Please input referenced data of collection point 1!"));
    d.collectButton(0)->click();
    type(d.lowerLimit(), QStringLiteral("0"));
    type(d.upperLimit(), QStringLiteral("200"));
    d.distributeButton()->click();
    EXPECT_EQ((QStringList{d.reference(0)->text(), d.reference(1)->text(), d.reference(2)->text()}),
              (QStringList{"0", "100", "200"}));

    const double points[] = {0, 100, 200};
    for (int n = 0; n < 3; ++n) {
      movePlant(points[n], 20);
      QStringList shown;
      expectLive(QStringLiteral("Linear collect value"), true, &shown, n == 1 ? "linearization-live-reading" : nullptr);
      d.collectButton(n)->click();
      ASSERT_EQ(shown.size(), 1);
      EXPECT_TRUE(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d{3} $")).match(shown[0]).hasMatch())
          << "three decimals: " << shown[0].toStdString();
      EXPECT_NEAR(shown[0].toDouble(), points[n], 0.02 * points[n] + 0.5);
      EXPECT_EQ(states(d, kAddresses), QStringList(kAddresses, QStringLiteral("success"))) << "point " << n + 1;
      EXPECT_EQ(d.collectedMark(n)->text(), QString::fromUtf8("\u2714 collected"));
      if (n == 1) shot(d, "linearization-mid-run");
    }
    EXPECT_EQ(d.plot()->data().series.value(0).points.size(), 3);
    EXPECT_TRUE(d.plot()->data().identityLine) << "the characteristic before the trim";

    // While the download runs, the dialog neither closes nor starts another.
    dialogs.ok(QStringLiteral("Error: The program is running, please shut down this function later!"))
        .ok(QStringLiteral("Error: The program is running, the operation isn't allowed!"));
    QSignalSpy ended(&d, &BatchCalibrationDialog::workerEnded);
    d.button(FrameButton::Download)->click();
    d.button(FrameButton::Close)->click();
    EXPECT_TRUE(d.isVisible());
    d.button(FrameButton::Download)->click();
    ASSERT_TRUE(waitFor([&] { return ended.count() > 0; }, 120000));
    EXPECT_TRUE(dialogs.done()) << seen();
    EXPECT_EQ(states(d, kAddresses), QStringList(kAddresses, QStringLiteral("success")));
    EXPECT_EQ(d.plotMode()->currentText(), QStringLiteral("Deviation"));
    EXPECT_TRUE(d.plot()->data().zeroLine);
    shot(d, "linearization-after-download");

    const QString base = d.lastReportBase();
    ASSERT_FALSE(base.isEmpty());
    expectCsv(base + QStringLiteral(".csv"), CalibrationKind::Linearization, calibration::Indicator::Success, kAddresses, 3);
    // The values downloaded: those of the database, in single precision.
    const auto db = calibration::TrimFile::open(folder.file("DataBase/CAL2406-0005.db"));
    const QStringList row = csvRows(base + QStringLiteral(".csv"))[5 * 3 + 2];
    EXPECT_EQ(row.mid(2, 4), (QStringList{"5", "CAL2406-0005", "success", "2"}));
    EXPECT_EQ(row[6], QStringLiteral("100.000000"));
    EXPECT_EQ(row[7].toStdString(),
              calibration::formatFixed(static_cast<float>(calibration::numberOf(db.get("Linearization", "Collection_Data_1")))));
    expectPdfOpens(base + QStringLiteral(".pdf"), "linearization-report");
    d.button(FrameButton::Close)->click();
    EXPECT_FALSE(d.isVisible());
  }

  static QList<int> enabledPoints(const TemperatureDialog& d) {
    QList<int> out;
    for (int i = 0; i < calibration::kGridPoints; ++i)
      if (d.collectButton(i)->isEnabled()) out << i;
    return out;
  }

  // The 3 x 2 compensation of the 32 transmitters in the method's dialog.
  void compensate(TemperatureDialog& d) {
    ASSERT_NO_FATAL_FAILURE(search(d, kAddresses));
    EXPECT_EQ(d.logView()->item(4)->text(), QStringLiteral("5---The transmitter test OK in address 4!"));
    choose(d.temperatureCountList(), 3);
    choose(d.pressureCountList(), 2);
    EXPECT_EQ(enabledPoints(d), (QList<int>{0, 1, 5, 6, 10, 11}));
    const double temperatures[] = {0, 25, 50};
    const double pressures[] = {0, 200};
    for (int t = 0; t < 3; ++t) type(d.referenceTemperature(t), QString::number(temperatures[t]));
    for (int p = 0; p < 2; ++p) type(d.referencePressure(p), QString::number(pressures[p]));
    for (int t = 0; t < 3; ++t) {
      for (int p = 0; p < 2; ++p) {
        const int i = calibration::gridPoint(t, p);
        movePlant(pressures[p], temperatures[t]);
        expectLive(QStringLiteral("Temperature trim collect"), true, nullptr, i == 5 ? "temperature-live-reading" : nullptr);
        d.collectButton(i)->click();
        EXPECT_EQ(states(d, kAddresses), QStringList(kAddresses, QStringLiteral("success"))) << "point " << i + 1;
        EXPECT_EQ(d.collectedMark(i)->text(), QString::fromUtf8("\u2714 collected"));
        if (i == 5) shot(d, "temperature-mid-run");
      }
    }
    ASSERT_EQ(d.plot()->data().series.size(), 3) << "one line per temperature point";
    EXPECT_EQ(d.plot()->data().series[2].points.size(), 2);
    runWorker(d, FrameButton::Download);
    EXPECT_EQ(states(d, kAddresses), QStringList(kAddresses, QStringLiteral("success")));
    shot(d, "temperature-after-download");
    const QString base = d.lastReportBase();
    ASSERT_FALSE(base.isEmpty());
    EXPECT_TRUE(base.startsWith(QString::fromStdString(folder.file("Reports/TemperatureCompensation_"))));
    expectCsv(base + QStringLiteral(".csv"), CalibrationKind::TemperatureCompensation, calibration::Indicator::Success,
              kAddresses, 6);
    const QStringList row = csvRows(base + QStringLiteral(".csv"))[6 * 9 + 6];  // address 9, grid point 11
    EXPECT_EQ(row.mid(5, 3), (QStringList{"12", "3", "2"}));
    EXPECT_EQ(row[8], QStringLiteral("50.000000"));
    EXPECT_EQ(row[10], QStringLiteral("200.000000"));
    expectPdfOpens(base + QStringLiteral(".pdf"), "temperature-report");
    d.button(FrameButton::Close)->click();
  }

  tavrin::testing::TempDir data;
};

// One full run over 32 transmitters, opened from the calibration method.
TEST_F(CalibrationDialogs, LinearizationOfThirtyTwoTransmittersFromTheCalibrationMethod) {
  plugBench(kProfile, 7);
  openWindow();
  connectAs(0);
  trigger(ActionId::Calibration);
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Batch linearization")) >= 0; }));
  dialogs.ok(QStringLiteral("Connect the transmitters to the pressure reference"));
  dialogs.expect(QString::fromLatin1(kLinearizationDialog), [this](QDialog& dialog) {
    auto& d = dynamic_cast<LinearizationDialog&>(dialog);
    run(d);
    if (d.isVisible()) {  // a failure above: the method must go on
      waitFor([&] { return !d.running(); }, 120000);
      d.hide();
    }
  });
  doubleClick(rowOf(QStringLiteral("Batch linearization")), 0);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); }, 180000)) << seen();
  EXPECT_EQ(device().session().busAddress(), 7) << "the address before the dialog";
  // The method read the transmitter's point count after the dialog.
  EXPECT_EQ(cell(QStringLiteral("Linearization points"), 1).trimmed(), QStringLiteral("3"));
}

TEST_F(CalibrationDialogs, TemperatureCompensationOfThirtyTwoTransmittersFromTheCalibrationMethod) {
  plugBench(kProfile, 3);
  openWindow();
  connectAs(0);
  trigger(ActionId::Calibration);
  ASSERT_TRUE(waitFor([&] { return rowOf(QStringLiteral("Batch temperature compensation")) >= 0; }));
  dialogs.ok(QStringLiteral("Place the transmitters in the climate chamber"));
  dialogs.expect(QString::fromLatin1(kTemperatureDialog), [this](QDialog& dialog) {
    auto& d = dynamic_cast<TemperatureDialog&>(dialog);
    compensate(d);
    if (d.isVisible()) {
      waitFor([&] { return !d.running(); }, 120000);
      d.hide();
    }
  });
  doubleClick(rowOf(QStringLiteral("Batch temperature compensation")), 0);
  ASSERT_TRUE(waitFor([&] { return dialogs.done() && !device().busy(); }, 180000)) << seen();
  EXPECT_EQ(device().session().busAddress(), 3);
}

// The other tests need fewer transmitters.
TEST_F(CalibrationDialogs, AFailingTransmitterIsRedAndContinueAfterReopeningRestoresRowsAndMarks) {
  plugBench(smallBench(3), 0, {"no-reply,device=1,service=write,after=2"});
  openWindow();
  const std::string points = data.file("three.szz");
  {
    auto d = openDialog<LinearizationDialog>(kLinearizationDialog);
    search(*d, 3);
    choose(d->countList(), 2);
    EXPECT_TRUE(d->reference(1)->isEnabled());
    EXPECT_FALSE(d->reference(2)->isEnabled());
    type(d->reference(0), QStringLiteral("0"));
    type(d->reference(1), QStringLiteral("200"));
    dialogs.file(QStringLiteral("saveFileDialog"), QString::fromStdString(points));
    d->button(FrameButton::SaveSettings)->click();
    EXPECT_EQ(calibration::TrimFile::open(points).get("Linearization", "TrimedValue1"), "200");

    movePlant(0, 20);
    expectLive(QStringLiteral("Linear collect value"));
    d->collectButton(0)->click();
    EXPECT_EQ(states(*d, 3), (QStringList{"success", "success", "success"}));
    // Cancel ends the collection of a point: nothing marked or stored.
    movePlant(200, 20);
    expectLive(QStringLiteral("Linear collect value"), false);
    d->collectButton(1)->click();
    EXPECT_EQ(d->collectedMark(0)->text(), QString::fromUtf8("\u2714 collected"));
    EXPECT_EQ(d->collectedMark(1)->text(), QStringLiteral("not collected"));
    EXPECT_EQ(states(*d, 3), (QStringList{"success", "success", "success"}));
    d->button(FrameButton::Close)->click();
    EXPECT_FALSE(d->isVisible()) << "closing is allowed while nothing runs";
  }
  auto d = openDialog<LinearizationDialog>(kLinearizationDialog);
  search(*d, 3);
  EXPECT_EQ(d->countList()->currentIndex(), -1) << "a new dialog starts without a count";
  dialogs.file(QStringLiteral("openFileDialog"), QString::fromStdString(points));
  d->button(FrameButton::LoadSettings)->click();
  EXPECT_EQ(d->countList()->currentText(), QStringLiteral("2"));
  EXPECT_EQ(d->collectedMark(0)->text(), QStringLiteral("not collected")) << "the file holds no collection";
  d->button(FrameButton::Resume)->click();
  EXPECT_EQ(d->countList()->currentText(), QStringLiteral("2"));
  EXPECT_EQ(d->reference(0)->text(), QStringLiteral("0"));
  EXPECT_EQ(d->reference(1)->text(), QStringLiteral("200"));
  EXPECT_EQ(d->collectedMark(0)->text(), QString::fromUtf8("\u2714 collected"));
  EXPECT_EQ(d->collectedMark(1)->text(), QStringLiteral("not collected"));
  EXPECT_EQ(d->plot()->data().series.value(0).points.size(), 1) << "the collected point is plotted";

  movePlant(200, 20);
  expectLive(QStringLiteral("Linear collect value"));
  d->collectButton(1)->click();
  runWorker(*d, FrameButton::Download);
  EXPECT_EQ(states(*d, 3), (QStringList{"success", "error", "success"}));
  EXPECT_EQ(d->indicator(1)->text(), QStringLiteral("01  error\nCAL2406-0001")) << "readable without colour";
  EXPECT_NE(d->indicator(1)->styleSheet(), d->indicator(0)->styleSheet());
  QStringList red;
  for (int i = 0; i < d->logView()->count(); ++i) {
    const QListWidgetItem* item = d->logView()->item(i);
    if (item->foreground().color() == kLogErrorColour) red << item->text().section(QStringLiteral("---"), 1);
    else EXPECT_EQ(item->foreground().color(), kLogNormalColour) << item->text().toStdString();
  }
  EXPECT_EQ(red, QStringList{QStringLiteral("Linearization of address 1 failed, cause: No response from slave!")});
  EXPECT_TRUE(logTexts(*d).contains(QStringLiteral("%1---Linearization is OK in address 2").arg(d->logView()->count())));

  // The run's report, and a copy where the engineer wants it.
  ASSERT_FALSE(d->lastReportBase().isEmpty());
  EXPECT_TRUE(d->lastReportBase().startsWith(QString::fromStdString(folder.file("Reports/Linearization_"))));
  const QList<QStringList> rows = csvRows(d->lastReportBase() + QStringLiteral(".csv"));
  ASSERT_EQ(rows.size(), 1 + 3 * 2);
  EXPECT_EQ(rows[3].mid(2, 4), (QStringList{"1", "CAL2406-0001", "error", "1"}));
  EXPECT_EQ(rows[4][6], QStringLiteral("200.000000"));
  const QString copy = QString::fromStdString(data.file("certificate.pdf"));
  dialogs.file(QStringLiteral("saveFileDialog"), copy);
  d->button(FrameButton::SaveReport)->click();
  EXPECT_TRUE(fs::exists(data.file("certificate.pdf")));
  EXPECT_EQ(csvRows(QString::fromStdString(data.file("certificate.csv"))), rows);
  d->button(FrameButton::Close)->click();
}

TEST_F(CalibrationDialogs, TemperatureCountsAskBeforeATrimInTheDatabaseIsDoneAgain) {
  plugBench(smallBench(2), 0);
  openWindow();
  {
    auto d = openDialog<TemperatureDialog>(kTemperatureDialog);
    EXPECT_FALSE(d->temperatureCountList()->isEnabled()) << "nothing before a search";
    EXPECT_EQ(enabledPoints(*d), QList<int>{});
    search(*d, 2);
    EXPECT_EQ(enabledPoints(*d).size(), 25) << "all until the counts lay the grid out";
    choose(d->temperatureCountList(), 2);
    choose(d->pressureCountList(), 1);
    EXPECT_EQ(enabledPoints(*d), (QList<int>{0, 5}));
    type(d->referenceTemperature(0), QStringLiteral("20"));
    type(d->referenceTemperature(1), QStringLiteral("60"));
    type(d->referencePressure(0), QStringLiteral("100"));
    movePlant(100, 20);
    QStringList shown;
    expectLive(QStringLiteral("Temperature trim collect"), true, &shown);
    d->collectButton(0)->click();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^20\\.00 \\S+$")).match(shown[0]).hasMatch()) << shown[0].toStdString();
    EXPECT_TRUE(shown[1].endsWith(QStringLiteral(" KPa"))) << shown[1].toStdString();
    EXPECT_EQ(states(*d, 2), (QStringList{"success", "success"}));
    d->button(FrameButton::Close)->click();
  }
  auto d = openDialog<TemperatureDialog>(kTemperatureDialog);
  search(*d, 2);
  choose(d->temperatureCountList(), 3);
  // Both lists chosen: the first transmitter's database holds a trim.
  dialogs.no(QStringLiteral("WARNING: There are current transmitter trim data in database"));
  choose(d->pressureCountList(), 2);
  ASSERT_TRUE(dialogs.done()) << seen();
  EXPECT_EQ(d->temperatureCountList()->currentText(), QStringLiteral("2")) << "back to the stored counts";
  EXPECT_EQ(d->pressureCountList()->currentText(), QStringLiteral("1"));
  EXPECT_EQ(enabledPoints(*d), (QList<int>{0, 5}));
  d->button(FrameButton::Resume)->click();
  EXPECT_EQ(d->referenceTemperature(1)->text(), QStringLiteral("60"));
  EXPECT_EQ(d->collectedMark(0)->text(), QString::fromUtf8("\u2714 collected"));
  EXPECT_EQ(d->collectedMark(5)->text(), QStringLiteral("not collected"));

  // Each list asks again, as both have a selection.
  for (int list = 0; list < 2; ++list)
    dialogs.yes(QStringLiteral("WARNING: There are current transmitter trim data in database"))
        .yes(QStringLiteral("WARNING: Are you enusre to reset current trim data"));
  choose(d->temperatureCountList(), 3);
  choose(d->pressureCountList(), 2);
  ASSERT_TRUE(dialogs.done()) << seen();
  EXPECT_EQ(enabledPoints(*d), (QList<int>{0, 1, 5, 6, 10, 11}));
  for (int t = 0; t < 5; ++t) EXPECT_EQ(d->referenceTemperature(t)->isEnabled(), t < 3) << t;
  for (int p = 0; p < 5; ++p) EXPECT_EQ(d->referencePressure(p)->isEnabled(), p < 2) << p;
  EXPECT_EQ(d->collectedMark(0)->text(), QStringLiteral("not collected")) << "the trim is done again";
  d->button(FrameButton::Close)->click();
}

}  // namespace
}  // namespace tavrin::gui::testing
