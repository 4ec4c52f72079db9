#include "calibration_report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>

#include "calibration_plot.h"

namespace tavrin::gui {
namespace {

// The numbers as the download's log line shows them: "%f".
QString fixed(const std::optional<float>& v) {
  return v ? QString::fromStdString(calibration::formatFixed(*v)) : QString();
}

QString csvField(const QString& text) {
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
      !text.contains(QLatin1Char('\r')))
    return text;
  QString quoted = text;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList& fields) {
  QStringList out;
  for (const QString& f : fields) out << csvField(f);
  return out.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

// The local time with its offset, so that a filed report is unambiguous.
QString timeText(const QDateTime& when) { return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate); }

QString html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

int succeeded(const CalibrationReport& r) {
  int n = 0;
  for (const TransmitterRecord& t : r.transmitters) n += t.result == calibration::Indicator::Success ? 1 : 0;
  return n;
}

QString pointName(CalibrationKind kind, const PointRecord& p) {
  if (kind == CalibrationKind::Linearization) return QString::number(p.point + 1);
  return QStringLiteral("%1 (T%2, P%3)").arg(p.point + 1).arg(p.row + 1).arg(p.column + 1);
}

QString transmitterTable(CalibrationKind kind, const TransmitterRecord& t) {
  const bool lin = kind == CalibrationKind::Linearization;
  QString out = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
  const QStringList head = lin ? QStringList{QStringLiteral("Point"), QStringLiteral("Reference value"),
                                             QStringLiteral("Collected value"), QStringLiteral("Deviation")}
                               : QStringList{QStringLiteral("Point"), QStringLiteral("Reference temperature"),
                                             QStringLiteral("Collected temperature"), QStringLiteral("Reference pressure"),
                                             QStringLiteral("Collected pressure"), QStringLiteral("Deviation")};
  for (const QString& h : head) out += QStringLiteral("<th>%1</th>").arg(h);
  out += QStringLiteral("</tr>");
  for (const PointRecord& p : t.points) {
    QStringList cells{pointName(kind, p)};
    if (!lin) cells << fixed(p.referenceTemperature) << fixed(p.collectedTemperature);
    cells << fixed(p.reference) << fixed(p.collected) << fixed(p.deviation());
    out += QStringLiteral("<tr>");
    for (const QString& c : cells) out += QStringLiteral("<td align=\"right\">%1</td>").arg(c);
    out += QStringLiteral("</tr>");
  }
  return out + QStringLiteral("</table>");
}

}  // namespace

QString CalibrationReport::procedureName() const {
  switch (kind) {
    case CalibrationKind::Linearization: return QStringLiteral("Batch linearization");
    case CalibrationKind::TemperatureCompensation: return QStringLiteral("Temperature compensation");
  }
  return {};
}

QString csvHeader(CalibrationKind kind) {
  QStringList head{QStringLiteral("Date and time"), QStringLiteral("Procedure"), QStringLiteral("Address"),
                   QStringLiteral("Identification"), QStringLiteral("Result"), QStringLiteral("Point")};
  switch (kind) {
    case CalibrationKind::Linearization:
      head << QStringLiteral("Reference value") << QStringLiteral("Collected value");
      break;
    case CalibrationKind::TemperatureCompensation:
      head << QStringLiteral("Temperature point") << QStringLiteral("Pressure point")
           << QStringLiteral("Reference temperature") << QStringLiteral("Collected temperature")
           << QStringLiteral("Reference pressure") << QStringLiteral("Collected pressure");
      break;
  }
  head << QStringLiteral("Deviation");
  return head.join(QLatin1Char(','));
}

bool writeCsv(const CalibrationReport& report, const QString& path) {
  QString text = csvHeader(report.kind) + QStringLiteral("\r\n");
  const bool lin = report.kind == CalibrationKind::Linearization;
  for (const TransmitterRecord& t : report.transmitters) {
    const QStringList who{timeText(report.when), report.procedureName(), QString::number(t.address),
                          QString::fromStdString(t.identification), QString::fromStdString(resultName(t.result))};
    // A transmitter whose database holds no points still has its result.
    if (t.points.empty()) {
      text += csvLine(who + QStringList(lin ? 4 : 8, QString()));
      continue;
    }
    for (const PointRecord& p : t.points) {
      QStringList row = who;
      row << QString::number(p.point + 1);
      if (!lin)
        row << QString::number(p.row + 1) << QString::number(p.column + 1) << fixed(p.referenceTemperature)
            << fixed(p.collectedTemperature);
      row << fixed(p.reference) << fixed(p.collected) << fixed(p.deviation());
      text += csvLine(row);
    }
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(text.toUtf8());
  return file.commit();
}

bool writePdf(const CalibrationReport& report, const QString& path) {
  QTextDocument document;
  QString body;
  const int ok = succeeded(report);
  const int count = static_cast<int>(report.transmitters.size());
  body += QStringLiteral("<h1>%1 report</h1>").arg(report.procedureName());
  body += QStringLiteral("<p>Date and time: %1<br>Transmitters: %2, successful: %3, failed: %4</p>")
              .arg(timeText(report.when))
              .arg(count)
              .arg(ok)
              .arg(count - ok);
  body += QStringLiteral(
      "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr><th>Address</th><th>Identification</th>"
      "<th>Result</th><th>Points</th></tr>");
  for (const TransmitterRecord& t : report.transmitters)
    body += QStringLiteral("<tr><td align=\"right\">%1</td><td>%2</td><td>%3</td><td align=\"right\">%4</td></tr>")
                .arg(t.address)
                .arg(html(t.identification), html(resultName(t.result)))
                .arg(t.points.size());
  body += QStringLiteral("</table>");

  // Every transmitter's section on one page, two to a page when they are
  // short; the summary has a page of its own.
  size_t most = 0;
  for (const TransmitterRecord& t : report.transmitters) most = std::max(most, t.points.size());
  const size_t perPage = most <= 4 ? 2 : 1;
  for (size_t n = 0; n < report.transmitters.size(); ++n) {
    const TransmitterRecord& t = report.transmitters[n];
    body += QStringLiteral("<h2%1>Address %2: %3, %4</h2>")
                .arg(n % perPage == 0 ? QStringLiteral(" style=\"page-break-before: always\"") : QString())
                .arg(t.address)
                .arg(html(t.identification), html(resultName(t.result)));
    if (t.points.empty()) {
      body += QStringLiteral("<p>The trim database holds no points of this procedure.</p>");
      continue;
    }
    body += transmitterTable(report.kind, t);
    const PlotData plot = plotOf(report.kind, t, PlotMode::Deviation);
    if (!plot.series.isEmpty()) {
      const QUrl url(QStringLiteral("plot:/%1").arg(t.address));
      document.addResource(QTextDocument::ImageResource, url, renderPlot(plot, QSize(640, 330)));
      body += QStringLiteral("<p><img src=\"%1\" width=\"540\" height=\"278\"></p>").arg(url.toString());
    }
  }

  body += QStringLiteral("<h2 style=\"page-break-before: always\">Operation log</h2><pre style=\"font-size:6.5pt\">");
  for (const calibration::LogLine& line : report.log) {
    const QString shown = html(line.shown());
    body += line.error ? QStringLiteral("<span style=\"color:#c00000\"><b>%1</b></span>\n").arg(shown)
                       : shown + QLatin1Char('\n');
  }
  body += QStringLiteral("</pre>");
  document.setHtml(QStringLiteral("<html><body>") + body + QStringLiteral("</body></html>"));

  {
    QFile::remove(path);
    QPdfWriter writer(path);
    writer.setTitle(report.procedureName() + QStringLiteral(" report ") + timeText(report.when));
    writer.setCreator(QStringLiteral("Tavrin"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    document.print(&writer);
  }
  // QPdfWriter says nothing of a failed write: the file tells.
  const QFileInfo written(path);
  return written.exists() && written.size() > 0;
}

QString reportFolder(const std::string& programFolder) {
  return QString::fromStdString(programFolder) + QStringLiteral("Reports");
}

QString reportBaseName(const QString& folder, const CalibrationReport& report) {
  const QString stem = QStringLiteral("%1/%2_%3")
                           .arg(folder, report.kind == CalibrationKind::Linearization ? QStringLiteral("Linearization")
                                                                                       : QStringLiteral("TemperatureCompensation"),
                                report.when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
  QString base = stem;
  for (int n = 2; QFileInfo::exists(base + QStringLiteral(".pdf")) || QFileInfo::exists(base + QStringLiteral(".csv")); ++n)
    base = stem + QStringLiteral("_%1").arg(n);
  return base;
}

}  // namespace tavrin::gui
