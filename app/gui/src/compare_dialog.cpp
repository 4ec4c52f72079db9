#include "compare_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "plain_dialogs.h"

namespace tavrin::gui {

void showComparison(QWidget* parent, const std::string& path, const app::ParameterComparison& c) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("compareDialog"));
  dialog.setWindowTitle(QObject::tr("Compare with file"));
  auto* layout = new QVBoxLayout(&dialog);

  const qsizetype rows = static_cast<qsizetype>(c.differences.size() + c.missingInFile.size() + c.missingOnDevice.size());
  QString summary;
  if (rows == 0)
    summary = QObject::tr("The device matches %1.").arg(qtText(path));
  else
    summary = QObject::tr("%1 against %2: %3 differ, %4 missing in the file, %5 missing on the device.")
                  .arg(QObject::tr("The device"), qtText(path))
                  .arg(c.differences.size())
                  .arg(c.missingInFile.size())
                  .arg(c.missingOnDevice.size());
  auto* label = new QLabel(summary, &dialog);
  label->setObjectName(QStringLiteral("compareSummary"));
  label->setWordWrap(true);
  layout->addWidget(label);

  auto* table = new QTableWidget(static_cast<int>(rows), 5, &dialog);
  table->setObjectName(QStringLiteral("compareTable"));
  table->setHorizontalHeaderLabels({QObject::tr("Name"), QObject::tr("Label"), QObject::tr("Device value"),
                                    QObject::tr("File value"), QObject::tr("Unit")});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(false);
  int row = 0;
  auto put = [&](const std::string& name, const std::string& lbl, const QString& device, const QString& file,
                 const std::string& unit) {
    const QString cells[] = {qtText(name), qtText(lbl), device, file, qtText(unit)};
    for (int col = 0; col < 5; ++col) table->setItem(row, col, new QTableWidgetItem(cells[col]));
    ++row;
  };
  const QString missing = QString::fromUtf8(kMissingText);
  for (const auto& d : c.differences) put(d.name, d.label, qtText(d.deviceValue), qtText(d.fileValue), d.unit);
  for (const auto& m : c.missingInFile) put(m.name, m.label, qtText(m.value), missing, "");
  for (const auto& m : c.missingOnDevice) put(m.name, m.label, missing, qtText(m.value), "");
  table->resizeColumnsToContents();
  table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  table->setVisible(rows > 0);
  layout->addWidget(table, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(rows > 0 ? 760 : 420, rows > 0 ? 420 : 120);
  dialog.exec();
}

}  // namespace tavrin::gui
