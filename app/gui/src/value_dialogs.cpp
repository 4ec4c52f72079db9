#include "value_dialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "plain_dialogs.h"

namespace tavrin::gui {

namespace {

QLabel* promptLabel(QDialog& dialog, const std::string& text) {
  auto* label = new QLabel(qtText(text), &dialog);
  label->setObjectName(QStringLiteral("prompt"));
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLineEdit* shownValue(QDialog& dialog, const std::string& text, const QString& name) {
  auto* field = new QLineEdit(qtText(text), &dialog);
  field->setReadOnly(true);
  field->setAccessibleName(name);
  field->setObjectName(QStringLiteral("currentValue"));
  return field;
}

}  // namespace

std::optional<std::string> valueInputDialog(QWidget* parent, const ui::Prompt& p) {
  QDialog dialog(parent);
  const bool numeric = p.kind == ui::PromptKind::Number;
  const bool packed = p.kind == ui::PromptKind::PackedString;
  dialog.setObjectName(QString::fromLatin1(numeric  ? kNumericInputDialog
                                           : packed ? kPackedStringInputDialog
                                                    : kTextInputDialog));
  dialog.setWindowTitle(qtText(p.title));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(promptLabel(dialog, p.prompt));
  auto* grid = new QGridLayout;
  const QString currentName = packed ? QObject::tr("Current value") : QObject::tr("Current value:");
  grid->addWidget(new QLabel(currentName, &dialog), 0, 0);
  grid->addWidget(shownValue(dialog, p.current, QObject::tr("Current value")), 0, 1);
  auto* entry = new QLineEdit(qtText(numeric ? p.initial : (p.initial.empty() ? p.current : p.initial)), &dialog);
  entry->setObjectName(QStringLiteral("entry"));
  const QString entryName = packed ? QObject::tr("Setting") : QObject::tr("New value:");
  entry->setAccessibleName(packed ? QObject::tr("Setting") : QObject::tr("New value"));
  grid->addWidget(new QLabel(entryName, &dialog), 1, 0);
  grid->addWidget(entry, 1, 1);
  // The unit beside both values of a number.
  if (numeric) {
    for (int row = 0; row < 2; ++row) {
      auto* unit = new QLabel(qtText(p.unit), &dialog);
      unit->setObjectName(QStringLiteral("unit"));
      grid->addWidget(unit, row, 2);
    }
  }
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  layout->addWidget(okCancel(dialog));
  dialog.setMinimumWidth(340);
  entry->setFocus();
  entry->selectAll();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return stdText(entry->text());
}

std::optional<int> valueChoiceDialog(QWidget* parent, const ui::Choice& c) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(c.dropDown ? kEnumerationInputDialog : kListSelectionDialog));
  dialog.setWindowTitle(qtText(c.title));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(promptLabel(dialog, c.prompt));
  const int count = static_cast<int>(c.items.size());
  const int preselected = c.preselected >= 0 && c.preselected < count ? c.preselected : -1;
  std::function<int()> chosen;
  if (c.dropDown) {
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QObject::tr("Current value:"), &dialog), 0, 0);
    grid->addWidget(shownValue(dialog, c.current, QObject::tr("Current value")), 0, 1);
    auto* list = new QComboBox(&dialog);
    list->setAccessibleName(QObject::tr("New value"));
    for (const std::string& item : c.items) list->addItem(qtText(item));
    list->setCurrentIndex(preselected);
    grid->addWidget(new QLabel(QObject::tr("New value:"), &dialog), 1, 0);
    grid->addWidget(list, 1, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    chosen = [list] { return list->currentIndex(); };
  } else {
    auto* list = new QListWidget(&dialog);
    list->setAccessibleName(qtText(c.prompt.empty() ? c.title : c.prompt));
    for (const std::string& item : c.items) list->addItem(qtText(item));
    if (preselected >= 0) list->setCurrentRow(preselected);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    layout->addWidget(list);
    chosen = [list] { return list->selectedItems().isEmpty() ? -1 : list->currentRow(); };
  }
  layout->addWidget(okCancel(dialog));
  dialog.setMinimumWidth(320);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return chosen();
}

bool valueCountdownDialog(QWidget* parent, const ui::Countdown& c, std::stop_token stop) {
  if (c.seconds <= 0) return !stop.stop_requested();
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kValueCountdownDialog));
  dialog.setWindowTitle(qtText(c.title));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(promptLabel(dialog, c.text));
  int left = c.seconds;
  auto* count = new QLabel(QString::number(left), &dialog);
  count->setObjectName(QStringLiteral("secondsLeft"));
  count->setAccessibleName(QObject::tr("Seconds left"));
  count->setAlignment(Qt::AlignCenter);
  QFont big = count->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  count->setFont(big);
  layout->addWidget(count);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(300);
  QTimer tick;
  tick.setInterval(1000);
  QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
    count->setText(QString::number(--left));
    if (left <= 0) dialog.accept();
  });
  tick.start();
  // A stop request (from any thread) closes it as cancelled.
  QPointer<QDialog> guarded(&dialog);
  std::stop_callback onStop(stop, [guarded] {
    QMetaObject::invokeMethod(guarded, [guarded] { if (guarded) guarded->reject(); }, Qt::QueuedConnection);
  });
  if (stop.stop_requested()) return false;
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tavrin::gui
