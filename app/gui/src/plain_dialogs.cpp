#include "plain_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace tavrin::gui {

QString qtText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string stdText(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

namespace {

QDialogButtonBox* okCancel(QDialog& dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  return buttons;
}

// Closes the dialog as cancelled when a stop is requested, from any thread.
class StopWatch {
 public:
  StopWatch(QDialog& dialog, std::stop_token stop)
      : dialog_(&dialog), callback_(std::move(stop), [this] {
          QMetaObject::invokeMethod(dialog_, [d = dialog_] { if (d) d->reject(); }, Qt::QueuedConnection);
        }) {}

 private:
  QPointer<QDialog> dialog_;
  std::stop_callback<std::function<void()>> callback_;
};

}  // namespace

std::optional<std::string> promptDialog(QWidget* parent, const ui::Prompt& p) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kPromptDialog));
  dialog.setWindowTitle(qtText(p.title));
  auto* form = new QFormLayout;
  auto* text = new QLabel(qtText(p.prompt), &dialog);
  text->setWordWrap(true);
  auto* entry = new QLineEdit(qtText(p.initial), &dialog);
  entry->setAccessibleName(qtText(p.prompt.empty() ? p.title : p.prompt));
  if (p.kind == ui::PromptKind::Secret) entry->setEchoMode(QLineEdit::Password);
  if (!p.current.empty() || !p.unit.empty()) {
    auto* current = new QLabel(qtText(p.current + (p.unit.empty() ? "" : " " + p.unit)), &dialog);
    current->setAccessibleName(QObject::tr("Current value"));
    form->addRow(QObject::tr("Current value:"), current);
  }
  form->addRow(QObject::tr("New value:"), entry);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  layout->addLayout(form);
  layout->addWidget(okCancel(dialog));
  dialog.setMinimumWidth(320);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return stdText(entry->text());
}

std::optional<int> choiceDialog(QWidget* parent, const ui::Choice& c) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kChoiceDialog));
  dialog.setWindowTitle(qtText(c.title));
  auto* text = new QLabel(qtText(c.prompt), &dialog);
  text->setWordWrap(true);
  auto* list = new QListWidget(&dialog);
  list->setAccessibleName(qtText(c.prompt.empty() ? c.title : c.prompt));
  for (const std::string& item : c.items) list->addItem(qtText(item));
  if (c.preselected >= 0 && c.preselected < list->count()) list->setCurrentRow(c.preselected);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  if (!c.current.empty()) layout->addWidget(new QLabel(QObject::tr("Current: %1").arg(qtText(c.current)), &dialog));
  layout->addWidget(list);
  layout->addWidget(okCancel(dialog));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return list->selectedItems().isEmpty() ? -1 : list->currentRow();
}

bool countdownDialog(QWidget* parent, const ui::Countdown& c, std::stop_token stop) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kCountdownDialog));
  dialog.setWindowTitle(qtText(c.title));
  auto* text = new QLabel(qtText(c.text), &dialog);
  text->setWordWrap(true);
  int left = c.seconds;
  auto* count = new QLabel(QString::number(left), &dialog);
  count->setAccessibleName(QObject::tr("Seconds left"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  layout->addWidget(count);
  layout->addWidget(buttons);
  if (left <= 0) return !stop.stop_requested();
  QTimer tick;
  tick.setInterval(1000);
  QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
    count->setText(QString::number(--left));
    if (left <= 0) dialog.accept();
  });
  tick.start();
  StopWatch watch(dialog, stop);
  if (stop.stop_requested()) return false;
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tavrin::gui
